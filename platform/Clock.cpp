#include "platform/Clock.h"

#include <chrono>
#include <ctime>

qint64 SystemClock::Now() const {
    return static_cast<qint64>(std::time(nullptr));
}

qint64 SystemClock::Elapsed() const {
#ifdef CLOCK_BOOTTIME
    // Unlike CLOCK_MONOTONIC it goes on while the computer sleeps: a period across a suspend is as long
    // as the calendar says, and the away question decides about that time.
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) == 0) {
        return static_cast<qint64>(now.tv_sec);
    }
#endif
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
