#pragma once

#include "journal/JournalQuery.h"
#include "journal/LivedDays.h"

#include <QDate>
#include <QString>
#include <array>
#include <vector>

// One local week, Monday to Sunday, of the journal's periods: the time of each name on each day, cut at
// local midnights as the dated reports cut them, with the day totals. What the history window's table and
// chart show; it knows no widget.
class JournalWeek final {
public:
    static constexpr int kDays = 7;
    // The chart shows this many names at most; with more, the rest are summed up as "Other".
    static constexpr int kChartNames = 9;
    using Period = JournalQuery::Period;
    using Days = std::array<qint64, kDays>;

    struct Row {
        QString name;
        Days seconds{};
        qint64 total = 0;
    };

    // From periods fetched for the week (JournalReport::Fetch from Monday to Sunday).
    JournalWeek(QDate monday, const std::vector<Period>& periods);

    // The Monday of the week that holds `day`.
    static QDate MondayOf(QDate day);
    // "h:mm", seconds left out, hours not padded; a leading minus for a negative time.
    static QString HoursMinutes(qint64 seconds);
    // Brings periods read from the journal up to `now` for the board's running period (timer `index`
    // since `start`): the journal's open period of it ends now instead of at its last heartbeat; one the
    // journal does not hold (it records nothing) is added with id 0.
    static void ApplyRunning(std::vector<Period>& periods, int index, const QString& name, qint64 start,
                             qint64 now);
    // The pieces of the periods inside the local day `day`, as `--periods` lists them for that day.
    static std::vector<LivedDays::Piece> PiecesOf(QDate day, const std::vector<Period>& periods);

    QDate Monday() const { return m_monday; }
    // One per name seen in the week, the largest first, then by name.
    const std::vector<Row>& Rows() const { return m_rows; }
    const Row& Totals() const { return m_totals; }
    bool IsEmpty() const { return m_rows.empty(); }
    // The chart's rows: all of them, or the kChartNames largest and one named "Other" with the rest.
    std::vector<Row> ChartRows() const;

private:
    QDate m_monday;
    std::vector<Row> m_rows;
    Row m_totals;
};
