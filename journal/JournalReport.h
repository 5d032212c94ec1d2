#pragma once

#include "common/Vocabulary.h"
#include "journal/JournalQuery.h"
#include "journal/Sqlite.h"

#include <QDate>
#include <QString>
#include <optional>

// Dated reports from the journal, for people (text) and scripts (CSV, JSON): the time of each timer by
// local day, ISO week or month with a total for each, or period by period. Days are the local zone's,
// as the user lived them; the range is inclusive and a period that reaches past it is cut at its edge.
namespace JournalReport {

enum class Unit { Day, Week, Month, Period };

struct Request {
    Unit unit = Unit::Day;
    Kelvra::ReportFormat format = Kelvra::ReportFormat::Text;
    QDate from; // invalid: the day of the first period
    QDate to;   // invalid: `today`
};

// `live`: the running board's open period, which then lasts until the board's now instead of its last
// heartbeat.
Sql::Status Render(JournalQuery& query, const Request& request, QDate today, QString& out,
                   const std::optional<Kelvra::LivePeriod>& live = std::nullopt);

// The periods that a report of the local days `from` to `to` needs, including those recorded in another
// zone that fall into them on the local clock.
Sql::Status Fetch(JournalQuery& query, QDate from, QDate to, std::vector<JournalQuery::Period>& periods);
// The report of `request` (both dates valid) over periods fetched for its range, which the caller may
// have brought up to date (the history window's running period): the bytes Render gives for them.
QString Render(const Request& request, const std::vector<JournalQuery::Period>& periods);

// "1:05:09"; hours are not padded.
QString Duration(qint64 seconds);

} // namespace JournalReport
