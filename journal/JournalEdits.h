#pragma once

#include "board/PeriodSink.h"
#include "journal/Journal.h"

#include <QString>
#include <optional>
#include <vector>

// Corrections of the past inside the journal's open transaction: periods added, edited, split, deleted,
// and any undoable change undone and done again. Rows are never rewritten: a correction turns the rows it
// replaces off (`gone_by`) and writes new ones (`made_by`), so an undo or a redo only turns rows off and
// on. What it does to each timer's seconds follows from the sums: the counted rows the correction touched
// before and after it, which keeps the journal's sums equal to the profile.
class JournalEdits final {
public:
    using Correction = PeriodSink::Correction;
    using Corrected = PeriodSink::Corrected;
    using Seconds = PeriodSink::Seconds;

    // The most recent change that can be undone, or the next one that can be done again.
    struct Action {
        qint64 id = 0;
        QString kind;
        QString label;
    };
    static constexpr int kNoteLength = Kelvra::kNoteLength;

    explicit JournalEdits(Journal& journal);
    Q_DISABLE_COPY_MOVE(JournalEdits)

    // Inside a transaction the caller commits. `now`: the board's reading, where the open period ends.
    Sql::Status Apply(const Correction& correction, const Seconds& before, qint64 now, Corrected& result);
    // A change about to be recorded becomes the newest undoable one (what was undone can no longer be
    // done again). Returns its id; the events recorded after `lastEvent` are its own.
    Sql::Status BeginAction(const PeriodSink::Undoable& undoable, qint64 at, qint64& action);
    Sql::Status OwnEvents(qint64 action, qint64 afterEvent);
    // "Switched here": the period of timer `index` the change closed at `closedAt`, had it run until
    // `at`, and the open period of timer `next`, had it started then, both kept off for an undo.
    Sql::Status KeepSwitchUndo(qint64 action, int ran, qint64 closedAt, int next, qint64 at);

    // Whether correcting `period` (0: a new period from `start`) as a period of timer `index` changes that
    // timer's seconds on the board: it was charged after the timer's last reset (the running one always).
    Sql::Status Counts(qint64 period, int index, qint64 start, bool& counts);

    Sql::Status LastUndoable(std::optional<Action>& action);
    Sql::Status NextRedoable(std::optional<Action>& action);

    // The newest event's id (0 for none).
    Sql::Status LastEvent(qint64& id);

private:
    struct Row {
        qint64 id = 0;
        int index = 0;
        QString name;
        qint64 start = 0;
        std::optional<qint64> end; // empty: open
        qint64 seen = 0;
        std::optional<qint64> closeSeq;
        QString note;
        bool bLive = false;
        QString zone; // where it was lived; empty: unknown
    };
    struct Reset {
        qint64 id = 0;
        qint64 at = 0;
    };

    Sql::Status Read(qint64 id, Row& row);
    // One statement of two parameters, run once.
    Sql::Status Run(const char* sql, qint64 first, qint64 second);
    Sql::Status FindAction(const char* sql, std::optional<Action>& action);
    // The live periods other than `except` that share time with start..end; the open one lasts until now.
    Sql::Status Overlapping(qint64 start, qint64 end, const std::vector<qint64>& except, qint64 now,
                            std::vector<Row>& rows);
    Sql::Status LastReset(int index, Reset& reset);
    // Writes `row` (its id ignored) as made by `action`; `id` gets the new row's.
    Sql::Status Write(const Row& row, qint64 action, qint64* id = nullptr);
    Sql::Status Retire(qint64 period, qint64 action);
    Sql::Status OpenStart(std::optional<qint64>& start);
    // Cuts `others` back so that none shares time with start..end.
    Sql::Status Trim(const std::vector<Row>& others, qint64 start, qint64 end, qint64 action);
    Sql::Status Flip(qint64 action, bool bUndo);
    // Describes the period for a refusal: "Mail, 09:00 to 10:30 on 2026-12-04".
    static QString Describe(const Row& row, qint64 now);
    // Checks a correction; empty when it can be made.
    QString Refusal(const Correction& correction, const Row* row, qint64 now) const;

    Journal& m_journal;
};
