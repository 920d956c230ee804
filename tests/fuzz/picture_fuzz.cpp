// Fuzzes the picture readers: each input is decoded as a BMP file and
// converted as a JPEG file. A JPEG that converts must give a BMP our own
// reader takes, with the picture's size.
#include "console/picture.h"
#include "desktop/image_display.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    PictureImage image;
    decodeBmp(bytes, image);
    std::string bmp;
    if (jpegToBmp(bytes, bmp)) {
        PictureImage converted;
        if (!decodeBmp(bmp, converted)) std::abort();
        if (converted.rgb.size() != static_cast<size_t>(converted.width) * converted.height * 3) std::abort();
    }
    return 0;
}
