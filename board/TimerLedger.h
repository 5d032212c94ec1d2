#pragma once

#include "board/BoardDisplay.h"
#include "board/PeriodSink.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>
#include <utility>
#include <vector>

class Clock;
class Profile;

// The ten timers: their stored seconds and names (a cache of the profile), the one open period, and
// every text the board shows. Seconds reach the profile when a period is closed (at a switch and when
// the board goes away) and when the user corrects a timer or undoes a reset, never on the one-second
// refresh, which only recomputes what is shown.
//
// Seconds saturate at the 32-bit limits instead of wrapping, and a negative time (a clock set back
// during a period) is shown with a leading minus.
class CTimerLedger final {
public:
    static constexpr int kTimers = BoardDisplay::kTimers;
    static constexpr int kSlots = 15; // slots 10..14 exist and stay unused

    CTimerLedger(Profile& profile, const Clock& clock, BoardDisplay& display,
                 PeriodSink& sink = PeriodSink::None());

    static QString FormatSeconds(qint64 seconds);
    // Stored seconds plus a charge, held within the 32-bit range.
    static int AddSeconds(int seconds, qint64 elapsed);

    void LoadTimers();
    void ShowTimers();
    void SwitchTimer();
    void RefreshRunningTimer();
    void SaveRunningTimer();
    void ClearAllSeconds();
    // One Reset box of the names dialog: 0 seconds for that timer. The boxes of one closing of the
    // dialog share one reading `at`, which keeps them together for an undo.
    void ClearSeconds(int index, qint64 at);
    qint64 Now() const;

    // "Switched here ... minutes ago": the last `minutes` of the open period go to timer `index`, which
    // runs from then on. False (and nothing done) unless another timer runs and its period is at least
    // that long.
    bool SwitchedEarlier(int index, qint64 minutes);
    // The largest amount "Switched here" can move to timer `index` now, in whole minutes; 0 when it
    // does not apply.
    qint64 SwitchableMinutes(int index) const;
    // Adds (or removes, when negative) seconds to timer `index` by hand. False (and nothing done) if the
    // result would leave 0..the 32-bit limit; a running timer is charged up to now first, so the limits
    // hold for the time shown.
    bool AddTime(int index, qint64 seconds);
    // The range AddTime accepts for timer `index` now.
    std::pair<qint64, qint64> AddTimeRange(int index) const;
    // The stored seconds plus what the open period has run, if `index` runs.
    qint64 ShownSeconds(int index) const;
    // Gives back seconds a reset cleared (Undo Reset), within the 32-bit limit.
    void RestoreSeconds(const std::vector<std::pair<int, qint64>>& cleared);
    // A name the names dialog changed, once it has closed.
    void CommitName(int index, const QString& name);
    // The user was away from `left` to `back` while the timer ran. Keeping charges it all, as always;
    // discarding charges the open period up to `left` (not before its start) and opens it again at
    // `back`.
    void SettleAway(qint64 left, qint64 back, bool keep);

    std::array<int, kSlots> m_nSeconds{};
    int m_nTotalSeconds = 0;
    int m_nRunning = 0;
    std::array<QString, kSlots> m_strName;
    std::array<QString, kSlots> m_strTime;
    std::array<QString, kSlots> m_strPercent;
    QString m_strTotal;
    std::array<double, kSlots> m_dPercent{};
    qint64 m_timeStart = 0;

private:
    // Charges the open period up to `end` (now by default); returns the reading it charged up to.
    qint64 ChargeOpenPeriod(std::optional<qint64> end = std::nullopt);
    void ComputeShares(int runningIndex, qint64 elapsed);

    Profile& m_profile;
    const Clock& m_clock;
    BoardDisplay& m_display;
    PeriodSink& m_sink;
};
