#include "journal/JournalQuery.h"

#include <QDateTime>

JournalQuery::JournalQuery(Journal& journal) : m_journal(journal) {}

Sql::Status JournalQuery::IsCurrent(bool& bCurrent) {
    if (!m_bCurrent) {
        qint64 version = 0;
        const Sql::Status status = m_journal.Database().QueryInt("PRAGMA user_version", version);
        if (!status.Ok()) {
            return status;
        }
        m_bCurrent = version >= 4;
    }
    bCurrent = *m_bCurrent;
    return {};
}

Sql::Status JournalQuery::Periods(qint64 from, qint64 to, std::vector<Period>& periods) {
    periods.clear();
    // A journal of an older version, read as it is, has no zones, notes nor corrections: its periods keep
    // their offsets alone, and every one of them counts.
    bool bCurrent = false;
    Sql::Status status = IsCurrent(bCurrent);
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
        (bCurrent ? QByteArrayLiteral("zone, coalesce(note, '') FROM periods WHERE live = 1 AND ")
                  : QByteArrayLiteral("NULL, '' FROM periods WHERE ")) +
        QByteArrayLiteral("start_utc < ?2 AND start_utc >= ?1 - max(0, coalesce("
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
                                 statement.Int(6) != 0, statement.Text(7), statement.Text(8)});
    }
    return statement.Finish();
}

Sql::Status JournalQuery::Adjustments(QDate from, QDate to, std::vector<Period>& periods) {
    bool bCurrent = false;
    Sql::Status status = IsCurrent(bCurrent);
    Sql::Statement statement;
    if (status.Ok()) {
        const QByteArray sql =
            QByteArrayLiteral("SELECT id, coalesce(timer, -1), coalesce(name, ''), seconds, ") +
            (bCurrent ? QByteArrayLiteral("coalesce(day, date(at_utc + utc_offset, 'unixepoch')) AS counted "
                                          "FROM events WHERE live = 1 AND ")
                      : QByteArrayLiteral(
                            "date(at_utc + utc_offset, 'unixepoch') AS counted FROM events WHERE ")) +
            QByteArrayLiteral("kind = 'adjust' AND counted BETWEEN ?1 AND ?2 ORDER BY counted, id");
        status = m_journal.Database().Prepare(sql.constData(), statement);
    }
    if (!status.Ok()) {
        return status;
    }
    statement.Bind(1, from.toString(Qt::ISODate)).Bind(2, to.toString(Qt::ISODate));
    while (statement.Next()) {
        const int index = static_cast<int>(statement.Int(1));
        if (index >= 0 && index < kTimers) {
            Period adjustment{
                statement.Int(0), index, statement.Text(2), 0, statement.Int(3), 0, false, {}, {}};
            adjustment.adjustedDay = QDate::fromString(statement.Text(4), Qt::ISODate);
            periods.push_back(std::move(adjustment));
        }
    }
    return statement.Finish();
}

Sql::Status JournalQuery::FirstDay(std::optional<QDate>& day, const QTimeZone& zone) {
    day.reset();
    Sql::Statement statement;
    bool bCurrent = false;
    Sql::Status status = IsCurrent(bCurrent);
    if (status.Ok()) {
        const QByteArray sql =
            (zone.isValid() ? QByteArrayLiteral("SELECT min(start_utc) FROM periods")
                            : QByteArrayLiteral("SELECT min(start_utc + utc_offset) FROM periods")) +
            (bCurrent ? QByteArrayLiteral(" WHERE live = 1") : QByteArray());
        status = m_journal.Database().Prepare(sql.constData(), statement);
    }
    if (!status.Ok()) {
        return status;
    }
    if (statement.Next() && !statement.IsNull(0)) {
        day =
            QDateTime::fromSecsSinceEpoch(statement.Int(0), zone.isValid() ? zone : QTimeZone::utc()).date();
    }
    return statement.Finish();
}

Sql::Status JournalQuery::SecondsSinceReset(std::array<qint64, kTimers>& seconds, qint64 action) {
    seconds.fill(0);
    Sql::Statement statement;
    // A period counts when it was closed after the reset, even if it was opened before: the board
    // charges a running period whole when it stops. Its close_seq is the newest event id when it was
    // charged. Only live rows count: what a correction replaced, or one undone, is no longer there.
    // For one correction, its own few rows are taken first through their indexes, then counted.
    const QString periods =
        action == 0 ? QStringLiteral("periods")
                    : QStringLiteral("(SELECT id, timer, start_utc, end_utc, live, close_seq FROM periods "
                                     "WHERE made_by = ?1 UNION SELECT id, timer, start_utc, end_utc, live, "
                                     "close_seq FROM periods WHERE gone_by = ?1)");
    const QString events = action == 0 ? QStringLiteral("events")
                                       : QStringLiteral("(SELECT id, timer, kind, seconds, live FROM events "
                                                        "WHERE made_by = ?1 UNION SELECT id, timer, kind, "
                                                        "seconds, live FROM events WHERE gone_by = ?1)");
    const QString sql =
        QStringLiteral(
            "WITH RECURSIVE timers(timer) AS (SELECT 0 UNION ALL SELECT timer + 1 FROM timers WHERE timer < "
            "9), "
            "resets(timer, seq) AS (SELECT timer, max("
            "  (SELECT coalesce(max(id), 0) FROM events WHERE kind IN ('reset_all', 'first_run') AND live = "
            "1), "
            "  (SELECT coalesce(max(id), 0) FROM events e "
            "   WHERE e.kind = 'reset' AND e.timer = timers.timer AND e.live = 1)) "
            "  FROM timers) "
            "SELECT r.timer, "
            "  (SELECT coalesce(sum(p.end_utc - p.start_utc), 0) FROM %1 p "
            "   WHERE p.timer = r.timer AND p.end_utc IS NOT NULL AND p.live = 1 AND p.close_seq >= r.seq) + "
            "  (SELECT coalesce(sum(e.seconds), 0) FROM %2 e "
            "   WHERE e.kind IN ('balance', 'adjust', 'undo') AND e.live = 1 AND e.timer = r.timer "
            "   AND e.id > r.seq) "
            "FROM resets r")
            .arg(periods, events);
    Sql::Status status = m_journal.Database().Prepare(sql.toUtf8().constData(), statement);
    if (!status.Ok()) {
        return status;
    }
    if (action != 0) {
        statement.Bind(1, action);
    }
    while (statement.Next()) {
        seconds[static_cast<size_t>(statement.Int(0))] = statement.Int(1);
    }
    return statement.Finish();
}

Sql::Status JournalQuery::LastClosedPeriod(std::optional<LastPeriod>& period) {
    period.reset();
    Sql::Statement statement;
    Sql::Status status = m_journal.Database().Prepare(
        "SELECT timer, name, end_utc FROM periods WHERE end_utc IS NOT NULL AND live = 1 "
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
