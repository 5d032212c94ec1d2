#pragma once

#include "journal/JournalQuery.h"
#include "journal/LivedDays.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
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
        QStringList names{}; // grouped by timer row: every name the row had that week
    };

    // How the rows are made: one per name, or one per timer row, labelled with the name `rowName` gives
    // it now (a renamed timer is one row).
    using RowName = std::function<QString(int index)>;

    // From periods fetched for the week (JournalReport::Fetch from Monday to Sunday).
    JournalWeek(QDate monday, const std::vector<Period>& periods, const RowName& rowName = {});

    // The Monday of the week that holds `day`.
    static QDate MondayOf(QDate day);
    // "h:mm" to the nearest minute, hours not padded; a leading minus for a negative time.
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

// One calendar month of the journal's periods, cut at midnights as the week is: each day's total, the
// names of each day with their time, and each name's (or timer row's) total for the month.
class JournalMonth final {
public:
    using Period = JournalQuery::Period;
    struct Row {
        QString name;
        qint64 total = 0;
        QStringList names{};
    };
    struct Day {
        qint64 total = 0;
        std::vector<std::pair<QString, qint64>> names; // the largest first
    };

    JournalMonth(QDate anyDay, const std::vector<Period>& periods, const JournalWeek::RowName& rowName = {});

    static QDate FirstOf(QDate day) { return {day.year(), day.month(), 1}; }
    QDate First() const { return m_first; }
    QDate Last() const { return m_first.addDays(static_cast<qint64>(m_days.size()) - 1); }
    const Day& DayAt(QDate day) const { return m_days[static_cast<size_t>(m_first.daysTo(day))]; }
    const std::vector<Row>& Rows() const { return m_rows; }
    qint64 Total() const { return m_total; }

private:
    QDate m_first;
    std::vector<Day> m_days;
    std::vector<Row> m_rows;
    qint64 m_total = 0;
};
