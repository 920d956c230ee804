// Desktop automation commands: DIGITA, ACIONA and CLICA type and click
// into other programs; JANELA, CAPTURA, TRANSFERE and HANDLE find, arrange
// and read windows and move text through the clipboard; SENSOR reads the
// switch sensor; MSAA follows focus changes and reads what a screen reader
// would announce. Without a display, the commands that would send input
// fail; the others answer as for a desktop with no window on it.
#pragma once

#include <string_view>

// Back to the state of program start: the accessibility monitor stopped.
void resetDesktopCommands();

bool commandDigita(std::string_view args);
bool commandAciona(std::string_view args);
bool commandClica(std::string_view args);
bool commandJanela(std::string_view args);
bool commandCaptura(std::string_view args);
bool commandTransfere(std::string_view args);
bool commandHandle(std::string_view args);
bool commandSensor(std::string_view args);
bool commandMsaa(std::string_view args);
