// The speech facade: how texts are cut into pieces and what each piece
// plays, keys that cut speech short, the tones, and the speed profiles.
#include "speech_fixture.h"

#include "speech/config.h"

namespace {

namespace fs = std::filesystem;
using speechtest::SpeechTest;

TEST_F(SpeechTest, TextsBecomePieces) {
    const std::pair<const char*, const char*> cases[] = {
        {"007", "_zero _zero _sete"},
        // Up to six digits are a number, seven or more are spelled.
        {"123456", "_cento _e _vinte _e _tres _mil _e _quatroc _e _cinquen _e _seis"},
        {"1234567", "_49 _50 _51 _52 _53 _54 _55"},
        {"12-34", "_49 _50 _45 _51 _52"},
        // Of a run of one symbol four are said, then each further one clicks.
        {"*****", "_42 _42 _42 _42 click"},
        // Letters, digits and spaces between copies end the run.
        {"sol. mar. rio. luz. lua. paz.", "~ _46 ~ _46 ~ _46 ~ _46 ~ _46 ~ _46"},
        {"1,2,3,4,5,6", "_um _44 _dois _44 _tres _44 _quatro _44 _cinco _44 _seis"},
        {"**a***", "_42 _42 ~ _42 _42 _42"},
        {"-5", "_MENOS _cinco"},
        {"a-", "~ _45"},
        {"www.", "_119 _119 _119 _46"},
        // The appended space belongs to the run, which is then not "WWW".
        {"www", "~"},
        // Two words joined by a hyphen: two letter runs, the hyphen silent.
        {"guarda-chuva", "~"},
        {"a - b", "~ _45 _98"},
        {"(casa) 3;", "_40 ~ _41 _tres _59"},
        {"site://", "~ _58 _47 _47"},
    };
    for (const auto& [text, said] : cases) {
        useCapture();
        speakText(text);
        EXPECT_EQ(spoken(), said) << text;
    }
}

TEST_F(SpeechTest, PunctuationPausesFollowTheProfile) {
    closeSpeech();
    writeConfig("[SINTETIZADOR]\nPAUSAVIRG3=300\nPAUSAPONTO3=500\n");
    initSpeech(3, "");
    // The paced sink plays in clock time, so the pauses are waited for; the
    // plain capture sink finishes everything at once, and its pauses take
    // no time at all but still lie between the sounds on its own clock.
    for (bool paced : {true, false}) {
        SCOPED_TRACE(paced);
        useCapture(paced);
        int64_t start = systemClock().monotonicMs();
        speakText("a - b. c");
        int64_t slept = systemClock().monotonicMs() - start;
        if (paced) EXPECT_GE(slept, 800);
        else EXPECT_EQ(slept, 0);
        std::vector<CaptureEvent> b = blocks();
        // The hyphen, then 300 ms; the full stop, then 500 ms.
        auto gapAfter = [&](char symbol) {
            for (size_t i = 0; i + 1 < b.size(); ++i)
                if (b[i].bytes == 300 && labels.at(static_cast<unsigned char>(b[i].data[0])) == "_" + std::to_string(symbol))
                    return b[i + 1].atMs - b[i].endMs;
            return -1.0;
        };
        EXPECT_GE(gapAfter('-'), 300);
        EXPECT_LT(gapAfter('-'), 400);
        EXPECT_GE(gapAfter('.'), 500);
        EXPECT_LT(gapAfter('.'), 600);
    }
}

TEST_F(SpeechTest, PausesAreSilenceInTheCaptureFileAndTakeNoTime) {
    fs::path file = root / "fala.wav";
    setAudioSink(makeCaptureSink(CaptureOptions{file.string()}));
    int64_t start = systemClock().monotonicMs();
    speakText("um, dois. tres");  // 150 ms and 250 ms
    EXPECT_EQ(systemClock().monotonicMs(), start);
    setAudioSink(nullptr);  // the none sink: nothing takes time either
    speakText("um, dois. tres");
    EXPECT_EQ(systemClock().monotonicMs(), start);

    // The recordings and the voice hold no zero samples: the long silent
    // stretches of the file are the pauses, with their lengths.
    std::string wav = speechtest::readFile(file);
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(speechtest::le(static_cast<uint32_t>(wav.size() - 44), 4), wav.substr(40, 4));
    std::vector<size_t> silences;
    size_t run = 0;
    for (size_t at = 44; at + 1 < wav.size(); at += 2) {
        bool zero = wav[at] == 0 && wav[at + 1] == 0;
        if (zero) ++run;
        if ((!zero || at + 3 >= wav.size()) && run > 0) {
            if (run >= 1000) silences.push_back(run);
            run = 0;
        }
    }
    // (A recording ends on one silent sample of its own.)
    ASSERT_EQ(silences.size(), 2u);
    EXPECT_NEAR(static_cast<double>(silences[0]), 150 * 22.05 + 10, 10);
    EXPECT_NEAR(static_cast<double>(silences[1]), 250 * 22.05 + 10, 10);
}

TEST_F(SpeechTest, MissingUnitBecomesNoise) {
    // "kas" ends in the unit s, whose $S this voice lacks.
    speakText("kas");
    int noisy = 0;
    for (const CaptureEvent& b : blocks())
        for (char c : b.data) noisy += static_cast<unsigned char>(c) < 128;
    EXPECT_GT(noisy, 50);
    EXPECT_LT(noisy, 300);
}

TEST_F(SpeechTest, KeyDuringSpeechStopsItAndStaysQueued) {
    useCapture(true);
    console->keyAfterBlocks = 1;
    speakText("um texto com muitas palavras, 123 e outras 456 mais. Fim de tudo www.");
    // The sound stopped at the block that was playing; nothing came after it.
    EXPECT_EQ(console->blocksAtKey, 1);
    EXPECT_EQ(blocks().size(), 1u);
    bool cleared = false;
    for (const CaptureEvent& e : audioSink().captureLog()->events) cleared |= e.kind == CaptureEvent::Clear;
    EXPECT_TRUE(cleared);
    ASSERT_TRUE(keyAvailable());
    EXPECT_EQ(readKey(), 'x');
}

TEST_F(SpeechTest, WaitingKeySilencesEverything) {
    queueKey('k');
    speakText("nada 123");
    spellText("abc");
    playSound("_zero");
    EXPECT_EQ(blocks().size(), 0u);
    EXPECT_FALSE(soundBusy());
    EXPECT_EQ(readKey(), 'k');
}

TEST_F(SpeechTest, ClickAndErrorTone) {
    clickSound();
    queueKey('z');
    errorBeep();
    EXPECT_EQ(spoken(), "click beep");
    // The error tone throws the keys typed ahead away.
    EXPECT_FALSE(keyAvailable());
    std::vector<CaptureEvent> b = blocks();
    ASSERT_EQ(b.size(), 2u);
    for (int i = 0; i < 64; ++i) {
        int sample = static_cast<unsigned char>(b[0].data[i]);
        EXPECT_TRUE(sample >= 128 && sample < 188) << sample;
    }
    EXPECT_EQ(b[0].data.substr(64), std::string(192, '\x80'));
    const unsigned char pattern[8] = {128, 112, 96, 80, 64, 80, 96, 112};
    for (size_t i = 0; i + 1 < 512; ++i) EXPECT_EQ(static_cast<unsigned char>(b[1].data[i]), pattern[i % 8]);
    EXPECT_EQ(static_cast<unsigned char>(b[1].data[511]), 128);
}

TEST_F(SpeechTest, ClickIsNeverCompressed) {
    compressSpeech = true;
    clickSound();
    EXPECT_TRUE(compressSpeech);
    ASSERT_EQ(blocks().size(), 1u);
    EXPECT_EQ(blocks()[0].format.sampleRate, 11025);
    EXPECT_EQ(blocks()[0].bytes, 256u);
}

TEST_F(SpeechTest, ToneHasItsLengthAndPitch) {
    compressSpeech = fastPlayback = true;
    playTone(1000, 250);
    EXPECT_TRUE(compressSpeech && fastPlayback);
    std::vector<CaptureEvent> b = blocks();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].format.sampleRate, 44100);
    EXPECT_EQ(b[0].bytes, 11025u);
    // 1000 Hz: one rising crossing of the middle every 44.1 samples.
    int crossings = 0;
    for (size_t i = 1; i < b[0].data.size(); ++i)
        crossings += static_cast<unsigned char>(b[0].data[i - 1]) < 128 && static_cast<unsigned char>(b[0].data[i]) >= 128;
    EXPECT_NEAR(crossings, 250, 3);
}

TEST_F(SpeechTest, SoundsByName) {
    closeSpeech();
    speechtest::writeFile(root / "prog" / "SCFIM.wav", speechtest::wave(std::string(300, '\x05')));
    initSpeech(3, (root / "prog").string());
    useCapture();
    EXPECT_TRUE(soundExists("_zero"));
    EXPECT_TRUE(soundExists("scfim"));
    EXPECT_FALSE(soundExists("_nada"));
    playSound("SCFIM");
    playSound("_nada");
    speakChar('a');
    EXPECT_EQ(spoken(), labels.at(5) + " _97");
    EXPECT_EQ(programSoundDirectory().back(), '\\');
}

TEST_F(SpeechTest, ReadKeyEchoSpeaksTheKey) {
    queueKey('b');
    EXPECT_EQ(readKeyEcho(), 'b');
    EXPECT_EQ(spoken(), "_98");
}

TEST_F(SpeechTest, SpeedProfiles) {
    closeSpeech();
    // VELOCIDADE outside 1..5 is speed 3; its profile applies.
    writeConfig("VELOCIDADE=9\n[SINTETIZADOR]\nCORTAFALA3=S\nRAPIDINHO3=n\nCORTAFALA5=N\n");
    initSpeech(0, "");
    EXPECT_EQ(speechSpeed(), 3);
    EXPECT_TRUE(compressSpeech);
    EXPECT_FALSE(fastPlayback);
    closeSpeech();
    writeConfig("VELOCIDADE=5x\n[SINTETIZADOR]\nRAPIDINHO5=sim\n");
    initSpeech(0, "");
    EXPECT_EQ(speechSpeed(), 5);
    EXPECT_FALSE(compressSpeech);
    EXPECT_TRUE(fastPlayback);
    closeSpeech();
    initSpeech(2, "");
    EXPECT_EQ(speechSpeed(), 2);
}

TEST_F(SpeechTest, UnitsAreCutAsTheProfileSays) {
    // "casa": an unstressed unit (za^) after a stressed one (kA).
    auto voiceSamples = [&](const std::string& extra) {
        closeSpeech();
        writeConfig("[SINTETIZADOR]\n" + extra);
        initSpeech(3, "");
        useCapture();
        speakText("casa");
        int n = 0;
        for (const CaptureEvent& b : blocks())
            for (char c : b.data) n += static_cast<unsigned char>(c) > 128;
        return n;
    };
    int full = voiceSamples("");
    EXPECT_EQ(voiceSamples("CORTEFON3=300\nSOBRAFON3=x\n"), full - 300);
    // A bad SOBRAFON is 0, a bad CORTEFON keeps its leading digits.
    EXPECT_EQ(voiceSamples("CORTEFON3=100zz\nSOBRAFON3=350\n"), full - 50);
}

TEST(Config, EmptySectionIsFalaris) {
    fs::path home = fs::temp_directory_path() / ("speech_config_" + std::to_string(::getpid()));
    speechtest::writeFile(home / "FALARIS.INI", "[FALARIS]\nPGMFALARIS=c:\\familia\n[OUTRA]\nDIR=@\\som\\\n");
    setenv("TALORA_HOME", home.c_str(), 1);
    resetTalorahome();
    EXPECT_EQ(readConfig("", "PGMFALARIS"), "c:\\familia");
    EXPECT_EQ(readConfig("outra", "dir"), "c:\\familia\\som\\");
    fs::remove_all(home);
    unsetenv("TALORA_HOME");
    resetTalorahome();
}

} // namespace
