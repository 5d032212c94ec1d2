#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>

// How long the computer slept. Each system says it its own way; the board asks at every tick and
// needs no daemon and no permission for it.
class SuspendWatch {
public:
    virtual ~SuspendWatch() = default;

    // Whole seconds the computer spent suspended since the previous call; 0 at the first call.
    virtual qint64 SuspendedSeconds() = 0;

    // This system's watch; nullptr where none is known (a board there never sees a suspend).
    static std::unique_ptr<SuspendWatch> ForThisSystem();
};

// Two clocks in nanoseconds, one that stops while the computer is suspended and one that does not: a
// growth of their difference is time spent suspended. On Linux they are CLOCK_MONOTONIC and
// CLOCK_BOOTTIME (a process stopped by SIGSTOP is not suspended: both run on); on Windows the unbiased
// interrupt time and the interrupt time. Tests pass their own.
class ClockPairSuspendWatch final : public SuspendWatch {
public:
    using Reading = std::function<qint64()>;

    ClockPairSuspendWatch(Reading stopsInSuspend, Reading countsSuspend);

    qint64 SuspendedSeconds() override;

private:
    Reading m_awake;
    Reading m_boot;
    std::optional<qint64> m_gap; // boot - awake at the last call, less the part not yet told
};
