// The command table: every word of the language is known (accented aliases
// included), and nothing else is.
#include "interpreter/commands.h"

#include <gtest/gtest.h>

#include <string>

TEST(CommandTable, EveryWordOfTheLanguageIsKnown) {
    const char* const words[] = {
        "DEBUG", "CMD", "SEJA", "SE", "SENAO", "SEN\xC3O", "ENQUANTO", "REPETE", "FIM", "DESVIA", "CHAMA",
        "RETORNA", "TERMINA", "SOMA", "SUBTRAI", "MULTIPLICA", "DIVIDE", "CONCATENA", "COPIA", "DELETA",
        "SUBSTITUI", "RANDOMIZA", "ANSIPARAUTF8", "UTF8PARAANSI", "HTTP", "REMOVEQUOTED", "ADQUOTED",
        "CODBASE64", "DECODBASE64", "CODARQBASE64", "DECODARQBASE64", "ABRE", "FECHA", "CHECA", "REMOVE",
        "RENOMEIA", "REPLICA", "TAMARQ", "DIR", "BUSCA", "LISTA", "ESCREVE", "L\xCA", "LE", "FALA", "SOLETRA",
        "FALAHORA", "BIPA", "ALARME", "ESPERA", "TELA", "COR", "FUNDO", "TITULO", "T\xCDTULO", "MENSAGEM",
        "TOCA", "MCI", "MIDI", "TRAZDAREDE", "INTERNET", "CONECTA", "ATIVASSL", "SERVE", "OBSERVA", "IP",
        "DIGITA", "ACIONA", "CLICA", "JANELA", "CAPTURA", "TRANSFERE", "HANDLE", "SENSOR", "MSAA", "MENU",
        "EXECUTA", "EXISTEPROG", "IMAGEM",
    };
    for (const char* w : words) EXPECT_NE(findCommand(w), nullptr) << w;
    for (const char* w : {"", "ESCREV", "ESCREVEX", "escreve", "L\xEA", "SEN\xE3O", "ESCREVE\t"})
        EXPECT_EQ(findCommand(w), nullptr) << w;
}
