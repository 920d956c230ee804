// Base64 (not built yet).
#include "interpreter/mime.h"

std::string base64Encode(std::string_view) { return {}; }
std::string base64Decode(std::string_view) { return {}; }
