#include "journal/JournalWeek.h"

#include "journal/Journal.h"

#include <algorithm>
#include <map>

namespace {

// The key a period is grouped under, and the label of its row.
QString GroupKey(const JournalQuery::Period& period, const JournalWeek::RowName& rowName) {
    return rowName ? QString::number(period.index) : period.name;
}

template <typename Row>
void NoteName(Row& row, const JournalQuery::Period& period, const JournalWeek::RowName& rowName) {
    if (row.name.isEmpty()) {
        row.name = rowName ? rowName(period.index) : period.name;
    }
    if (rowName && !row.names.contains(period.name)) {
        row.names << period.name;
    }
}

} // namespace

JournalWeek::JournalWeek(QDate monday, const std::vector<Period>& periods, const RowName& rowName)
    : m_monday(monday) {
    LivedDays days(monday, monday.addDays(kDays - 1));
    std::map<QString, Row> byKey;
    for (const Period& period : periods) {
        days.Split(period, [&](QDate day, qint64 start, qint64 end) {
            const auto weekday = static_cast<size_t>(monday.daysTo(day));
            Row& row = byKey[GroupKey(period, rowName)];
            NoteName(row, period, rowName);
            row.seconds[weekday] += end - start;
            row.total += end - start;
            m_totals.seconds[weekday] += end - start;
            m_totals.total += end - start;
        });
    }
    for (auto& [key, row] : byKey) {
        m_rows.push_back(std::move(row));
    }
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const Row& a, const Row& b) {
        return a.total != b.total ? a.total > b.total : a.name < b.name;
    });
}

JournalMonth::JournalMonth(QDate anyDay, const std::vector<Period>& periods,
                           const JournalWeek::RowName& rowName)
    : m_first(FirstOf(anyDay)), m_days(static_cast<size_t>(anyDay.daysInMonth())) {
    LivedDays days(m_first, Last());
    std::map<QString, Row> byKey;
    std::vector<std::map<QString, qint64>> named(m_days.size());
    for (const Period& period : periods) {
        days.Split(period, [&](QDate day, qint64 start, qint64 end) {
            const auto at = static_cast<size_t>(m_first.daysTo(day));
            Row& row = byKey[GroupKey(period, rowName)];
            NoteName(row, period, rowName);
            row.total += end - start;
            m_days[at].total += end - start;
            named[at][row.name] += end - start;
            m_total += end - start;
        });
    }
    for (auto& [key, row] : byKey) {
        m_rows.push_back(std::move(row));
    }
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const Row& a, const Row& b) {
        return a.total != b.total ? a.total > b.total : a.name < b.name;
    });
    for (size_t at = 0; at < m_days.size(); ++at) {
        m_days[at].names.assign(named[at].begin(), named[at].end());
        std::stable_sort(m_days[at].names.begin(), m_days[at].names.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
    }
}

QDate JournalWeek::MondayOf(QDate day) {
    return day.addDays(1 - day.dayOfWeek());
}

QString JournalWeek::HoursMinutes(qint64 seconds) {
    // Rounded, not cut: a row's days then add up to its total within a minute or so, not up to a
    // minute a day short of it.
    const qint64 minutes = ((seconds < 0 ? -seconds : seconds) + 30) / 60;
    return QStringLiteral("%1%2:%3")
        .arg(seconds < 0 && minutes > 0 ? QStringLiteral("-") : QString())
        .arg(minutes / 60)
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
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
