// Real and virtual clocks.
#include "platform/clock.h"

#include <ctime>
#include <sys/time.h>
#include <time.h>

namespace {

LocalTime splitTime(time_t seconds, int hundredths) {
    struct tm t {};
    localtime_r(&seconds, &t);
    return LocalTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_wday,
                     t.tm_hour,        t.tm_min,     t.tm_sec,  hundredths};
}

class RealClock : public Clock {
public:
    int64_t monotonicMs() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    }
    void sleepMs(int ms) override {
        if (ms <= 0) return;
        timespec ts{ms / 1000, (ms % 1000) * 1000000L};
        while (nanosleep(&ts, &ts) != 0) {
        }
    }
    LocalTime localTime() override {
        timeval tv{};
        gettimeofday(&tv, nullptr);
        return splitTime(tv.tv_sec, static_cast<int>(tv.tv_usec / 10000));
    }
};

class VirtualClock : public Clock {
public:
    int64_t monotonicMs() override { return now_; }
    void sleepMs(int ms) override {
        if (ms > 0) now_ += ms;
    }
    LocalTime localTime() override {
        // 2026-01-05 10:00:00 local time plus the virtual milliseconds.
        struct tm base {};
        base.tm_year = 126;
        base.tm_mon = 0;
        base.tm_mday = 5;
        base.tm_hour = 10;
        base.tm_isdst = -1;
        time_t start = mktime(&base);
        return splitTime(start + static_cast<time_t>(now_ / 1000), static_cast<int>(now_ % 1000) / 10);
    }

private:
    int64_t now_ = 0;
};

RealClock realClock;
VirtualClock theVirtualClock;
Clock* current = &realClock;

} // namespace

Clock& systemClock() { return *current; }
void setClock(Clock* clock) { current = clock ? clock : &realClock; }
Clock* virtualClock() { return &theVirtualClock; }
