// The parallel port through ppdev: the port is claimed once and its
// registers read and written with the device's ioctls.
#include "platform/parallel_port.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

class PpdevPort : public ParallelPort {
public:
    explicit PpdevPort(int fd) : fd_(fd) {}
    ~PpdevPort() override {
        ioctl(fd_, PPRELEASE);
        close(fd_);
    }
    void writeData(uint8_t value) override {
        unsigned char v = value;
        ioctl(fd_, PPWDATA, &v);
    }
    void writeControl(uint8_t value) override {
        // The direction and interrupt bits are not the control lines and
        // ppdev refuses them here.
        unsigned char v = value & 0x0F;
        ioctl(fd_, PPWCONTROL, &v);
    }
    uint8_t readStatus() override {
        unsigned char v = 0;
        ioctl(fd_, PPRSTATUS, &v);
        return v;
    }

private:
    int fd_;
};

} // namespace

std::unique_ptr<ParallelPort> openParallelPort() {
    int fd = open(PARALLEL_PORT_DEVICE, O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (ioctl(fd, PPCLAIM) != 0) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<PpdevPort>(fd);
}
