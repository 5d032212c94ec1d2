#pragma once

#include "journal/JournalQuery.h"

#include <QDate>
#include <algorithm>
#include <vector>

// The local days of a range of dates as the user lived them: where each begins in UTC (a day that
// daylight saving shortens has 23 hours, one that it lengthens 25) and where the local offset changes
// inside the range. Built once for a report or a week: a few conversions per day instead of several per
// period. The dated reports and the history window cut periods with it, so they always agree.
class LocalDays final {
public:
    using Period = JournalQuery::Period;

    // A period clipped to the range, in UTC, with the offsets of the clock the user lived it by.
    struct Piece {
        const Period* period = nullptr;
        qint64 start = 0;
        qint64 end = 0;
        int startOffset = 0;
        int endOffset = 0;
    };

    // Wider than any difference between two UTC offsets: fetching this much around the range also finds
    // a period recorded in another zone that moving onto the local clock brings into it.
    static constexpr qint64 kShiftMargin = 2 * 86400;

    LocalDays(QDate from, QDate to);
    Q_DISABLE_COPY_MOVE(LocalDays)

    qint64 Begin() const { return m_bounds.front(); }
    qint64 End() const { return m_bounds.back(); }
    int Count() const { return static_cast<int>(m_bounds.size()) - 1; }
    QDate Day(int day) const { return m_from.addDays(day); }
    qint64 EndOf(int day) const { return m_bounds[static_cast<size_t>(day) + 1]; }
    // The day that holds `utc`, which lies in [Begin(), End()).
    int DayOf(qint64 utc) const;
    int OffsetAt(qint64 utc) const;

    // Hands `take(day, start, end)` each piece of the period inside the range, cut at local midnights, on
    // the local clock: moved by the difference between the offset where it was recorded and the local
    // one then (0 unless the user recorded it in another zone), so that it falls on the day the user
    // lived it. A period that ends before it starts is taken whole at its start. Returns that move.
    template <typename Take> qint64 Split(const Period& period, Take&& take) const;
    // Each period's part inside the range, whole (not cut at midnights), for period-by-period lists.
    std::vector<Piece> Pieces(const std::vector<Period>& periods) const;

private:
    const QDate m_from;
    std::vector<qint64> m_bounds;
    std::vector<std::pair<qint64, int>> m_offsets; // from this instant on, this offset
};

template <typename Take> qint64 LocalDays::Split(const Period& period, Take&& take) const {
    const qint64 shift = period.utcOffset - OffsetAt(period.start);
    qint64 start = period.start + shift;
    const qint64 end = period.end + shift;
    if (end <= start) {
        if (start >= Begin() && start < End()) {
            take(DayOf(start), start, end);
        }
        return shift;
    }
    const qint64 last = std::min(end, End());
    start = std::max(start, Begin());
    for (int day = start < last ? DayOf(start) : 0; start < last; ++day) {
        const qint64 cut = std::min(last, EndOf(day));
        if (cut > start) { // a day that the zone skipped has nothing
            take(day, start, cut);
        }
        start = cut;
    }
    return shift;
}
