#pragma once

#include <QtGlobal>
#include <atomic>

// Calendar time in whole seconds since the epoch. Periods are differences of two readings.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 Now() const = 0;
};

class SystemClock final : public Clock {
public:
    qint64 Now() const override;
};

// A clock that only moves when told to: for tests and benchmarks.
class SettableClock final : public Clock {
public:
    explicit SettableClock(qint64 now = 1'700'000'000) : m_now(now) {}
    qint64 Now() const override { return m_now.load(); }
    void Set(qint64 now) { m_now.store(now); }
    void Advance(qint64 seconds) { m_now.fetch_add(seconds); }

private:
    std::atomic<qint64> m_now;
};
