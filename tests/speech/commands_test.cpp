// The MIDI command against a recording MIDI output, and the ALSA output
// where there is no sequencer.
#include "console/console.h"
#include "interpreter/console_commands.h"
#include "platform/files.h"
#include "platform/midi_output.h"
#include "speech/midi.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class RecordingMidi : public MidiOutput {
public:
    std::vector<uint32_t>* sent;
    bool* isOpen;
    int sendResult = MIDI_OK;
    int openResult = MIDI_OK;

    RecordingMidi(std::vector<uint32_t>* s, bool* o) : sent(s), isOpen(o) {}
    int open() override {
        *isOpen = openResult == MIDI_OK;
        return openResult;
    }
    int send(uint32_t message) override {
        sent->push_back(message);
        return sendResult;
    }
    void close() override { *isOpen = false; }
};

class MidiCommand : public ::testing::Test {
protected:
    std::vector<uint32_t> sent;
    bool isOpen = false;
    RecordingMidi* midi = nullptr;

    void SetUp() override {
        resetConsole();
        openConsole();
        resetConsoleCommands();
        auto output = std::make_unique<RecordingMidi>(&sent, &isOpen);
        midi = output.get();
        setMidiOutput(std::move(output));
    }
    void TearDown() override {
        setMidiOutput(nullptr);
        resetConsole();
    }
};

TEST_F(MidiCommand, NotesAndProgramsInRange) {
    EXPECT_FALSE(commandMidi("NL 1 60 100"));
    EXPECT_FALSE(commandMidi("termina"));
    ASSERT_TRUE(commandMidi("inicia"));
    EXPECT_TRUE(isOpen);
    EXPECT_FALSE(commandMidi("INICIA"));
    sent.clear();
    EXPECT_TRUE(commandMidi("NL 1 60 100"));
    EXPECT_TRUE(commandMidi("nl 16 127 127"));
    EXPECT_TRUE(commandMidi("ND 2 60"));
    EXPECT_TRUE(commandMidi("TT 10 (2+3)"));
    EXPECT_EQ(sent, (std::vector<uint32_t>{0x643C90, 0x7F7F9F, 0x3C91, 0x05C9}));
    const char* refused[] = {"NL 17 60 100", "NL 0 60 100", "NL 1 128 0", "NL 1 60 -1", "NL 1 60",
                             "NL 1 60 100 9", "ND 1", "TT 1 128", "NL a 60 100", "TOCA", ""};
    for (const char* args : refused) EXPECT_FALSE(commandMidi(args)) << args;
    EXPECT_EQ(sent.size(), 4u);
    sent.clear();
    EXPECT_TRUE(commandMidi("PANE"));
    ASSERT_EQ(sent.size(), 16u * 128u);
    EXPECT_EQ(sent.back(), 0x7F9Fu);
    EXPECT_TRUE(commandMidi("TERMINA"));
    EXPECT_FALSE(isOpen);
    EXPECT_FALSE(commandMidi("PANE"));
}

TEST_F(MidiCommand, OpeningResetsTheSynthesizer) {
    ASSERT_TRUE(commandMidi("INICIA"));
    EXPECT_EQ(sent, std::vector<uint32_t>{0xFF});
}

TEST_F(MidiCommand, FailedProgramChangeIsReported) {
    ASSERT_TRUE(commandMidi("INICIA"));
    midi->sendResult = MIDI_ERROR;
    EXPECT_TRUE(commandMidi("NL 1 60 100"));
    EXPECT_EQ(screenRowText(1), "");
    EXPECT_TRUE(commandMidi("TT 1 5"));
    EXPECT_EQ(screenRowText(1), "erro em ProgramChange");
    EXPECT_EQ(midiResult(), MIDI_ERROR);
}

TEST_F(MidiCommand, NoOutputMeansInitiaFails) {
    midi->openResult = MIDI_NO_DEVICE;
    EXPECT_FALSE(commandMidi("INICIA"));
    EXPECT_FALSE(commandMidi("NL 1 60 100"));
    EXPECT_TRUE(sent.empty());
}

TEST(AlsaMidi, WithoutSequencerOpeningFailsQuietly) {
    if (fileExists("/dev/snd/seq")) GTEST_SKIP() << "this machine has a sequencer";
    auto output = makeAlsaMidiOutput();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(output->open(), MIDI_NO_DEVICE);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(output->send(0x643C90), MIDI_NOT_OPEN);
    output->close();
}

} // namespace
