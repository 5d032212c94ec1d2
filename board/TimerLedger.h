#pragma once

#include "board/BoardDisplay.h"
#include "board/PeriodSink.h"

#include <QString>
#include <QtGlobal>
#include <array>

class Clock;
class Profile;

// The ten timers: their stored seconds and names (a cache of the profile), the one open period, and
// every text the board shows. Seconds reach the profile only when a period is closed: at a switch and
// when the board goes away. The one-second refresh only recomputes what is shown.
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
    // One Reset box of the names dialog: 0 seconds for that timer.
    void ClearSeconds(int index);
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
    qint64 ChargeOpenPeriod(); // returns the clock reading it charged up to
    void ChargeUntil(qint64 end);
    void ComputeShares(int runningIndex, qint64 elapsed);

    Profile& m_profile;
    const Clock& m_clock;
    BoardDisplay& m_display;
    PeriodSink& m_sink;
};
