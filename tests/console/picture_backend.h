// A console backend for picture tests: shows nothing and keeps the last
// picture it was asked to show (an empty one once it is removed).
#pragma once

#include "platform/console_backend.h"

#include <vector>

namespace picturetest {

struct PictureBackend : ConsoleBackend {
    std::vector<uint8_t> rgb;
    int width = -1, height = -1, x = -1, y = -1, calls = 0;

    bool open() override { return true; }
    void close() override {}
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    void pollInput(std::vector<InputEvent>&, int, bool) override {}
    void showPicture(const std::vector<uint8_t>& p, int w, int h, int px, int py) override {
        rgb = p;
        width = w;
        height = h;
        x = px;
        y = py;
        ++calls;
    }
    // The red, green and blue of the pixel at column, row of what is shown.
    std::vector<int> at(int column, int row) const {
        size_t i = (static_cast<size_t>(row) * width + column) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

} // namespace picturetest
