// MIDI output. The real one is a port of ours on the ALSA sequencer,
// connected to a synthesizer when there is one; tests install their own.
// Messages are the short messages of the MIDI protocol packed into an
// integer: status byte + 256 x first data byte + 65536 x second data byte.
#pragma once

#include <cstdint>
#include <memory>

// Results, numbered like the multimedia errors the MIDI commands know.
constexpr int MIDI_OK = 0;
constexpr int MIDI_ERROR = 1;      // the output refused the message
constexpr int MIDI_NO_DEVICE = 2;  // no sequencer (no /dev/snd/seq)
constexpr int MIDI_NOT_OPEN = 5;   // the output is not open

class MidiOutput {
public:
    virtual ~MidiOutput() = default;
    // Prepares the output. MIDI_OK or MIDI_NO_DEVICE.
    virtual int open() = 0;
    // Sends one short message (one, two or three bytes by its status byte; a
    // message without a status byte sends nothing). MIDI_NOT_OPEN before open.
    virtual int send(uint32_t message) = 0;
    // Releases the output; safe when nothing is open.
    virtual void close() = 0;
};

// The ALSA sequencer output: open() makes a client with one output port and
// connects it to the first synthesizer or hardware MIDI port there is, else
// to the MIDI Through port (else to nothing: other programs may connect to
// it). ALSA's own error lines are kept off standard error.
std::unique_ptr<MidiOutput> makeAlsaMidiOutput();

// The output in use: the ALSA one unless another was installed.
MidiOutput& midiOutput();
// Installs `output` (null: the ALSA one again), closing the previous one.
void setMidiOutput(std::unique_ptr<MidiOutput> output);
