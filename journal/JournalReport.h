#pragma once

#include "common/Vocabulary.h"
#include "journal/JournalQuery.h"
#include "journal/Sqlite.h"

#include <QDate>
#include <QString>
#include <QTimeZone>
#include <optional>

// Dated reports from the journal, for people (text) and scripts (CSV, JSON): the time of each timer by
// day, ISO week or month with a total for each, or period by period. Days are those of the zone each
// period was lived in (LivedDays), or all of one zone the caller names; the range is inclusive and a
// period that reaches past it is cut at its edge.
namespace JournalReport {

enum class Unit { Day, Week, Month, Period };

struct Request {
    Unit unit = Unit::Day;
    Kelvra::ReportFormat format = Kelvra::ReportFormat::Text;
    QDate from;     // invalid: the day of the first period
    QDate to;       // invalid: `today`
    QTimeZone zone; // valid: every period in this zone instead of its own
};

// `live`: the running board's open period, which then lasts until the board's now instead of its last
// heartbeat.
Sql::Status Render(JournalQuery& query, const Request& request, QDate today, QString& out,
                   const std::optional<Kelvra::LivePeriod>& live = std::nullopt);

// The periods that a report of the days `from` to `to` needs, including those lived in another zone
// whose days fall into them; `zone` as in Request.
Sql::Status Fetch(JournalQuery& query, QDate from, QDate to, std::vector<JournalQuery::Period>& periods,
                  const QTimeZone& zone = {});
// The report of `request` (both dates valid) over periods fetched for its range, which the caller may
// have brought up to date (the history window's running period): the bytes Render gives for them.
QString Render(const Request& request, const std::vector<JournalQuery::Period>& periods);

// "1:05:09"; hours are not padded.
QString Duration(qint64 seconds);

} // namespace JournalReport
