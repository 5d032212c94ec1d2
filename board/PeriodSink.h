#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

// What the ledger and the store operations just did, told at the same places where they write the
// profile and from the same clock readings, so that a history kept beside the profile always agrees
// with it. The board works the same with the sink that records nothing.
class PeriodSink {
public:
    enum class Reset {
        All,      // "Reset All Timers"
        One,      // a Reset box of the names dialog
        FirstRun, // the first-run set-up zeroed every timer and named them anew
    };

    virtual ~PeriodSink() = default;

    // A timer started running at `start`.
    virtual void PeriodOpened(int index, const QString& name, qint64 start) = 0;
    // The open period of timer `index` was charged: start..end, the two readings the charge used.
    virtual void PeriodCharged(int index, qint64 start, qint64 end) = 0;
    // Seconds were set to 0: one timer (`index`), or every timer (index -1).
    virtual void TimersReset(Reset kind, int index, qint64 at) = 0;
    // A name was committed (the names dialog closed with a changed name).
    virtual void NameCommitted(int index, const QString& name, qint64 at) = 0;
    // The user was away from `left` to `back` while timer `index` ran, and kept that time or not. A
    // discarded spell is told after the charge up to `left` and the period opened at `back`.
    virtual void AwayDecided(int index, qint64 left, qint64 back, bool kept) = 0;

    enum class Added {
        Adjustment, // "Add or remove time..."
        Undo,       // "Undo Reset" gave back what a reset cleared
    };
    struct Addition {
        int index = 0;
        QString name;
        qint64 seconds = 0; // signed: what the profile actually gained, after the 32-bit limits
    };
    // Seconds were added to timers outside any period, all at `at`. Told as one, after the profile has
    // them all: an undo is recorded whole or not at all.
    virtual void SecondsAdded(Added kind, const std::vector<Addition>& added, qint64 at) = 0;

    // The sink that records nothing.
    static PeriodSink& None();
};
