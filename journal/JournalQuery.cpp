#include "journal/JournalQuery.h"

#include <QDateTime>

JournalQuery::JournalQuery(Journal& journal) : m_journal(journal) {}

Sql::Status JournalQuery::Periods(qint64 from, qint64 to, std::vector<Period>& periods) {
    periods.clear();
    // A journal of an older version, read as it is, has no zones: its periods keep their offsets alone.
    qint64 zones = 0;
    Sql::Status status = m_journal.Database().QueryInt(
        "SELECT count(*) FROM pragma_table_info('periods') WHERE name = 'zone'", zones);
    if (!status.Ok()) {
        return status;
    }
    Sql::Statement statement;
    // An open period lasts until its last heartbeat; a negative one is taken at its start. No period
    // reaching into the range starts earlier than the longest one before it: that bound keeps the read of
    // a week to the stretch of the start index around it (the length index makes it one step).
    const QByteArray sql =
        QByteArrayLiteral("SELECT id, timer, name, start_utc, coalesce(end_utc, seen_utc), utc_offset, "
                          "end_utc IS NULL, ") +
        (zones > 0 ? QByteArrayLiteral("zone") : QByteArrayLiteral("NULL")) +
        QByteArrayLiteral(" FROM periods WHERE start_utc < ?2 AND start_utc >= ?1 - max(0, coalesce("
                          "  (SELECT max(coalesce(end_utc, seen_utc) - start_utc) FROM periods), 0)) "
                          "AND (start_utc >= ?1 OR coalesce(end_utc, seen_utc) > ?1) "
                          "ORDER BY start_utc, id");
    status = m_journal.Database().Prepare(sql.constData(), statement);
    if (!status.Ok()) {
        return status;
    }
    statement.Bind(1, from).Bind(2, to);
    while (statement.Next()) {
        periods.push_back(Period{statement.Int(0), static_cast<int>(statement.Int(1)), statement.Text(2),
                                 statement.Int(3), statement.Int(4), static_cast<int>(statement.Int(5)),
                                 statement.Int(6) != 0, statement.Text(7)});
    }
    return statement.Finish();
}

Sql::Status JournalQuery::FirstDay(std::optional<QDate>& day, const QTimeZone& zone) {
    day.reset();
    Sql::Statement statement;
    Sql::Status status =
        m_journal.Database().Prepare(zone.isValid() ? "SELECT min(start_utc) FROM periods"
                                                    : "SELECT min(start_utc + utc_offset) FROM periods",
                                     statement);
    if (!status.Ok()) {
        return status;
    }
    if (statement.Next() && !statement.IsNull(0)) {
        day =
            QDateTime::fromSecsSinceEpoch(statement.Int(0), zone.isValid() ? zone : QTimeZone::utc()).date();
    }
    return statement.Finish();
}

Sql::Status JournalQuery::SecondsSinceReset(std::array<qint64, kTimers>& seconds, qint64 beforeEvent) {
    seconds.fill(0);
    Sql::Statement statement;
    // A period counts when it was closed after the reset, even if it was opened before: the board
    // charges a running period whole when it stops. Its close_seq is the newest event id when it was
    // charged.
    Sql::Status status = m_journal.Database().Prepare(
        "WITH RECURSIVE timers(timer) AS (SELECT 0 UNION ALL SELECT timer + 1 FROM timers WHERE timer < 9), "
        "resets(timer, seq) AS (SELECT timer, max("
        "  (SELECT coalesce(max(id), 0) FROM events WHERE kind IN ('reset_all', 'first_run') AND id < ?1), "
        "  (SELECT coalesce(max(id), 0) FROM events e "
        "   WHERE e.kind = 'reset' AND e.timer = timers.timer AND e.id < ?1)) "
        "  FROM timers) "
        "SELECT r.timer, "
        "  (SELECT coalesce(sum(p.end_utc - p.start_utc), 0) FROM periods p "
        "   WHERE p.timer = r.timer AND p.end_utc IS NOT NULL AND p.close_seq >= r.seq "
        "   AND p.close_seq < ?1) + "
        "  (SELECT coalesce(sum(e.seconds), 0) FROM events e "
        "   WHERE e.kind IN ('balance', 'adjust', 'undo') AND e.timer = r.timer AND e.id > r.seq "
        "   AND e.id < ?1) "
        "FROM resets r",
        statement);
    if (!status.Ok()) {
        return status;
    }
    statement.Bind(1, beforeEvent);
    while (statement.Next()) {
        seconds[static_cast<size_t>(statement.Int(0))] = statement.Int(1);
    }
    return statement.Finish();
}

Sql::Status JournalQuery::LastReset(std::optional<ResetGroup>& group) {
    group.reset();
    Sql::Statement statement;
    // Newest first: the resets of one closing of the names dialog are recorded one after the other
    // with one clock reading, which is what keeps them apart from an earlier closing.
    Sql::Status status = m_journal.Database().Prepare(
        "SELECT id, kind, timer, at_utc FROM events "
        "WHERE kind IN ('reset_all', 'reset', 'first_run', 'undo') ORDER BY id DESC",
        statement);
    if (!status.Ok()) {
        return status;
    }
    ResetGroup found;
    qint64 at = 0;
    while (statement.Next()) {
        const QString kind = statement.Text(1);
        if (found.timers.empty()) {
            if (kind == QStringLiteral("reset_all")) {
                found.bAll = true;
                for (int i = 0; i < kTimers; ++i) {
                    found.timers.push_back(i);
                }
                found.firstEvent = found.lastEvent = statement.Int(0);
                break;
            }
            if (kind != QStringLiteral("reset")) {
                break; // undone already, or a first run
            }
            found.lastEvent = statement.Int(0);
            at = statement.Int(3);
        } else if (kind != QStringLiteral("reset") || statement.Int(0) != found.firstEvent - 1 ||
                   statement.Int(3) != at) {
            break;
        }
        found.firstEvent = statement.Int(0);
        found.timers.insert(found.timers.begin(), static_cast<int>(statement.Int(2)));
    }
    status = statement.Finish();
    if (status.Ok() && !found.timers.empty()) {
        group = std::move(found);
    }
    return status;
}

Sql::Status JournalQuery::LastClosedPeriod(std::optional<LastPeriod>& period) {
    period.reset();
    Sql::Statement statement;
    Sql::Status status =
        m_journal.Database().Prepare("SELECT timer, name, end_utc FROM periods WHERE end_utc IS NOT NULL "
                                     "ORDER BY start_utc DESC, id DESC LIMIT 1",
                                     statement);
    if (!status.Ok()) {
        return status;
    }
    if (statement.Next()) {
        period = LastPeriod{static_cast<int>(statement.Int(0)), statement.Text(1), statement.Int(2)};
    }
    return statement.Finish();
}
