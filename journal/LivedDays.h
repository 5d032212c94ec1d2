#pragma once

#include "journal/JournalQuery.h"
#include "journal/LocalDays.h"

#include <QDate>
#include <QTimeZone>
#include <vector>

// The days of a range of dates as the user lived them, on the local clock: a period recorded at another
// offset is moved by the difference between that offset and the local one then (0 unless the user
// recorded it in another zone), so that it falls on the day the user lived it. The dated reports and the
// history window cut periods with it, so they always agree.
class LivedDays final {
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

    LivedDays(QDate from, QDate to);
    Q_DISABLE_COPY_MOVE(LivedDays)

    // Where the range begins and ends on the local clock.
    qint64 Begin() const { return m_local.Begin(); }
    qint64 End() const { return m_local.End(); }

    // Hands `take(day, start, end)` each piece of the period inside the range, cut at midnights. A
    // period that ends before it starts is taken whole at its start.
    template <typename Take> void Split(const Period& period, Take&& take);
    // Each period's part inside the range, whole (not cut at midnights), for period-by-period lists.
    std::vector<Piece> Pieces(const std::vector<Period>& periods);

private:
    // The days the period is cut by, and how far it moves onto their clock.
    LocalDays& DaysOf(const Period& period, qint64& shift);

    LocalDays m_local;
};

template <typename Take> void LivedDays::Split(const Period& period, Take&& take) {
    qint64 shift = 0;
    DaysOf(period, shift).Cut(period.start + shift, period.end + shift, take);
}
