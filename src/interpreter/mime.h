// Base64 coding (the standard alphabet, "=" as fill).
#pragma once

#include <string>
#include <string_view>

std::string base64Encode(std::string_view bytes);
// Stops at the first "="; characters outside the alphabet are skipped.
std::string base64Decode(std::string_view text);
