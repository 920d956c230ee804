// MIDI output for the script's MIDI command: open, notes, program changes,
// close, through the platform's MIDI output. Keeps the result code of the
// last call; only a failed program change is reported to the user.
#pragma once

// Opens the output, then sends a system reset. False when there is no MIDI
// output to open.
bool midiOpen();
// Note on (velocity 0 ends the note). Channel 0..15, note and velocity 0..127.
void midiNote(int channel, int note, int velocity);
// Program change; a failure writes the line "erro em ProgramChange".
void midiProgram(int channel, int program);
void midiClose();
// The result code of the last MIDI call (0 for success).
int midiResult();
