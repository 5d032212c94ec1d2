#pragma once

#include "board/BoardReport.h"
#include "board/LivePeriod.h"
#include "journal/Sqlite.h"

#include <QDate>
#include <QString>
#include <optional>

class JournalQuery;

// Dated reports from the journal, for people (text) and scripts (CSV, JSON): the time of each timer by
// local day, ISO week or month with a total for each, or period by period. Days are the local zone's,
// as the user lived them; the range is inclusive and a period that reaches past it is cut at its edge.
namespace JournalReport {

enum class Unit { Day, Week, Month, Period };

struct Request {
    Unit unit = Unit::Day;
    BoardReport::Format format = BoardReport::Format::Text;
    QDate from; // invalid: the day of the first period
    QDate to;   // invalid: `today`
};

// `live`: the running board's open period, which then lasts until the board's now instead of its last
// heartbeat.
Sql::Status Render(JournalQuery& query, const Request& request, QDate today, QString& out,
                   const std::optional<LivePeriod>& live = std::nullopt);

// "1:05:09"; hours are not padded.
QString Duration(qint64 seconds);

} // namespace JournalReport
