// The platform voice of speech-server kinds 5 and 54: the desktop's speech
// server, speech-dispatcher, reached through libspeechd at its usual address
// (SPEECHD_ADDRESS, else the user's runtime folder). A server that is not
// running is never started for us: opening then fails. Speech is
// asynchronous: speak hands the text over, and the server's begin, end and
// cancel notifications (on libspeechd's own thread) tell whether it still
// speaks. It owns the one connection and the Portuguese voice list, which
// is asked for once per process (a server with many voice variants takes
// seconds to list them).
#pragma once

#include <string>
#include <string_view>

// Voice n of the server's Portuguese voices (Brazilian ones first); when n
// is outside 1..count the first voice is used and the rate is left at 0.
// `rate` -10..10 is spread over the server's -100..100 (other values leave
// it at 0). The server cannot write to a file: an `outputFile` fails the
// open, as do a missing server and a server without Portuguese voices.
bool speechdVoiceOpen(int voice, int rate, const std::string& outputFile);
// Hands the text (Windows-1252; empty counts as one space) to the server;
// when it refuses, the console beeps.
void speechdVoiceSpeak(std::string_view text);
// True until the server has ended or cancelled everything handed to it.
bool speechdVoiceBusy();
// True from the moment the server starts to sound the last text handed
// over until it has ended or cancelled it.
bool speechdVoiceSounding();
// Cancels what is spoken and queued; busy is false at once.
void speechdVoiceStop();
// Waits while it speaks, then closes the connection.
void speechdVoiceClose();
