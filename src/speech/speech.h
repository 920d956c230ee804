// The speech facade: every spoken word of the system goes through here.
// Texts are cut into pieces: letter runs go to the diphone synthesizer,
// numbers to recorded number words, single characters to recorded letter
// sounds. Every sound can be cut short by a key, which stays in the console's
// key queue for the program to read.
#pragma once

#include <string>
#include <string_view>

// Starts speech at `speed` (<= 0: the configured one) with the program's
// sound directory. When the voice cannot start, writes the reason, waits for
// Enter and closes the console (ending the program).
void initSpeech(int speed, std::string_view soundDirectory);
void closeSpeech();
int speechSpeed();
// True while whole texts go to a speech server rather than the built-in voice.
bool speechServerActive();

void speakText(std::string_view text);
void writeSpeak(std::string_view text);
void writeLineSpeak(std::string_view text);
void writeNumberSpeak(long value);
void spellText(std::string_view text);
void speakChar(unsigned char c);
void playSound(std::string_view name);
bool soundExists(std::string_view name);
bool soundBusy();
// Waits, processing messages, while soundBusy answers true.
void waitWhileSoundBusy();
void waitSoundEnd();
void stopSound();
void clickSound();
void errorBeep();
unsigned char readKeyEcho();
void playWaveBuffer(const std::string& waveImage);
// A sine tone of `frequency` Hz (0: silence) for `ms` milliseconds, played to
// its end unless a key stops it; speed settings do not change it.
void playTone(int frequency, int ms);
// A pause in speech of `ms` rounded down to 50 ms steps, cut short by a key.
// On a sink that does not play in real time it takes no time (a capture
// records it as silence).
void pauseMs(int ms);

// The directories sounds are looked up in (Windows-style, ending in "\").
const std::string& letterDirectory();
const std::string& programSoundDirectory();

// Flags of the talking line editor.
extern bool echoTyping;
extern bool firstKeyClears;
