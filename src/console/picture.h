// The one picture drawn over the console text. Pictures are Windows BMP
// files with a 40-byte information header, read by our own reader and
// handed to the console backend as RGB pixels; backends with nothing to
// show on ignore them. Owns the loaded picture and its position.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The largest picture taken, in pixels (4096 x 4096): far more than the
// console window shows, and a bound on the memory a damaged header asks for.
constexpr int64_t MAX_PICTURE_PIXELS = 4096 * 4096;

struct PictureImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // 3 bytes a pixel, top row first
};

// Decodes a BMP file's bytes: a 40-byte information header; 1, 4 or 8 bits
// a pixel with a colour table, 16, 24 or 32 without (16 and 32 also with
// bit masks); rows bottom-up, or top-down for a negative height. False for
// anything else, for sizes of 0 or above 65535 or MAX_PICTURE_PIXELS, and
// for a file shorter than its header says.
bool decodeBmp(std::string_view bytes, PictureImage& image);

// Loads the BMP file at `path` (POSIX) as the picture, at position 0, 0; it
// shows once showPicture places it. False, with the previous picture kept,
// when the file cannot be read or decoded.
bool loadPicture(const std::string& path);
// Puts the loaded picture at pixel x, y of the console (from its top-left
// corner) and shows it at once.
void showPicture(int x, int y);
// Drops the picture so the text shows again.
void removePicture();
