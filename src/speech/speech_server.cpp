// The speech-server dispatch of a build without speech servers.
#include "speech/speech_server.h"

#include "console/console.h"

bool speechServerOpen(int, int, int, const std::string&, int) { return false; }

void speechServerSpeak(std::string_view) {}

bool speechServerBusy(int) {
    processMessages();
    return false;
}

void speechServerStop() {}
void speechServerClose() {}
