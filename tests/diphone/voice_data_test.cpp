// The recorded voice of the build (data/home): the diphone database holds
// every unit the rules can produce, every printable character and every
// number, date, time and prompt word has its recording, and real Portuguese
// text is spoken without a missing name.
#include "diphone/diphone_synth.h"
#include "diphone/phonetic_translator.h"
#include "diphone/voice_inventory.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path HOME = fs::path(TEST_BINARY_DIR) / "data" / "home";
const fs::path DIFONES = HOME / "drive_c" / "talora" / "som" / "difones";
const fs::path LETRAS = HOME / "drive_c" / "talora" / "som" / "letras";
const fs::path ONDARIA = HOME / "drive_c" / "ondaria" / "som";
const fs::path SOURCE_RULES = fs::path(TEST_SOURCE_DIR) / ".." / "data" / "voice";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t le(const std::string& s, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes; i-- > 0;) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
    return v;
}

struct IndexEntry {
    std::string name;
    uint32_t length, offset;
};

std::vector<IndexEntry> readIndex() {
    std::string bytes = readFile(DIFONES / "DIFONES2.IND");
    std::vector<IndexEntry> entries;
    for (size_t at = 0; at + 15 <= bytes.size(); at += 15)
        entries.push_back({bytes.substr(at + 1, static_cast<unsigned char>(bytes[at])), le(bytes, at + 9, 2),
                           le(bytes, at + 11, 4)});
    return entries;
}

// Checks a letter-folder recording: "" when it is a playable 8-bit mono
// 11 025 Hz WAV with a 44-byte header and between `minMs` and `maxMs` of sound.
std::string checkWave(const fs::path& path, int minMs, int maxMs) {
    if (!fs::exists(path)) return "missing";
    std::string w = readFile(path);
    if (w.size() <= 44 || w.compare(0, 4, "RIFF") || w.compare(8, 8, "WAVEfmt ") || w.compare(36, 4, "data"))
        return "not a 44-byte-header WAV";
    if (le(w, 20, 2) != 1 || le(w, 22, 2) != 1 || le(w, 24, 4) != 11025 || le(w, 34, 2) != 8)
        return "not 8-bit mono 11025 Hz PCM";
    uint32_t samples = le(w, 40, 4);
    int ms = static_cast<int>(samples * 1000 / 11025);
    if (ms < minMs || ms > maxMs) return "lasts " + std::to_string(ms) + " ms";
    return "";
}

std::vector<std::string> spokenMisses;
void noteMiss(const std::string& name) { spokenMisses.push_back(name); }
std::string spoken;
void collect(const std::string& image) { spoken += image.substr(44); }

} // namespace

TEST(VoiceData, IndexIsSortedAndInsideTheData) {
    std::vector<IndexEntry> entries = readIndex();
    ASSERT_GT(entries.size(), 100u);
    uint64_t dataSize = fs::file_size(DIFONES / "DIFONES2.DIF");
    for (size_t i = 0; i < entries.size(); ++i) {
        const IndexEntry& e = entries[i];
        EXPECT_TRUE(e.name.size() >= 2 && e.name.size() <= 8 && e.name[0] == '$') << e.name;
        EXPECT_EQ(e.name, toUpperAscii(e.name));
        if (i > 0) {
            EXPECT_LT(entries[i - 1].name, e.name) << "index order";
        }
        // Between 30 ms and 0.6 s: a recording outside that is a failed one.
        EXPECT_GE(e.length, 330u) << e.name;
        EXPECT_LE(e.length, 6615u) << e.name;
        EXPECT_LE(uint64_t{e.offset} + e.length, dataSize) << e.name;
    }
    // The synthesizer runs on the files copied next to the database.
    EXPECT_EQ(readFile(DIFONES / "regras.rgr"), readFile(SOURCE_RULES / "regras.rgr"));
    EXPECT_EQ(readFile(DIFONES / "portug.exc"), readFile(SOURCE_RULES / "portug.exc"));
}

TEST(VoiceData, EveryUnitOfTheRulesIsRecorded) {
    ASSERT_TRUE(loadPhoneticRules((DIFONES / "regras.rgr").string()));
    std::set<std::string> recorded;
    for (const IndexEntry& e : readIndex()) recorded.insert(e.name);
    std::vector<std::string> units = phoneticUnitsOfRules();
    EXPECT_GT(units.size(), 300u);
    std::string missing;
    for (const std::string& unit : units)
        for (const std::string& name : diphoneNamesOfUnit(unit))
            if (name[0] == '$' && !recorded.count(name)) missing += " " + name + " (unit " + unit + ")";
    EXPECT_EQ(missing, "") << "units the rules produce but the index lacks";
    EXPECT_TRUE(recorded.count("$NN"));
    releasePhoneticRules();
}

TEST(VoiceData, EveryPrintableCharacterHasItsSound) {
    std::string bad;
    for (int code = 32; code < 256; ++code) {
        if (code == 127 || code == 129 || code == 141 || code == 143 || code == 144 || code == 157) continue;
        std::string problem = checkWave(LETRAS / ("_" + std::to_string(code) + ".wav"), 80, 2500);
        if (!problem.empty()) bad += " _" + std::to_string(code) + ": " + problem + ";";
    }
    EXPECT_EQ(bad, "");
}

TEST(VoiceData, NumberDateTimeWordsAndPrompts) {
    // File names as the spoken numbers look them up: "_" + word cut to 8
    // characters, without tildes, dezessete as _dezeset.
    const char* words[] = {
        "zero", "um", "dois", "tres", "quatro", "cinco", "seis", "sete", "oito", "nove", "dez", "onze", "doze",
        "treze", "quatorze", "quinze", "dezesseis", "dezoito", "dezenove", "vinte", "trinta", "quarenta",
        "cinquenta", "sessenta", "setenta", "oitenta", "noventa", "cem", "cento", "duzentos", "trezentos",
        "quatrocentos", "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos", "mil",
        "milh\xE3o", "milh\xF5" "es", "bilh\xE3o", "bilh\xF5" "es", "trilh\xE3o", "trilh\xF5" "es", "e", "hora",
        "horas", "minuto", "minutos", "primeiro", "de", "uma", "duas", "Domingo", "Segunda", "Terca", "Quarta",
        "Quinta", "Sexta", "Sabado"};
    const char* months[] = {"Janeiro", "Fevereiro", "Marco", "Abril", "Maio", "Junho", "Julho",
                            "Agosto", "Setembro", "Outubro", "Novembro", "Dezembro"};
    std::vector<std::string> names{"_dezeset"};
    for (std::string w : words) {
        for (char& c : w) {
            if (c == '\xE3') c = 'a';
            if (c == '\xF5') c = 'o';
        }
        names.push_back(("_" + w).substr(0, 8));
    }
    for (std::string m : months) names.push_back("_" + m.substr(0, 7));
    for (const char* p : {"_MENOS", "_zero", "_FALACI", "_FALDLG", "_DEL", "_VELOC", "_APFCPO", "_APICPO",
                          "_CPOAPA"})
        names.push_back(p);
    for (int c = 'A'; c <= 'Z'; ++c) {
        names.push_back("_FON" + std::to_string(c));
        names.push_back("_FON" + std::to_string(c + 32));
    }
    std::string bad;
    for (const std::string& name : names) {
        std::string problem = checkWave(LETRAS / (name + ".wav"), 80, 3000);
        if (!problem.empty()) bad += " " + name + ": " + problem + ";";
    }
    for (const char* key : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "X", "#"}) {
        std::string problem = checkWave(LETRAS / (std::string("dtmf_") + key + ".wav"), 100, 500);
        if (!problem.empty()) bad += std::string(" dtmf_") + key + ": " + problem + ";";
    }
    for (const char* prompt :
         {"SCFIM", "SCERREXE", "ondaria_versao", "entre_com_os_dados_para_a_pesquisa_de_radios", "ate_logo",
          "aguarde", "erro_ao_realizar_a_pesquisa_verifique_sua_conexao_com_a_internet",
          "nenhum_resultado_foi_encontrado", "numero_de_resultados_encontrados",
          "aguarde_o_processamento_das_informacoes", "pronto", "deseja_gerar_m3u_das_radios_encontradas", "ok",
          "mostrando_resultado"}) {
        std::string problem = checkWave(ONDARIA / (std::string(prompt) + ".wav"), 150, 8000);
        if (!problem.empty()) bad += std::string(" ") + prompt + ": " + problem + ";";
    }
    EXPECT_EQ(bad, "");
}

TEST(VoiceData, RulesOfTheVoice) {
    ASSERT_TRUE(loadPhoneticRules((SOURCE_RULES / "regras.rgr").string()));
    ASSERT_TRUE(loadPhoneticExceptions((SOURCE_RULES / "portug.exc").string()));
    struct Case {
        const char* text;
        const char* phonetic;
    } cases[] = {
        {"casa", "[ k/A/ z/a^]"},
        {"casas", "[ k/A/ z/a^/s]"},
        {"p\xE3o", "[ p/A~w]"},
        {"m\xE3" "e", "[ m/A~y]"},
        {"cidade", "[ s/i/ d/A/ dj/i]"},
        {"noite", "[ n/O^/y/ tch/i]"},
        {"carro", "[ k/A/ rr/u]"},
        {"rato", "[ rr/A/ t/u]"},
        {"porta", "[ p/O/rr/ t/a^]"},           // open o from the exceptions
        {"quando", "[ kw/A~/ d/u]"},
        {"aqui", "[a/ k/I]"},
        {"\xE1gua", "[A/ gw/a^]"},
        {"cinquenta", "[ s/i~/ kw/E~/ t/a^]"},
        {"bem", "[ b/e~y]"},
        {"sol", "[ s/O/w]"},
        {"pa\xEDs", "[ p/a/ I/s]"},
        {"exame", "[e^/ z/A^/ m/i]"},
        {"chave", "[ x/A/ v/i]"},
        {"filho", "[ f/I/ lh/u]"},
        {"ninho", "[ n/I/ nh/u]"},
        {"cpf", "[ /_c][ /_p][ /_f]"},
        {"ol\xE1, mundo", "[o^/ l/A][ /_,][ m/U~/ d/u]"},
        {"regi\xE3o", "[ rr/e^/ j/i/ A~w]"},                  // a new syllable after a vowel
        {"paci\xEAncia", "[ p/a/ s/i/ E~/ s/i/ a^]"},
        {"qu\xEA", "[ k/E^]"},
    };
    for (const Case& c : cases) EXPECT_EQ(translateToPhonetic(c.text), c.phonetic) << c.text;
    releasePhoneticRules();
}

TEST(VoiceData, PortugueseTextIsSpokenWithoutMissingNames) {
    fs::path home = fs::temp_directory_path() / ("voice_data_test_" + std::to_string(::getpid()));
    fs::create_directories(home);
    std::ofstream(home / "FALARIS.INI") << "[TRADUTOR]\nDIRLETRAS=" << LETRAS.string()
                                        << "\nDIRDIFONES=" << DIFONES.string() << "\n";
    setenv("TALORA_HOME", home.c_str(), 1);
    resetTalorahome();
    setDiphoneImageOutput(collect);
    setDiphoneMissHandler(noteMiss);
    setDiphoneParameters(400, 800, 100);
    ASSERT_EQ(startDiphoneSynth(), DIPHONE_READY);
    // Texts the system says, and words covering the vowels, nasals,
    // diphthongs and consonant groups of the rules.
    const char* texts[] = {
        "Entre com os dados para a pesquisa de r\xE1" "dios",
        "Erro de execu\xE7\xE3o na linha",
        "Fim do script",
        "Aguarde o processamento das informa\xE7\xF5" "es",
        "Nenhum resultado foi encontrado",
        "Deseja gerar playlists das r\xE1" "dios encontradas",
        "Verifique sua conex\xE3o com a internet",
        "A m\xE3" "e e o pai p\xF5" "em o p\xE3o na mesa, com muito cuidado.",
        "Chuva, filho, ninho, guerra, quilo, quase, ling\xFC" "i\xE7" "a, \xE1gua, tchau e at\xE9 logo.",
        "Brasil, sol, mar, porta, carro, honra, texto, exame, t\xE1xi, pr\xF3ximo.",
        "Ele disse que o jardim tem flores amarelas e vermelhas; tr\xEAs cores ao todo: ouro, prata, bronze.",
        "Jovens, homens e mulheres ainda saem cedo para o trabalho.",
        "A regi\xE3o pede paci\xEAncia; o sagu\xE3o do Piau\xED tem quaisquer her\xF3is e cora\xE7\xF5" "es.",
        "\xD3rf\xE3, ci\xEAncia, ningu\xE9m, p\xE3" "es, le\xF5" "es, m\xE3os, l\xEA" "em, v\xF4o e por qu\xEA.",
    };
    std::string text;
    for (const char* t : texts) {
        spoken.clear();
        spokenMisses.clear();
        speakPhonetic(translateToPhonetic(t));
        std::string missing;
        for (const std::string& m : spokenMisses) missing += " " + m;
        EXPECT_EQ(missing, "") << t << "\n" << translateToPhonetic(t);
        // Plausible lengths: 80 ms to 600 ms per letter-sized piece of text.
        size_t letters = std::string(t).size();
        EXPECT_GT(spoken.size(), letters * 11025 / 100 / 2) << t;
        EXPECT_LT(spoken.size(), letters * 11025 / 4) << t;
        // Normalised recordings never reach the ends of the 8-bit range.
        EXPECT_EQ(spoken.find_first_of(std::string("\0\xFF", 2)), std::string::npos) << t;
    }
    stopDiphoneSynth();
    setDiphoneImageOutput(nullptr);
    setDiphoneMissHandler(nullptr);
    fs::remove_all(home);
    unsetenv("TALORA_HOME");
    resetTalorahome();
}
