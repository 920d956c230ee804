// TRAZDAREDE url file mode user-agent cookie variable: downloads one web
// resource into a file (net/http_download.h). The command itself fails only
// on bad arguments; the download's outcome goes to the variable ("0" done,
// "1" not).
#pragma once

#include <string_view>

bool commandTrazdarede(std::string_view args);
