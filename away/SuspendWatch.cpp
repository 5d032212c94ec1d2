#include "away/SuspendWatch.h"

#ifdef Q_OS_LINUX
#include <ctime>
#endif

ClockPairSuspendWatch::ClockPairSuspendWatch(Reading stopsInSuspend, Reading countsSuspend)
    : m_awake(std::move(stopsInSuspend)), m_boot(std::move(countsSuspend)) {}

qint64 ClockPairSuspendWatch::SuspendedSeconds() {
    constexpr qint64 kNanoseconds = 1'000'000'000;
    // The boot clock first: a reading of the other taken later can only make the gap smaller.
    const qint64 boot = m_boot();
    const qint64 gap = boot - m_awake();
    if (!m_gap) {
        m_gap = gap;
        return 0;
    }
    // A fraction of a second is kept for the next call rather than lost.
    const qint64 seconds = (gap - *m_gap) / kNanoseconds;
    *m_gap += seconds * kNanoseconds;
    return seconds;
}

// Windows has its own (SuspendWatch_win.cpp).
#ifndef Q_OS_WIN
std::unique_ptr<SuspendWatch> SuspendWatch::ForThisSystem() {
#ifdef Q_OS_LINUX
    const auto reading = [](clockid_t clock) {
        return [clock] {
            timespec t{};
            clock_gettime(clock, &t);
            return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
        };
    };
    return std::make_unique<ClockPairSuspendWatch>(reading(CLOCK_MONOTONIC), reading(CLOCK_BOOTTIME));
#else
    return nullptr;
#endif
}
#endif
