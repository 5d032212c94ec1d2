#pragma once

#include "board/BoardDisplay.h"
#include "board/PeriodSink.h"
#include "common/Vocabulary.h"

#include <QDate>
#include <QString>
#include <QTimer>
#include <QtGlobal>
#include <array>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class Clock;
class Profile;

// The ten timers: their stored seconds and names (a cache of the profile), the one open period, and
// every text the board shows. The only writer of the timers' seconds: each change is recorded through
// the PeriodSink first and then written to the profile, never on the one-second refresh, which only
// recomputes what is shown.
//
// A period's length is elapsed time (Clock::Elapsed); the calendar clock only labels its start, and its
// end is the start plus the elapsed time. So a clock set back or forward while a timer runs is never
// charged. Seconds saturate at the 32-bit limits instead of wrapping.
class CTimerLedger final {
public:
    static constexpr int kTimers = Kelvra::kTimers;
    static constexpr int kSlots = 15; // slots 10..14 exist and stay unused
    static constexpr int kHeartbeatSeconds = 60;

    CTimerLedger(Profile& profile, const Clock& clock, BoardDisplay& display,
                 PeriodSink& sink = PeriodSink::None());
    Q_DISABLE_COPY_MOVE(CTimerLedger)

    static QString FormatSeconds(qint64 seconds) { return Kelvra::FormatSeconds(seconds); }

    void LoadTimers();
    void ShowTimers();
    void SwitchTimer();
    void RefreshRunningTimer();
    void SaveRunningTimer();
    void ClearAllSeconds();
    // The Reset boxes of one closing of the names dialog: 0 seconds for those timers, recorded as one
    // change at one reading, which keeps them together for an undo.
    void ClearSeconds(const std::vector<int>& indexes);
    // The board starts stopped; its period start is now.
    void StartStopped();
    // First-run set-up of the timers: 0 seconds and the given name for each, in index order.
    void InitTimers(const std::function<QString(int)>& name);

    // What the board's readings are: while a timer runs, its start plus the elapsed time (a calendar
    // clock stepped meanwhile does not move it); while stopped, the calendar clock.
    qint64 Now() const;
    // Marks the open period as running now; a timer calls it every minute.
    void Heartbeat();

    // Brings the profile and the record into agreement once the record is open, and charges periods a
    // board that died left open. Runs once; the first change runs it if it comes earlier. Returns what
    // was recovered and what the user must be told, only to the first caller.
    struct Reconciled {
        std::vector<PeriodSink::Period> recovered;
        std::vector<PeriodSink::Dated> balances;
    };
    std::optional<Reconciled> Reconcile();

    // Read-only views of the state.
    int Running() const { return m_nRunning > 0 && m_nRunning <= kTimers ? m_nRunning : 0; }
    qint64 Start() const { return m_timeStart; }
    int Seconds(int index) const { return m_nSeconds[static_cast<size_t>(index)]; }
    const QString& Name(int index) const { return m_strName[static_cast<size_t>(index)]; }
    const QString& TimeText(int index) const { return m_strTime[static_cast<size_t>(index)]; }
    const QString& PercentText(int index) const { return m_strPercent[static_cast<size_t>(index)]; }
    double Percent(int index) const { return m_dPercent[static_cast<size_t>(index)]; }
    int TotalSeconds() const { return m_nTotalSeconds; }
    const QString& TotalText() const { return m_strTotal; }
    // The stored seconds plus what the open period has run, if `index` runs.
    qint64 ShownSeconds(int index) const;
    // The texts as a running board showed them at `live.now`, for a report; changes nothing stored.
    void ShowLive(const Kelvra::LivePeriod& live);

    // The timer a name stands for: the exact name, else the one in another case, else the one name that
    // begins with it in any case. Empty when none fits; several when it is ambiguous.
    std::vector<int> MatchName(const QString& wanted) const;

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
    // `day`: the day it counts on in the history and the dated reports; invalid: today.
    bool AddTime(int index, qint64 seconds, QDate day = {});
    // The range AddTime accepts for timer `index` now.
    std::pair<qint64, qint64> AddTimeRange(int index) const;
    // A correction of the past (an edit, an undo, ...): made in the record, which says what it does to
    // the seconds; the profile and the open period follow. Nothing changes unless it is Done.
    PeriodSink::Corrected Correct(const PeriodSink::Correction& correction);
    // A name the names dialog changed, once it has closed.
    void CommitName(int index, const QString& name);
    // The user was away from `left` to `back` while the timer ran. Keeping charges it all, as always;
    // discarding charges the open period up to `left` (not before its start) and opens it again at
    // `back`.
    void SettleAway(qint64 left, qint64 back, bool keep);

private:
    qint64 ElapsedAt(qint64 reading) const; // of the open period, at an elapsed-clock reading
    qint64 ElapsedNow() const;
    // Seconds of timer `index`, here and in the profile.
    void StoreSeconds(int index, int seconds);
    // Records `change`, its seconds before and after taken from the ledger and `writes`, then writes each
    // (timer, seconds) of `writes` to the profile in that order.
    void Commit(PeriodSink::Change change, const std::vector<std::pair<int, int>>& writes);
    // The open period as charged at `elapsed` seconds from its start.
    PeriodSink::Period Charged(qint64 elapsed) const;
    void OpenPeriod(int index, qint64 start, qint64 elapsedStart);
    void EnsureReconciled();
    void ComputeShares(int runningIndex, qint64 elapsed);
    void Refresh(qint64 elapsed);

    std::array<int, kSlots> m_nSeconds{};
    int m_nTotalSeconds = 0;
    int m_nRunning = 0;
    std::array<QString, kSlots> m_strName;
    std::array<QString, kSlots> m_strTime;
    std::array<QString, kSlots> m_strPercent;
    QString m_strTotal;
    std::array<double, kSlots> m_dPercent{};
    qint64 m_timeStart = 0;
    qint64 m_elapsedStart = 0; // Clock::Elapsed() at m_timeStart

    Profile& m_profile;
    const Clock& m_clock;
    BoardDisplay& m_display;
    PeriodSink& m_sink;
    QTimer m_heartbeat;
    bool m_bReconciled = false;
    std::optional<Reconciled> m_reconciled; // kept for the first caller of Reconcile
};
