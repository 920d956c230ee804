// The headless console backend: every byte written to the console goes to a
// transcript (standard output, UTF-8, CR LF written as LF); keys are read from
// an input (standard input) only while the program waits for a key, one key
// at a time, so typed-ahead keys never interrupt speech. The end of the input
// while a key is awaited closes the console.
#pragma once

#include "platform/console_backend.h"
#include "platform/key_decoder.h"

#include <memory>

struct HeadlessOptions {
    int inputFd = 0;        // -1: no input at all
    int transcriptFd = 1;   // -1: no transcript
    // When the input has ended, answer every awaited key with this code
    // instead of closing the console (0 = close). Lets a fuzzer run scripts
    // that wait for keys without ending the process.
    uint8_t endlessKey = 0;
};

std::unique_ptr<ConsoleBackend> makeHeadlessConsole(const HeadlessOptions& options);
