// The switch sensor on the parallel port.
#include "desktop/sensor.h"

#include "console/console.h"
#include "platform/clock.h"
#include "speech/speech.h"

#include <string>

namespace {

std::unique_ptr<ParallelPort> (*opener)() = openParallelPort;
std::unique_ptr<ParallelPort> port;
uint8_t baseline = 0;
bool closed[SENSOR_SWITCHES] = {};

} // namespace

bool loadSensorPort() {
    if (port) return true;
    port = opener();
    if (!port) {
        if (ConsoleBackend* b = consoleBackend()) b->beep();
        writeLineSpeak(std::string(PARALLEL_PORT_DEVICE) + " n\xE3o dispon\xEDvel.");
        return false;
    }
    port->writeControl(255);
    systemClock().sleepMs(1);
    port->writeData(1);
    systemClock().sleepMs(1);
    baseline = port->readStatus();
    return true;
}

void scanSensors() {
    if (!port) return;
    for (int row = 0; row < 8; ++row) {
        port->writeControl(255);
        systemClock().sleepMs(1);
        // The row is chosen by pulling its data line low.
        port->writeData(static_cast<uint8_t>(0xFF & ~(1u << (7 - row))));
        systemClock().sleepMs(1);
        uint8_t s = port->readStatus() ^ baseline;
        for (int column = 0; column < 4; ++column) closed[4 * row + column] = (s >> (7 - column)) & 1;
    }
}

int firstClosedSwitch() {
    for (int n = 1; n <= SENSOR_SWITCHES; ++n)
        if (closed[n - 1]) return n;
    return 0;
}

void setParallelPortOpener(std::unique_ptr<ParallelPort> (*replacement)()) {
    opener = replacement;
    port.reset();
    baseline = 0;
    for (bool& c : closed) c = false;
}
