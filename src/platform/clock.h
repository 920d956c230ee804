// Time for the whole program: a monotonic millisecond count, sleeping, and
// the local date and time. The real clock is the default; a virtual clock,
// whose sleeps advance time at once, serves fuzzing and fast tests.
#pragma once

#include <cstdint>

struct LocalTime {
    int year, month, day;  // month 1..12, day 1..31
    int weekday;           // 0 = Sunday .. 6 = Saturday
    int hour, minute, second, hundredths;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes backwards.
    virtual int64_t monotonicMs() = 0;
    // Blocks the thread for `ms` milliseconds (nothing for ms <= 0).
    virtual void sleepMs(int ms) = 0;
    virtual LocalTime localTime() = 0;
};

// The clock in use; the real one unless setClock installed another.
Clock& systemClock();
void setClock(Clock* clock);
// A clock whose sleeps return at once after advancing its own time; the
// date starts at a fixed moment so runs are repeatable.
Clock* virtualClock();
