// The console: the program's one 80 x 25 text screen with its character and
// attribute buffers, cursor, colours, the 64-byte key queue, plain line
// input, the title and the clipboard. It owns the screen model; a
// ConsoleBackend (terminal, headless, window) shows it and reports input.
// Window messages (input, audio progress) are processed only inside console
// operations: every write, keyAvailable, readKey, waitMs, processMessages.
#pragma once

#include "platform/clock.h"
#include "platform/console_backend.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Current colours: background in the high four bits, text in the low four.
extern uint8_t textAttribute;

// Installs the backend (before the first console operation).
void setConsoleBackend(std::unique_ptr<ConsoleBackend> backend);
ConsoleBackend* consoleBackend();
// Exit code of the program when the console is closed (window closed, input ended).
void setConsoleClosedExitCode(int code);

void openConsole();
bool consoleIsOpen();
void consoleWrite(std::string_view bytes);
// Line input with plain echo; at most capacity - 2 characters are kept.
// Returns the line without its line end.
std::string consoleReadLine(int capacity);
void clearScreen();
void clearToLineEnd();
void moveCursor(int column, int row);
int cursorColumn();
int cursorRow();
void setTextColour(int colour);
void setBackgroundColour(int colour);
uint8_t screenCharAt(int column, int row);
uint8_t screenAttrAt(int column, int row);
// Row `row` (1-based) as text, trailing blanks removed.
std::string screenRowText(int row);

bool keyAvailable();
uint8_t readKey();
// Removes every key waiting in the queue.
void discardKeys();
// Puts a key code at the end of the queue (false when it is full).
bool queueKey(uint8_t code);
void processMessages();
void waitMs(int ms);
// Waits up to `maxMs` for input or audio progress, processing what comes.
void waitForMessage(int maxMs);
// The same, but also ends once the descriptor `fd` can be read (or written,
// when `forWrite`) without blocking: true then. Network waits go through it,
// so the console keeps being serviced while a socket is awaited.
bool waitForReady(int fd, bool forWrite, int maxMs);
// Bytes waiting in the key queue (a special key is two).
int queuedKeyCount();
// Takes the first waiting key `code` out of the queue, passing over the
// first `from` bytes (keys that were waiting before) and the second bytes of
// special keys; the other keys stay in order. True when there was one.
bool takeQueuedKey(uint8_t code, int from);
// Shift, Ctrl and Alt as "1"/"0" flags, in that order.
std::string keyModifierFlags();

// Called on every processing of messages; the wave player hooks its block
// completion here.
void setAudioProgressHandler(void (*handler)());
// Also called on every processing of messages, while set: the
// accessibility monitor gathers the desktop's events here.
void setDesktopEventHandler(void (*handler)());

// The console's own tone (braille mode switches): an 8-bit mono 11 025 Hz
// square wave of `frequency` Hz (1..11025), a little under a second of
// whole periods, as a RIFF/WAVE image; empty for other frequencies.
std::string consoleToneImage(int frequency);
// Starts the tone, cutting whatever sound plays; the caller waits with
// waitMs as long as it should sound, then stops it. Silent until a player
// is installed.
void playConsoleTone(int frequency);
void stopConsoleTone();
// How the tones are played: the wave player installs itself here.
void setConsoleTonePlayer(void (*play)(std::string_view waveImage), void (*stop)());

void setConsoleTitle(std::string_view title);
const std::string& consoleTitle();
void setConsoleWindowState(WindowState state);

void copyToClipboard(std::string_view text);
std::string pasteFromClipboard(int capacity);

void currentDate(int& year, int& month, int& day, int& weekday);
void currentTime(int& hour, int& minute, int& second, int& hundredths);

// Standard output and input bound to the console.
void writeStandardOutput(std::string_view text);
std::string readStandardInputLine();

[[noreturn]] void closeConsole();

// The screen as UTF-8 lines, trailing blanks removed (for --screen-dump).
std::string screenDump();
// Back to the state of program start (tests).
void resetConsole();
