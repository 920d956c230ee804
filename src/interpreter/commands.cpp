// The command table, as data: each command word (upper-cased, Windows-1252)
// and its handler. Words whose subsystems are not in this build yet fail
// silently through commandNotAvailable.
#include "interpreter/commands.h"

#include "interpreter/console_commands.h"
#include "interpreter/control_flow.h"
#include "interpreter/download_command.h"
#include "interpreter/file_commands.h"
#include "interpreter/lista.h"
#include "interpreter/script.h"
#include "interpreter/string_commands.h"
#include "interpreter/values.h"

#include <string>
#include <unordered_map>

bool commandNotAvailable(std::string_view) { return false; }

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
    {"INTERNET", commandNotAvailable},
    {"CONECTA", commandNotAvailable},
    {"ATIVASSL", commandNotAvailable},
    {"SERVE", commandNotAvailable},
    {"OBSERVA", commandNotAvailable},
    {"IP", commandNotAvailable},
    // Desktop automation, pictures, menus and programs.
    {"DIGITA", commandNotAvailable},
    {"ACIONA", commandNotAvailable},
    {"CLICA", commandNotAvailable},
    {"JANELA", commandNotAvailable},
    {"CAPTURA", commandNotAvailable},
    {"TRANSFERE", commandNotAvailable},
    {"HANDLE", commandNotAvailable},
    {"SENSOR", commandNotAvailable},
    {"MSAA", commandNotAvailable},
    {"MENU", commandNotAvailable},
    {"EXECUTA", commandNotAvailable},
    {"EXISTEPROG", commandNotAvailable},
    {"IMAGEM", commandNotAvailable},
};

const std::unordered_map<std::string_view, CommandHandler>& commandIndex() {
    static const std::unordered_map<std::string_view, CommandHandler> index = [] {
        std::unordered_map<std::string_view, CommandHandler> m;
        for (const CommandEntry& e : COMMAND_TABLE) m.emplace(e.word, e.handler);
        return m;
    }();
    return index;
}

} // namespace

CommandHandler findCommand(std::string_view upperWord) {
    const auto& index = commandIndex();
    auto it = index.find(upperWord);
    return it == index.end() ? nullptr : it->second;
}
