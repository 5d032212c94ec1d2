#include "journal/JournalWeek.h"

#include "journal/Journal.h"

#include <algorithm>
#include <map>

JournalWeek::JournalWeek(QDate monday, const std::vector<Period>& periods) : m_monday(monday) {
    LivedDays days(monday, monday.addDays(kDays - 1));
    std::map<QString, Row> byName;
    for (const Period& period : periods) {
        days.Split(period, [&](QDate day, qint64 start, qint64 end) {
            const auto weekday = static_cast<size_t>(monday.daysTo(day));
            Row& row = byName[period.name];
            row.seconds[weekday] += end - start;
            row.total += end - start;
            m_totals.seconds[weekday] += end - start;
            m_totals.total += end - start;
        });
    }
    for (auto& [name, row] : byName) {
        row.name = name;
        m_rows.push_back(std::move(row));
    }
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [](const Row& a, const Row& b) { return a.total > b.total; });
}

QDate JournalWeek::MondayOf(QDate day) {
    return day.addDays(1 - day.dayOfWeek());
}

QString JournalWeek::HoursMinutes(qint64 seconds) {
    const qint64 magnitude = seconds < 0 ? -seconds : seconds;
    return QStringLiteral("%1%2:%3")
        .arg(seconds < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 3600)
        .arg(magnitude / 60 % 60, 2, 10, QLatin1Char('0'));
}

void JournalWeek::ApplyRunning(std::vector<Period>& periods, int index, const QString& name, qint64 start,
                               qint64 now) {
    const auto open = std::find_if(periods.begin(), periods.end(), [&](const Period& period) {
        return period.bRunning && period.index == index && period.start == start;
    });
    if (open != periods.end()) {
        open->end = std::max(open->end, now);
        return;
    }
    periods.push_back(
        Period{0, index, name, start, now, Journal::LocalOffset(start), true, Journal::LocalZone(), {}});
}

std::vector<LivedDays::Piece> JournalWeek::PiecesOf(QDate day, const std::vector<Period>& periods) {
    return LivedDays(day, day).Pieces(periods);
}

std::vector<JournalWeek::Row> JournalWeek::ChartRows() const {
    if (m_rows.size() <= static_cast<size_t>(kChartNames)) {
        return m_rows;
    }
    std::vector<Row> rows(m_rows.begin(), m_rows.begin() + kChartNames);
    Row other{QStringLiteral("Other"), {}, 0};
    for (auto row = m_rows.begin() + kChartNames; row != m_rows.end(); ++row) {
        for (int day = 0; day < kDays; ++day) {
            other.seconds[static_cast<size_t>(day)] += row->seconds[static_cast<size_t>(day)];
        }
        other.total += row->total;
    }
    rows.push_back(std::move(other));
    return rows;
}
