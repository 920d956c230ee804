// A console backend for sound tests: shows nothing, lets time pass on the
// clock in use, and delivers `key` once `keyAfterBlocks` blocks have reached
// the capture sink, so a test can press a key in the middle of playback.
#pragma once

#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "platform/console_backend.h"

#include <vector>

namespace soundtest {

class FakeConsole : public ConsoleBackend {
public:
    int keyAfterBlocks = -1;
    uint8_t key = 'x';
    int blocksAtKey = -1;  // blocks queued when the key came

    bool open() override { return true; }
    void close() override {}
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    void pollInput(std::vector<InputEvent>& events, int timeoutMs, bool) override {
        systemClock().sleepMs(timeoutMs);
        if (keyAfterBlocks < 0 || blocksQueued() < keyAfterBlocks) return;
        InputEvent e;
        e.ch = key;
        events.push_back(e);
        keyAfterBlocks = -1;
        blocksAtKey = blocksQueued();
    }

    static int blocksQueued() {
        int n = 0;
        for (const CaptureEvent& e : audioSink().captureLog()->events) n += e.kind == CaptureEvent::Block;
        return n;
    }
};

} // namespace soundtest
