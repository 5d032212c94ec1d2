#include "journal/JournalEdits.h"

#include "journal/JournalQuery.h"

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <limits>

namespace {

using Outcome = PeriodSink::Corrected::Outcome;
using Kind = PeriodSink::Correction::Kind;

// The columns a row is read with, in Row's order.
constexpr const char* kRowColumns =
    "id, timer, name, start_utc, end_utc, seen_utc, close_seq, coalesce(note, ''), live, coalesce(zone, '')";

// The offset of the clock the period was lived by at `utc`: its zone's, else the local one.
int OffsetAt(const QString& zone, qint64 utc) {
    const QTimeZone lived(zone.toUtf8());
    return !zone.isEmpty() && lived.isValid() ? lived.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc))
                                              : Journal::LocalOffset(utc);
}

QString ClockText(qint64 utc) {
    return QDateTime::fromSecsSinceEpoch(utc).toString(QStringLiteral("HH:mm"));
}

} // namespace

JournalEdits::JournalEdits(Journal& journal) : m_journal(journal) {}

Sql::Status JournalEdits::Read(qint64 id, Row& row) {
    Sql::Statement statement;
    Sql::Status status = m_journal.Database().Prepare(QStringLiteral("SELECT %1 FROM periods WHERE id = ?1")
                                                          .arg(QLatin1String(kRowColumns))
                                                          .toUtf8()
                                                          .constData(),
                                                      statement);
    if (!status.Ok()) {
        return status;
    }
    statement.Bind(1, id);
    row = {};
    if (statement.Next()) {
        row = Row{statement.Int(0),
                  static_cast<int>(statement.Int(1)),
                  statement.Text(2),
                  statement.Int(3),
                  statement.IsNull(4) ? std::nullopt : std::optional<qint64>(statement.Int(4)),
                  statement.Int(5),
                  statement.IsNull(6) ? std::nullopt : std::optional<qint64>(statement.Int(6)),
                  statement.Text(7),
                  statement.Int(8) != 0,
                  statement.Text(9)};
    }
    return statement.Finish();
}

Sql::Status JournalEdits::Overlapping(qint64 start, qint64 end, const std::vector<qint64>& except, qint64 now,
                                      std::vector<Row>& rows) {
    rows.clear();
    Sql::Statement statement;
    // Closed periods through the start index, bounded by the longest one as the reports read them; the
    // open one apart, since it lasts until now rather than its last heartbeat.
    const QString sql =
        QStringLiteral(
            "SELECT %1 FROM periods INDEXED BY periods_by_start WHERE live = 1 AND end_utc IS NOT NULL "
            "AND start_utc < ?2 "
            "AND end_utc > ?1 AND end_utc > start_utc AND start_utc >= ?1 - max(0, coalesce("
            "  (SELECT max(coalesce(end_utc, seen_utc) - start_utc) FROM periods), 0)) "
            "UNION SELECT %1 FROM periods INDEXED BY periods_open WHERE live = 1 AND end_utc IS NULL AND "
            "start_utc < ?2 AND ?3 > ?1 "
            "AND ?3 > start_utc ORDER BY 4")
            .arg(QLatin1String(kRowColumns));
    Sql::Status status = m_journal.Database().Prepare(sql.toUtf8().constData(), statement);
    if (!status.Ok()) {
        return status;
    }
    statement.Bind(1, start).Bind(2, end).Bind(3, now);
    while (statement.Next()) {
        Row row{statement.Int(0),
                static_cast<int>(statement.Int(1)),
                statement.Text(2),
                statement.Int(3),
                statement.IsNull(4) ? std::nullopt : std::optional<qint64>(statement.Int(4)),
                statement.Int(5),
                statement.IsNull(6) ? std::nullopt : std::optional<qint64>(statement.Int(6)),
                statement.Text(7),
                true,
                statement.Text(9)};
        if (std::find(except.begin(), except.end(), row.id) == except.end()) {
            rows.push_back(std::move(row));
        }
    }
    return statement.Finish();
}

Sql::Status JournalEdits::LastReset(int index, Reset& reset) {
    Sql::Statement statement;
    Sql::Status status =
        m_journal.Database().Prepare("SELECT id, at_utc FROM events WHERE kind IN ('reset_all', 'first_run') "
                                     "OR (kind = 'reset' AND timer = ?1) ORDER BY id DESC LIMIT 1",
                                     statement);
    if (!status.Ok()) {
        return status;
    }
    statement.Bind(1, index);
    reset = {};
    if (statement.Next()) {
        reset = {statement.Int(0), statement.Int(1)};
    }
    return statement.Finish();
}

Sql::Status JournalEdits::LastEvent(qint64& id) {
    return m_journal.Database().QueryInt("SELECT coalesce(max(id), 0) FROM events", id);
}

Sql::Status JournalEdits::Write(const Row& row, qint64 action, qint64* id) {
    Sql::Statement statement;
    Sql::Status status = m_journal.Database().Prepare(
        "INSERT INTO periods(timer, name, start_utc, end_utc, seen_utc, utc_offset, close_seq, note, live, "
        "made_by, zone) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, nullif(?8, ''), 1, ?9, nullif(?10, ''))",
        statement);
    if (!status.Ok()) {
        return status;
    }
    statement.Bind(1, row.index).Bind(2, row.name).Bind(3, row.start).Bind(5, row.end.value_or(row.seen));
    statement.Bind(6, OffsetAt(row.zone, row.start)).Bind(8, row.note).Bind(9, action).Bind(10, row.zone);
    if (row.end) {
        statement.Bind(4, *row.end);
    }
    if (row.closeSeq) {
        statement.Bind(7, *row.closeSeq);
    }
    status = statement.Run();
    if (status.Ok() && id != nullptr) {
        *id = m_journal.Database().LastInsertId();
    }
    return status;
}

Sql::Status JournalEdits::Run(const char* sql, qint64 first, qint64 second) {
    Sql::Statement statement;
    const Sql::Status status = m_journal.Database().Prepare(sql, statement);
    return status.Ok() ? statement.Bind(1, first).Bind(2, second).Run() : status;
}

Sql::Status JournalEdits::Retire(qint64 period, qint64 action) {
    return Run("UPDATE periods SET gone_by = ?2 WHERE id = ?1", period, action);
}

Sql::Status JournalEdits::OpenStart(std::optional<qint64>& start) {
    Sql::Statement statement;
    Sql::Status status = m_journal.Database().Prepare(
        "SELECT start_utc FROM periods INDEXED BY periods_open WHERE end_utc IS NULL AND live = 1 "
        "ORDER BY id DESC LIMIT 1",
        statement);
    if (!status.Ok()) {
        return status;
    }
    start.reset();
    if (statement.Next()) {
        start = statement.Int(0);
    }
    return statement.Finish();
}

Sql::Status JournalEdits::BeginAction(const PeriodSink::Undoable& undoable, qint64 at, qint64& action) {
    // A new change: what was undone can no longer be done again.
    Sql::Status status = m_journal.Database().Exec("UPDATE actions SET state = -1 WHERE state = 0");
    Sql::Statement statement;
    if (status.Ok()) {
        status = m_journal.Database().Prepare(
            "INSERT INTO actions(at_utc, kind, label, state) VALUES(?1, ?2, ?3, 1)", statement);
    }
    if (status.Ok()) {
        status = statement.Bind(1, at).Bind(2, undoable.kind).Bind(3, undoable.label).Run();
    }
    action = status.Ok() ? m_journal.Database().LastInsertId() : 0;
    return status;
}

Sql::Status JournalEdits::OwnEvents(qint64 action, qint64 afterEvent) {
    return Run("UPDATE events SET made_by = ?1 WHERE id > ?2", action, afterEvent);
}

Sql::Status JournalEdits::KeepSwitchUndo(qint64 action, int ran, qint64 closedAt, int next, qint64 at) {
    Sql::Database& db = m_journal.Database();
    Sql::Statement find;
    Sql::Status status = db.Prepare("SELECT id, coalesce(made_by, 0) FROM periods WHERE timer = ?1 AND "
                                    "end_utc = ?2 AND live = 1 ORDER BY id DESC LIMIT 1",
                                    find);
    qint64 closed = 0;
    qint64 madeBy = 0;
    if (status.Ok()) {
        find.Bind(1, ran).Bind(2, closedAt);
        if (find.Next()) {
            closed = find.Int(0);
            madeBy = find.Int(1);
        }
        status = find.Finish();
    }
    // Undone, the period that ran goes on until the moment the change was made, and belongs to whatever
    // made it before; the period that runs now starts at that moment.
    Row row;
    if (status.Ok() && closed != 0) {
        status = Read(closed, row);
    }
    qint64 copy = 0;
    if (status.Ok() && closed != 0) {
        row.end = std::max(at, row.start);
        row.seen = *row.end;
        status = Write(row, madeBy, &copy);
    }
    Sql::Statement retag;
    if (status.Ok() && closed != 0) {
        status = db.Prepare(
            "UPDATE periods SET live = 0, gone_by = ?2, made_by = nullif(?3, 0) WHERE id = ?1", retag);
    }
    if (status.Ok() && closed != 0) {
        status = retag.Bind(1, copy).Bind(2, action).Bind(3, madeBy).Run();
    }
    if (status.Ok() && closed != 0) {
        status = Run("UPDATE periods SET made_by = ?2 WHERE id = ?1", closed, action);
    }
    Sql::Statement open;
    if (status.Ok()) {
        status = db.Prepare(
            QStringLiteral("SELECT %1 FROM periods WHERE end_utc IS NULL AND live = 1 AND timer = ?1")
                .arg(QLatin1String(kRowColumns))
                .toUtf8()
                .constData(),
            open);
    }
    std::optional<Row> running;
    if (status.Ok()) {
        open.Bind(1, next);
        if (open.Next()) {
            running = Row{open.Int(0), next,         open.Text(2), open.Int(3), std::nullopt,
                          open.Int(5), std::nullopt, open.Text(7), true,        open.Text(9)};
        }
        status = open.Finish();
    }
    if (status.Ok() && running) {
        status = Run("UPDATE periods SET made_by = ?2 WHERE id = ?1", running->id, action);
        Row later = *running;
        later.start = at;
        later.seen = std::max(later.seen, at);
        qint64 id = 0;
        if (status.Ok()) {
            status = Write(later, 0, &id);
        }
        if (status.Ok()) {
            status = retag.Bind(1, id).Bind(2, action).Bind(3, 0).Run();
        }
    }
    return status;
}

Sql::Status JournalEdits::Counts(qint64 period, int index, qint64 start, bool& counts) {
    Reset reset;
    Row row;
    Sql::Status status = LastReset(index, reset);
    if (status.Ok() && period != 0) {
        status = Read(period, row);
    }
    counts = period == 0 ? start >= reset.at : !row.end || row.closeSeq.value_or(0) >= reset.id;
    return status;
}

Sql::Status JournalEdits::LastUndoable(std::optional<Action>& action) {
    return FindAction("SELECT id, kind, label FROM actions WHERE state = 1 ORDER BY id DESC LIMIT 1", action);
}

Sql::Status JournalEdits::NextRedoable(std::optional<Action>& action) {
    // Undone newest first, so the oldest undone is the next to make again.
    return FindAction("SELECT id, kind, label FROM actions WHERE state = 0 ORDER BY id LIMIT 1", action);
}

Sql::Status JournalEdits::FindAction(const char* sql, std::optional<Action>& action) {
    Sql::Statement statement;
    Sql::Status status = m_journal.Database().Prepare(sql, statement);
    action.reset();
    if (status.Ok() && statement.Next()) {
        action = Action{statement.Int(0), statement.Text(1), statement.Text(2)};
    }
    return status.Ok() ? statement.Finish() : status;
}

Sql::Status JournalEdits::Flip(qint64 action, bool bUndo) {
    Sql::Status status;
    const char* const updates[] = {
        "UPDATE periods SET live = ?2 WHERE made_by = ?1",
        "UPDATE periods SET live = 1 - ?2 WHERE gone_by = ?1",
        "UPDATE events SET live = ?2 WHERE made_by = ?1",
        "UPDATE events SET live = 1 - ?2 WHERE gone_by = ?1",
    };
    for (const char* sql : updates) {
        if (status.Ok()) {
            status = Run(sql, action, bUndo ? 0 : 1);
        }
    }
    return status;
}

QString JournalEdits::Describe(const Row& row, qint64 now) {
    const QDateTime start = QDateTime::fromSecsSinceEpoch(row.start);
    if (!row.end) {
        return QStringLiteral("%1, running since %2 (now %3)")
            .arg(Kelvra::QuotedName(row.name), ClockText(row.start), ClockText(now));
    }
    return QStringLiteral("%1, %2 to %3 on %4")
        .arg(Kelvra::QuotedName(row.name), ClockText(row.start), ClockText(*row.end),
             start.date().toString(Qt::ISODate));
}

QString JournalEdits::Refusal(const Correction& c, const Row* row, qint64 now) const {
    if (row != nullptr && !row->bLive) {
        return QStringLiteral("That period is no longer in the history; it was changed meanwhile.");
    }
    const bool bOpen = row != nullptr && !row->end;
    switch (c.kind) {
    case Kind::Add:
    case Kind::Edit:
        if (c.index < 0 || c.index >= Journal::kTimers) {
            return QStringLiteral("There is no such timer.");
        }
        if (bOpen && c.index != row->index) {
            return QStringLiteral(
                "The running period stays with its timer; switch timers on the board instead.");
        }
        if (bOpen && c.start >= now) {
            return QStringLiteral("The running period must start before now.");
        }
        if (!bOpen && c.end <= c.start) {
            return QStringLiteral("A period must end after it starts.");
        }
        if (!bOpen && c.end > now) {
            return QStringLiteral("A period cannot end in the future.");
        }
        return {};
    case Kind::Split: {
        const qint64 end = bOpen ? now : row->end.value_or(0);
        if (c.start <= row->start || c.start >= end) {
            return QStringLiteral("A period can only be split at a time inside it.");
        }
        return {};
    }
    case Kind::Delete:
        return bOpen ? QStringLiteral("The running period cannot be deleted; stop its timer first.")
                     : QString();
    case Kind::Undo:
    case Kind::Redo:
    case Kind::Note:
        break;
    }
    return {};
}

Sql::Status JournalEdits::Trim(const std::vector<Row>& others, qint64 start, qint64 end, qint64 action) {
    Sql::Status status;
    for (const Row& other : others) {
        const qint64 otherEnd = other.end.value_or(std::numeric_limits<qint64>::max());
        // What is left of it on either side.
        if (status.Ok() && other.start < start) {
            Row before = other;
            before.end = start;
            status = Write(before, action);
        }
        if (status.Ok() && otherEnd > end) {
            Row after = other;
            after.start = end;
            after.seen = std::max(other.seen, end);
            status = Write(after, action);
        }
        if (!status.Ok()) {
            break;
        }
    }
    return status;
}

Sql::Status JournalEdits::Apply(const Correction& c, const Seconds& before, qint64 now, Corrected& result) {
    result = {};
    result.after = before;
    result.outcome = Outcome::Refused;
    std::optional<qint64> openBefore;
    Sql::Status status = OpenStart(openBefore);
    if (!status.Ok()) {
        return status;
    }
    if (c.kind == Kind::Note) {
        status = m_journal.SetOpenNote(c.note.left(kNoteLength));
        result.outcome = Outcome::Done;
        return status;
    }
    std::array<qint64, Journal::kTimers> sumsBefore{};
    qint64 action = 0;
    bool bWhole = false;
    if (c.kind == Kind::Undo || c.kind == Kind::Redo) {
        const bool bUndo = c.kind == Kind::Undo;
        std::optional<Action> target;
        status = bUndo ? LastUndoable(target) : NextRedoable(target);
        if (!status.Ok() || !target) {
            result.problem = bUndo ? QStringLiteral("There is nothing to undo.")
                                   : QStringLiteral("There is nothing to redo.");
            return status;
        }
        action = target->id;
        result.label = target->label;
        // A reset undone is a reset turned off: the one before it is the last again, and everything
        // since that one counts. Anything else touches only its own rows.
        bWhole = target->kind == QStringLiteral("reset") || target->kind == QStringLiteral("reset_all");
        status = JournalQuery(m_journal).SecondsSinceReset(sumsBefore, bWhole ? 0 : action);
        if (status.Ok()) {
            status = Flip(action, bUndo);
        }
        if (status.Ok()) {
            status = Run("UPDATE actions SET state = ?2 WHERE id = ?1", action, bUndo ? 0 : 1);
        }
        if (status.Ok()) {
            status = m_journal.AddEvent(bUndo ? QStringLiteral("undone") : QStringLiteral("redone"), now, -1,
                                        target->label, 0);
        }
    } else {
        Row row;
        if (c.kind != Kind::Add) {
            status = Read(c.period, row);
            if (!status.Ok()) {
                return status;
            }
            if (row.id == 0) {
                result.problem = QStringLiteral("That period is no longer in the history.");
                return status;
            }
        }
        result.problem = Refusal(c, c.kind == Kind::Add ? nullptr : &row, now);
        if (!result.problem.isEmpty()) {
            return status;
        }
        const bool bOpen = c.kind != Kind::Add && !row.end;
        // What the period becomes: start..end (the open one up to now).
        std::vector<Row> others;
        if (c.kind == Kind::Add || c.kind == Kind::Edit) {
            status = Overlapping(c.start, bOpen ? now : c.end, {row.id}, now, others);
            if (!status.Ok()) {
                return status;
            }
            for (const Row& other : others) {
                // The running period can only be cut back at its start: its end is now.
                const bool bCutsRunning = !other.end && (c.start > other.start || bOpen);
                if (bCutsRunning || !c.bTrim) {
                    result.outcome = bCutsRunning ? Outcome::Refused : Outcome::Overlap;
                    result.problem = QStringLiteral("It would overlap %1.").arg(Describe(other, now));
                    return status;
                }
            }
        }
        const QString name = c.kind == Kind::Edit && c.index == row.index ? row.name : c.name;
        static const char* const kinds[] = {"add", "edit", "split", "delete"};
        static const char* const words[] = {"Add to %1", "Edit of %1", "Split of %1", "Delete of %1"};
        const auto at = static_cast<size_t>(c.kind);
        result.label =
            QString::fromLatin1(words[at]).arg(Kelvra::QuotedName(c.kind == Kind::Add ? c.name : row.name));
        status = BeginAction({QString::fromLatin1(kinds[at]), result.label}, now, action);
        // The correction itself, dated, among the events (counted in no sum).
        if (status.Ok()) {
            status = m_journal.AddEvent(QString::fromLatin1(kinds[at]), now,
                                        c.kind == Kind::Add ? c.index : row.index, result.label, 0);
        }
        if (status.Ok() && c.kind != Kind::Add) {
            status = Retire(row.id, action);
        }
        for (const Row& other : others) {
            if (status.Ok()) {
                status = Retire(other.id, action);
            }
        }
        // What the change replaces still counts here; turned off only after its sums are taken, and
        // before anything new is written.
        if (status.Ok()) {
            status = JournalQuery(m_journal).SecondsSinceReset(sumsBefore, action);
        }
        if (status.Ok()) {
            status = Run("UPDATE periods SET live = ?2 WHERE gone_by = ?1", action, 0);
        }
        if (status.Ok()) {
            status = Trim(others, c.start, bOpen ? now : c.end, action);
        }
        Row made = row;
        made.note = c.note.left(kNoteLength);
        if (status.Ok() && c.kind == Kind::Add) {
            // Counted on the board when it lies after its timer's last reset; else only history.
            Reset reset;
            qint64 last = 0;
            status = LastReset(c.index, reset);
            if (status.Ok()) {
                status = LastEvent(last);
            }
            made = Row{0,
                       c.index,
                       name,
                       c.start,
                       c.end,
                       c.end,
                       c.start >= reset.at ? last : reset.id - 1,
                       c.note.left(kNoteLength),
                       true,
                       Journal::LocalZone()};
            if (status.Ok()) {
                status = Write(made, action);
            }
        } else if (status.Ok() && c.kind == Kind::Edit) {
            made.index = c.index;
            made.name = name;
            made.start = c.start;
            if (!bOpen) {
                made.end = c.end;
                made.seen = c.end;
            }
            status = Write(made, action);
        } else if (status.Ok() && c.kind == Kind::Split) {
            // The part of a running period before the cut is charged now; the rest runs on.
            Row first = row;
            first.end = c.start;
            first.seen = c.start;
            qint64 last = 0;
            if (bOpen) {
                status = LastEvent(last);
                first.closeSeq = last;
            }
            Row second = row;
            second.start = c.start;
            second.seen = std::max(row.seen, c.start);
            if (status.Ok()) {
                status = Write(first, action);
            }
            if (status.Ok()) {
                status = Write(second, action);
            }
        }
    }
    std::array<qint64, Journal::kTimers> sumsAfter{};
    if (status.Ok()) {
        status = JournalQuery(m_journal).SecondsSinceReset(sumsAfter, bWhole ? 0 : action);
    }
    // Held within 0..the 32-bit limit, as any correction: what the limits cut becomes a balance of the
    // same change, so that the sums still equal the profile.
    for (int i = 0; i < Journal::kTimers && status.Ok(); ++i) {
        const size_t t = static_cast<size_t>(i);
        const qint64 wanted = qint64{before[t]} + sumsAfter[t] - sumsBefore[t];
        const qint64 held = std::clamp<qint64>(wanted, 0, std::numeric_limits<int>::max());
        result.after[t] = static_cast<int>(held);
        if (held != wanted) {
            qint64 last = 0;
            status = LastEvent(last);
            if (status.Ok()) {
                status = m_journal.AddEvent(QStringLiteral("balance"), now, i, QString(), held - wanted);
            }
            if (status.Ok()) {
                status = c.kind == Kind::Undo
                             ? Run("UPDATE events SET gone_by = ?1 WHERE id > ?2", action, last)
                             : OwnEvents(action, last);
            }
        }
    }
    std::optional<qint64> openAfter;
    if (status.Ok()) {
        status = OpenStart(openAfter);
    }
    if (status.Ok() && openAfter && openAfter != openBefore) {
        result.runningStart = openAfter;
    }
    if (status.Ok()) {
        result.outcome = Outcome::Done;
    }
    return status;
}
