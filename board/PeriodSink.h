#pragma once

#include "common/Vocabulary.h"

#include <QDate>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

// Where the ledger records every change to the timers' seconds before it writes the profile: the board's
// seam to the journal. One change is one user action (a switch, a reset, an undo, ...) and is recorded
// whole or not at all; the profile is written from it afterwards, so a record that exists and a profile
// that lags behind it can be told apart at the next start. The board works the same with the sink that
// records nothing.
class PeriodSink {
public:
    using Seconds = std::array<int, Kelvra::kTimers>;

    struct Period {
        qint64 id = 0; // a period a dead board left open; 0: the one this board opened
        int index = 0;
        QString name;
        qint64 start = 0;
        qint64 end = 0; // charged up to here; for an opened period, when it was last known running
    };

    enum class Event { ResetAll, Reset, FirstRun, Adjust, Undo, AwayKept, AwayDiscarded, Recovery, Balance };
    struct Dated {
        Event kind = Event::Adjust;
        qint64 at = 0;
        int index = -1; // -1: every timer
        QString name;
        qint64 seconds = 0; // signed: what the profile gained; for the away events the span away
        QDate day;          // an adjustment's day; invalid: the day it was made
    };

    // A change the user can undo: its kind ("reset", "reset_all", "adjust", "switched_here", "edit",
    // "add", "split", "delete") and the words that follow "Undo " in the Edit menu.
    struct Undoable {
        QString kind;
        QString label;
    };

    struct Change {
        std::optional<Period> closed;     // charged start..end
        std::vector<Dated> events;        // after the charge, in this order
        std::optional<Period> opened;     // begins after the events
        Seconds before{};                 // every timer's seconds as the profile held them
        Seconds after{};                  // and as it is about to hold them
        std::optional<Undoable> undoable; // the user's change, which Edit > Undo can take back
    };

    // A correction of the past, made in the history or from the command line; the record decides what
    // it does to the timers' seconds (a period charged since its timer's last reset counts on the board).
    struct Correction {
        enum class Kind { Add, Edit, Split, Delete, Undo, Redo, Note };
        Kind kind = Kind::Add;
        qint64 period = 0; // the period's id: edit, split, delete
        int index = -1;    // its timer: add, edit
        QString name;      // that timer's name now
        qint64 start = 0;  // add, edit; for a split, where it is cut
        qint64 end = 0;
        QString note;       // add, edit, note
        bool bTrim = false; // periods it would overlap are cut back instead of refusing it
    };
    struct Corrected {
        enum class Outcome { Done, Refused, Overlap, Failed };
        Outcome outcome = Outcome::Failed;
        QString problem;                    // why it was not done, for the user
        Seconds after{};                    // every timer's seconds once done
        std::optional<qint64> runningStart; // the open period now starts here
        QString label;                      // what was done, for a notice ("Edit of ...")
    };

    // What the journal found at start, before anything new was recorded.
    struct Found {
        std::vector<std::pair<int, int>> unwritten; // timer and the seconds the profile never got
        std::vector<Dated> balances;                // differences nothing recorded explains, now recorded
        std::vector<Period> leftOpen;               // periods a board that died left open, start..last seen
        bool bLater = false; // the record is being repaired: nothing known yet, ask again at the next change
    };

    virtual ~PeriodSink() = default;

    // Compares the profile's seconds with what was recorded: a committed change that the profile never
    // got is returned for the ledger to write; any other difference is recorded as a balance.
    virtual Found Reconcile(const Seconds& profile) = 0;
    virtual void Record(const Change& change) = 0;
    // The open period was running at `seen`: a board that dies loses at most the time since.
    virtual void PeriodSeen(qint64 seen) = 0;
    // A name was committed (the names dialog closed with a changed name); seconds do not change.
    virtual void NameCommitted(int index, const QString& name, qint64 at) = 0;
    // Makes `correction` with the timers holding `before` and the open period (if any) running until
    // `now`; the seconds it gives are recorded as asked of the profile, which the caller then writes.
    virtual Corrected Correct(const Correction& correction, const Seconds& before, qint64 now);

    // The sink that records nothing.
    static PeriodSink& None();
};
