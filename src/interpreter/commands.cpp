// The command table, as data: each command word (upper-cased, Windows-1252)
// and its handler.
#include "interpreter/commands.h"

#include "interpreter/console_commands.h"
#include "interpreter/control_flow.h"
#include "interpreter/desktop_commands.h"
#include "interpreter/download_command.h"
#include "interpreter/file_commands.h"
#include "interpreter/image_command.h"
#include "interpreter/lista.h"
#include "interpreter/menu_command.h"
#include "interpreter/network_commands.h"
#include "interpreter/program_commands.h"
#include "interpreter/script.h"
#include "interpreter/string_commands.h"
#include "interpreter/values.h"

#include <cstdint>
#include <iterator>
#include <string>

namespace {

struct CommandEntry {
    const char* word;
    CommandHandler handler;
};

const CommandEntry COMMAND_TABLE[] = {
    {"DEBUG", commandDebug},
    {"CMD", commandCmd},
    {"SEJA", commandSeja},
    {"SE", commandSe},
    {"SENAO", commandSenao},
    {"SEN\xC3O", commandSenao},  // SENÃO
    {"ENQUANTO", commandEnquanto},
    {"REPETE", commandRepete},
    {"FIM", commandFim},
    {"DESVIA", commandDesvia},
    {"CHAMA", commandChama},
    {"RETORNA", commandRetorna},
    {"TERMINA", commandTermina},
    {"SOMA", commandSoma},
    {"SUBTRAI", commandSubtrai},
    {"MULTIPLICA", commandMultiplica},
    {"DIVIDE", commandDivide},
    {"CONCATENA", commandConcatena},
    {"COPIA", commandCopia},
    {"DELETA", commandDeleta},
    {"SUBSTITUI", commandSubstitui},
    {"RANDOMIZA", commandRandomiza},
    {"ANSIPARAUTF8", commandAnsiParaUtf8},
    {"UTF8PARAANSI", commandUtf8ParaAnsi},
    {"HTTP", commandHttp},
    {"REMOVEQUOTED", commandRemoveQuoted},
    {"ADQUOTED", commandAdQuoted},
    {"CODBASE64", commandCodBase64},
    {"DECODBASE64", commandDecodBase64},
    {"CODARQBASE64", commandCodArqBase64},
    {"DECODARQBASE64", commandDecodArqBase64},
    {"ABRE", commandAbre},
    {"FECHA", commandFecha},
    {"CHECA", commandChecha},
    {"REMOVE", commandRemove},
    {"RENOMEIA", commandRenomeia},
    {"REPLICA", commandReplica},
    {"TAMARQ", commandTamarq},
    {"DIR", commandDir},
    {"BUSCA", commandBusca},
    {"LISTA", commandLista},
    {"ESCREVE", commandEscreve},
    {"L\xCA", commandLe},  // LÊ
    {"LE", commandLe},
    {"FALA", commandFala},
    {"SOLETRA", commandSoletra},
    {"FALAHORA", commandFalahora},
    {"BIPA", commandBipa},
    {"ALARME", commandAlarme},
    {"ESPERA", commandEspera},
    {"TELA", commandTela},
    {"COR", commandCor},
    {"FUNDO", commandFundo},
    {"TITULO", commandTitulo},
    {"T\xCDTULO", commandTitulo},  // TÍTULO
    {"MENSAGEM", commandMensagem},
    {"TOCA", commandToca},
    {"MCI", commandMci},
    {"MIDI", commandMidi},
    // Network.
    {"TRAZDAREDE", commandTrazdarede},
    {"INTERNET", commandInternet},
    {"CONECTA", commandConecta},
    {"ATIVASSL", commandAtivassl},
    {"SERVE", commandServe},
    {"OBSERVA", commandObserva},
    {"IP", commandIp},
    // Desktop automation, pictures, menus and programs.
    {"DIGITA", commandDigita},
    {"ACIONA", commandAciona},
    {"CLICA", commandClica},
    {"JANELA", commandJanela},
    {"CAPTURA", commandCaptura},
    {"TRANSFERE", commandTransfere},
    {"HANDLE", commandHandle},
    {"SENSOR", commandSensor},
    {"MSAA", commandMsaa},
    {"MENU", commandMenu},
    {"EXECUTA", commandExecuta},
    {"EXISTEPROG", commandExisteprog},
    {"IMAGEM", commandImagem},
};

// Every executed line looks its word up, so the index is an open-addressing
// table with a cheap hash rather than a general map.
constexpr size_t INDEX_SIZE = 256;  // a power of two, well above the table's size
static_assert(std::size(COMMAND_TABLE) < INDEX_SIZE / 2);

size_t wordHash(std::string_view word) {
    uint32_t h = 2166136261u;
    for (char c : word) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h & (INDEX_SIZE - 1);
}

struct CommandIndex {
    std::string_view words[INDEX_SIZE];
    CommandHandler handlers[INDEX_SIZE] = {};
    CommandIndex() {
        for (const CommandEntry& e : COMMAND_TABLE) {
            size_t i = wordHash(e.word);
            while (handlers[i]) i = (i + 1) & (INDEX_SIZE - 1);
            words[i] = e.word;
            handlers[i] = e.handler;
        }
    }
};

const CommandIndex commandIndex;

} // namespace

CommandHandler findCommand(std::string_view upperWord) {
    for (size_t i = wordHash(upperWord); commandIndex.handlers[i]; i = (i + 1) & (INDEX_SIZE - 1)) {
        // A plain loop: the words are too short to gain from memcmp.
        std::string_view w = commandIndex.words[i];
        if (w.size() != upperWord.size()) continue;
        size_t k = 0;
        while (k < w.size() && w[k] == upperWord[k]) ++k;
        if (k == w.size()) return commandIndex.handlers[i];
    }
    return nullptr;
}
