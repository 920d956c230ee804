// IMAGEM: shows a BMP or JPEG picture over the console text, or removes it;
// the showing is the desktop's image display.
#pragma once

#include <string_view>

bool commandImagem(std::string_view args);
