// Image display: puts a BMP or JPEG picture file over the console text.
// The console draws only BMP pictures; a JPEG file is decoded with libjpeg
// into a temporary BMP file in the home's temp folder ($TALORA_HOME/temp),
// which is removed again before the call returns, whatever happened.
#pragma once

#include <string>
#include <string_view>

// The bytes of a BMP file holding the decoded JPEG `jpeg`: 8 bits a pixel
// with a grey colour table for a grey-scale JPEG, 24 bits otherwise. False
// for data libjpeg cannot decode, a file that ends before its picture does,
// colour spaces other than grey and RGB-like ones, and pictures above
// MAX_PICTURE_PIXELS.
bool jpegToBmp(std::string_view jpeg, std::string& bmp);

// Shows the picture file `scriptPath` (a script path, mapped) with its
// top-left corner at pixel x, y of the console. A name ending in ".jpg" or
// ".jpeg" (any case) of a file that exists is converted first. False when
// the file is missing or cannot be decoded; the picture shown before stays.
bool showPictureFile(std::string_view scriptPath, int x, int y);
