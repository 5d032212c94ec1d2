#pragma once

#include <QtGlobal>
#include <atomic>

// Two readings in whole seconds: the calendar time since the epoch, which labels when things happened
// and may be stepped (by hand, by NTP, by a time-zone mistake), and an elapsed-time reading that never
// steps and goes on through a suspend. Lengths of time are differences of elapsed readings, so a step of
// the calendar clock is never charged.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 Now() const = 0;
    // Seconds on a clock that never steps and counts time suspended (CLOCK_BOOTTIME on Linux); only its
    // differences mean anything.
    virtual qint64 Elapsed() const = 0;
};

class SystemClock final : public Clock {
public:
    qint64 Now() const override;
    qint64 Elapsed() const override;
};

// A clock pair that only moves when told to: for tests and benchmarks. Set and Advance are time passing
// (both readings move); StepWall moves the calendar clock alone, as a clock set by hand.
class SettableClock final : public Clock {
public:
    explicit SettableClock(qint64 now = 1'700'000'000) : m_now(now) {}
    qint64 Now() const override { return m_now.load(); }
    qint64 Elapsed() const override { return m_elapsed.load(); }
    void Set(qint64 now) { Advance(now - m_now.load()); }
    void Advance(qint64 seconds) {
        m_now.fetch_add(seconds);
        m_elapsed.fetch_add(seconds);
    }
    void StepWall(qint64 seconds) { m_now.fetch_add(seconds); }

private:
    std::atomic<qint64> m_now;
    std::atomic<qint64> m_elapsed{1'000'000};
};
