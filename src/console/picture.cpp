// The console's picture (see picture.h).
#include "console/picture.h"

#include "console/console.h"
#include "platform/files.h"

#include <algorithm>
#include <bit>

namespace {

constexpr size_t FILE_HEADER = 14;
constexpr uint32_t INFO_HEADER = 40;
constexpr uint32_t BI_RGB = 0, BI_BITFIELDS = 3;
// Big enough for the largest picture at 32 bits a pixel and its headers.
constexpr int64_t MAX_PICTURE_FILE = MAX_PICTURE_PIXELS * 4 + (1 << 20);

PictureImage picture;
bool loaded = false;
int pictureX = 0, pictureY = 0;

uint32_t byteAt(std::string_view b, size_t at) { return static_cast<uint8_t>(b[at]); }
uint32_t u32(std::string_view b, size_t at) {
    return byteAt(b, at) | byteAt(b, at + 1) << 8 | byteAt(b, at + 2) << 16 | byteAt(b, at + 3) << 24;
}
uint16_t u16(std::string_view b, size_t at) { return static_cast<uint16_t>(byteAt(b, at) | byteAt(b, at + 1) << 8); }

// One channel of a bit-field pixel, scaled to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;
    explicit Channel(uint32_t m) : mask(m) {
        if (m == 0) return;
        shift = std::countr_zero(m);
        max = m >> shift;
    }
    uint8_t of(uint32_t pixel) const {
        if (max == 0) return 0;
        return static_cast<uint8_t>(static_cast<uint64_t>((pixel & mask) >> shift) * 255 / max);
    }
};

} // namespace

bool decodeBmp(std::string_view b, PictureImage& image) {
    if (b.size() < FILE_HEADER + INFO_HEADER || u32(b, 14) != INFO_HEADER) return false;
    const uint32_t dataOffset = u32(b, 10);
    const int32_t width = static_cast<int32_t>(u32(b, 18));
    const int32_t rawHeight = static_cast<int32_t>(u32(b, 22));
    const int bits = u16(b, 28);
    const uint32_t compression = u32(b, 30);
    const uint32_t colours = u32(b, 46);
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -static_cast<int64_t>(rawHeight) : rawHeight;
    if (width <= 0 || width > 65535 || height <= 0 || height > 65535) return false;
    if (static_cast<int64_t>(width) * height > MAX_PICTURE_PIXELS) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const bool masked = compression == BI_BITFIELDS && (bits == 16 || bits == 32);
    if (compression != BI_RGB && !masked) return false;

    // The colour table follows the information header; an index it lacks is black.
    std::vector<uint8_t> table;
    if (bits <= 8) {
        const uint64_t entries = colours != 0 ? colours : (1u << bits);
        if (FILE_HEADER + INFO_HEADER + entries * 4 > b.size()) return false;
        for (uint64_t i = 0; i < entries && i < (1u << bits); ++i) {
            size_t at = FILE_HEADER + INFO_HEADER + i * 4;
            table.insert(table.end(), {static_cast<uint8_t>(b[at + 2]), static_cast<uint8_t>(b[at + 1]),
                                       static_cast<uint8_t>(b[at])});
        }
    }
    Channel red(0x7C00), green(0x03E0), blue(0x001F);
    if (bits == 32) red = Channel(0xFF0000), green = Channel(0x00FF00), blue = Channel(0x0000FF);
    if (masked) {
        if (b.size() < FILE_HEADER + INFO_HEADER + 12) return false;
        red = Channel(u32(b, 54));
        green = Channel(u32(b, 58));
        blue = Channel(u32(b, 62));
    }

    const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    if (dataOffset > b.size() || stride * height > b.size() - dataOffset) return false;

    image.width = width;
    image.height = static_cast<int>(height);
    image.rgb.assign(static_cast<size_t>(width) * image.height * 3, 0);
    for (int y = 0; y < image.height; ++y) {
        const int fileRow = topDown ? y : image.height - 1 - y;
        const uint8_t* row = reinterpret_cast<const uint8_t*>(b.data()) + dataOffset + stride * fileRow;
        uint8_t* out = image.rgb.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x, out += 3) {
            if (bits <= 8) {
                const int perByte = 8 / bits;
                const int shift = 8 - bits * (x % perByte + 1);
                const size_t index = (row[x / perByte] >> shift) & ((1 << bits) - 1);
                if (index * 3 < table.size()) std::copy_n(table.begin() + index * 3, 3, out);
            } else if (bits == 24) {
                out[0] = row[x * 3 + 2];
                out[1] = row[x * 3 + 1];
                out[2] = row[x * 3];
            } else {
                const uint8_t* p = row + x * (bits / 8);
                uint32_t pixel = bits == 16 ? static_cast<uint32_t>(p[0] | p[1] << 8)
                                            : static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) |
                                                  static_cast<uint32_t>(p[3]) << 24;
                out[0] = red.of(pixel);
                out[1] = green.of(pixel);
                out[2] = blue.of(pixel);
            }
        }
    }
    return true;
}

bool loadPicture(const std::string& path) {
    int64_t size;
    std::string bytes;
    PictureImage image;
    if (!fileSize(path, size) || size > MAX_PICTURE_FILE || !readWholeFile(path, bytes) || !decodeBmp(bytes, image))
        return false;
    picture = std::move(image);
    loaded = true;
    pictureX = pictureY = 0;
    return true;
}

void showPicture(int x, int y) {
    pictureX = x;
    pictureY = y;
    if (!loaded) return;
    openConsole();
    if (ConsoleBackend* backend = consoleBackend())
        backend->showPicture(picture.rgb, picture.width, picture.height, pictureX, pictureY);
}

void removePicture() {
    bool wasLoaded = loaded;
    picture = PictureImage{};
    loaded = false;
    if (wasLoaded && consoleIsOpen()) {
        if (ConsoleBackend* backend = consoleBackend()) backend->showPicture({}, 0, 0, 0, 0);
    }
    processMessages();
}
