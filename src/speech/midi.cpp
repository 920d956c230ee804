// MIDI output over the platform's MIDI output.
#include "speech/midi.h"

#include "console/console.h"
#include "platform/midi_output.h"

namespace {
int lastResult = MIDI_OK;
} // namespace

bool midiOpen() {
    lastResult = midiOutput().open();
    if (lastResult != MIDI_OK) return false;
    lastResult = midiOutput().send(0xFF);  // system reset
    return true;
}

void midiNote(int channel, int note, int velocity) {
    lastResult = midiOutput().send(static_cast<uint32_t>(0x90 + channel + 256 * note + 65536 * velocity));
}

void midiProgram(int channel, int program) {
    lastResult = midiOutput().send(static_cast<uint32_t>(0xC0 + channel + 256 * program));
    if (lastResult != MIDI_OK) writeStandardOutput("erro em ProgramChange\r\n");
}

void midiClose() {
    midiOutput().close();
    lastResult = MIDI_OK;
}

int midiResult() { return lastResult; }
