// The console's picture: our BMP reader on small files made here, and what
// the backend is handed to show.
#include "console/console.h"
#include "console/picture.h"
#include "picture_backend.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

void put16(std::string& b, uint32_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

struct Bmp {
    int32_t width = 1, height = 1;
    int bits = 24;
    uint32_t compression = 0;
    uint32_t colours = 0;
    uint32_t infoSize = 40;
    std::vector<uint32_t> palette;  // 0xRRGGBB
    std::vector<uint32_t> masks;    // after the header, for bit fields
    std::string pixels;             // the rows as stored, padding included
};

std::string encode(const Bmp& m) {
    std::string tail;
    for (uint32_t mask : m.masks) put32(tail, mask);
    for (uint32_t c : m.palette) put32(tail, c);
    std::string b = "BM";
    uint32_t offset = 14 + 40 + static_cast<uint32_t>(tail.size());
    put32(b, offset + static_cast<uint32_t>(m.pixels.size()));
    put32(b, 0);
    put32(b, offset);
    put32(b, m.infoSize);
    put32(b, static_cast<uint32_t>(m.width));
    put32(b, static_cast<uint32_t>(m.height));
    put16(b, 1);
    put16(b, static_cast<uint32_t>(m.bits));
    put32(b, m.compression);
    put32(b, static_cast<uint32_t>(m.pixels.size()));
    put32(b, 2835);
    put32(b, 2835);
    put32(b, m.colours);
    put32(b, 0);
    return b + tail + m.pixels;
}

std::string rgb(std::initializer_list<uint32_t> pixels) {
    std::string out;
    for (uint32_t p : pixels) {
        out += static_cast<char>(p >> 16);
        out += static_cast<char>((p >> 8) & 0xFF);
        out += static_cast<char>(p & 0xFF);
    }
    return out;
}

std::string decoded(const Bmp& m) {
    PictureImage image;
    if (!decodeBmp(encode(m), image)) return "refused";
    EXPECT_EQ(image.rgb.size(), static_cast<size_t>(image.width) * image.height * 3);
    return std::to_string(image.width) + "x" + std::to_string(image.height) + ":" +
           std::string(image.rgb.begin(), image.rgb.end());
}

TEST(Picture, DecodesEveryDepthOfTheFormat) {
    const uint32_t RED = 0xFF0000, GREEN = 0x00FF00, BLUE = 0x0000FF, WHITE = 0xFFFFFF, BLACK = 0;
    struct Case {
        const char* name;
        Bmp bmp;
        std::string expected;
    };
    // Rows are stored bottom-up, each padded to four bytes: red and blue,
    // then green and white.
    const std::string rows24("\x00\x00\xFF\xFF\x00\x00\0\0"
                             "\x00\xFF\x00\xFF\xFF\xFF\0\0",
                             16);
    const Case cases[] = {
        {"24 bits", {2, 2, 24, 0, 0, 40, {}, {}, rows24}, "2x2:" + rgb({GREEN, WHITE, RED, BLUE})},
        {"24 bits top-down", {2, -2, 24, 0, 0, 40, {}, {}, rows24}, "2x2:" + rgb({RED, BLUE, GREEN, WHITE})},
        // Nine pixels cross a byte; the table has two entries.
        {"1 bit", {9, 1, 1, 0, 2, 40, {BLACK, WHITE}, {}, std::string("\xA5\x80\0\0", 4)},
         "9x1:" + rgb({WHITE, BLACK, WHITE, BLACK, BLACK, WHITE, BLACK, WHITE, WHITE})},
        {"4 bits", {3, 1, 4, 0, 3, 40, {RED, GREEN, BLUE}, {}, std::string("\x21\x00\0\0", 4)},
         "3x1:" + rgb({BLUE, GREEN, RED})},
        // Index 5 is past a table of two entries: black.
        {"8 bits", {3, 1, 8, 0, 2, 40, {RED, GREEN}, {}, std::string("\x01\x00\x05\0", 4)},
         "3x1:" + rgb({GREEN, RED, BLACK})},
        {"16 bits 5-5-5", {2, 1, 16, 0, 0, 40, {}, {}, std::string("\x00\x7C\x1F\x00", 4)}, "2x1:" + rgb({RED, BLUE})},
        {"32 bits", {1, 1, 32, 0, 0, 40, {}, {}, std::string("\x10\x20\x30\x00", 4)}, "1x1:" + rgb({0x302010})},
        {"16 bits 5-6-5 masks", {2, 1, 16, 3, 0, 40, {}, {0xF800, 0x07E0, 0x001F}, std::string("\xE0\x07\x1F\x00", 4)},
         "2x1:" + rgb({GREEN, BLUE})},
        {"32 bits masks",
         {1, 1, 32, 3, 0, 40, {}, {0x000000FF, 0x0000FF00, 0x00FF0000}, std::string("\x10\x20\x30\x00", 4)},
         "1x1:" + rgb({0x102030})},
    };
    for (const Case& c : cases) EXPECT_EQ(decoded(c.bmp), c.expected) << c.name;
}

TEST(Picture, RefusesWhatItCannotShow) {
    const Bmp good{2, 1, 24, 0, 0, 40, {}, {}, std::string(8, '\x40')};
    ASSERT_NE(decoded(good), "refused");
    struct Case {
        const char* name;
        Bmp bmp;
    };
    auto with = [&](auto change) {
        Bmp b = good;
        change(b);
        return b;
    };
    const Case cases[] = {
        {"a version 4 header", with([](Bmp& b) { b.infoSize = 108; })},
        {"an OS/2 header", with([](Bmp& b) { b.infoSize = 12; })},
        {"pixels cut short", with([](Bmp& b) { b.pixels.resize(7); })},
        {"2 bits a pixel", with([](Bmp& b) { b.bits = 2; })},
        {"run-length coding", with([](Bmp& b) { b.compression = 1; })},
        {"no width", with([](Bmp& b) { b.width = 0; })},
        {"a width above 65535", with([](Bmp& b) { b.width = 65536; })},
        {"more pixels than a picture may have", with([](Bmp& b) { b.width = 8192, b.height = 8192; })},
        {"a colour table past the end", with([](Bmp& b) { b.bits = 8, b.colours = 0xFFFFFFFF; })},
    };
    for (const Case& c : cases) EXPECT_EQ(decoded(c.bmp), "refused") << c.name;
    PictureImage image;
    EXPECT_FALSE(decodeBmp("", image));
    EXPECT_FALSE(decodeBmp(encode(good).substr(0, 40), image));
}

using picturetest::PictureBackend;

TEST(Picture, TheBackendShowsTheLoadedPictureWhereItIsPlaced) {
    char dir[] = "/tmp/picture_test_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string good = std::string(dir) + "/a.bmp", bad = std::string(dir) + "/b.bmp";
    std::ofstream(good, std::ios::binary) << encode({1, 1, 24, 0, 0, 40, {}, {}, std::string("\x01\x02\x03\0", 4)});
    std::ofstream(bad, std::ios::binary) << "not a picture";
    resetConsole();
    auto owned = std::make_unique<PictureBackend>();
    PictureBackend* backend = owned.get();
    setConsoleBackend(std::move(owned));

    ASSERT_TRUE(loadPicture(good));
    EXPECT_EQ(backend->calls, 0);  // shown only once placed
    showPicture(40, 12);
    EXPECT_EQ(backend->rgb, (std::vector<uint8_t>{3, 2, 1}));
    EXPECT_EQ(backend->width, 1);
    EXPECT_EQ(backend->x, 40);
    EXPECT_EQ(backend->y, 12);

    // A file that does not load keeps the picture there is.
    EXPECT_FALSE(loadPicture(bad));
    EXPECT_FALSE(loadPicture(std::string(dir) + "/missing.bmp"));
    EXPECT_FALSE(loadPicture(dir));
    showPicture(0, 0);
    EXPECT_EQ(backend->rgb.size(), 3u);

    removePicture();
    EXPECT_TRUE(backend->rgb.empty());
    EXPECT_EQ(backend->width, 0);
    int calls = backend->calls;
    showPicture(5, 5);  // nothing loaded now
    EXPECT_EQ(backend->calls, calls);

    resetConsole();
    setConsoleBackend(nullptr);
    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
}

} // namespace
