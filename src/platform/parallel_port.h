// The first parallel port, for the switch sensor: its data, status and
// control registers through the Linux ppdev device (platform/linux/ppdev),
// claimed once opened and kept for the rest of the process.
#pragma once

#include <cstdint>
#include <memory>

constexpr const char* PARALLEL_PORT_DEVICE = "/dev/parport0";

class ParallelPort {
public:
    virtual ~ParallelPort() = default;
    virtual void writeData(uint8_t value) = 0;
    virtual void writeControl(uint8_t value) = 0;
    virtual uint8_t readStatus() = 0;
};

// Opens and claims PARALLEL_PORT_DEVICE; null when it is missing or refused.
std::unique_ptr<ParallelPort> openParallelPort();
