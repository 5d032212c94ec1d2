#pragma once

#include "journal/JournalQuery.h"
#include "journal/LocalDays.h"

#include <QDate>
#include <QTimeZone>
#include <map>
#include <memory>
#include <vector>

// The days of a range of dates as the user lived them: each period is cut at the midnights of the zone it
// was recorded in and shown with that zone's offsets, wherever the report is made. One recorded without
// its zone (before the journal's version 4), or in a zone this system does not know, is placed on the
// local clock, moved by the difference between the offset it was recorded at and the local one then.
// Given a zone, every period is shown in that zone instead. The dated reports and the history window cut
// periods with it, so they always agree.
class LivedDays final {
public:
    using Period = JournalQuery::Period;

    // A period clipped to the range, in UTC, with the offsets of the clock it is shown by.
    struct Piece {
        const Period* period = nullptr;
        qint64 start = 0;
        qint64 end = 0;
        int startOffset = 0;
        int endOffset = 0;
    };

    // Wider than any difference between two UTC offsets: fetching this much around the local range also
    // finds a period whose own zone's days fall into the range.
    static constexpr qint64 kShiftMargin = 2 * 86400;

    // `zone` valid: every period in that zone; invalid: each in its own.
    LivedDays(QDate from, QDate to, const QTimeZone& zone = {});
    Q_DISABLE_COPY_MOVE(LivedDays)

    // Where the range begins and ends on the local clock (or that of the zone given).
    qint64 Begin() const { return m_shown.Begin(); }
    qint64 End() const { return m_shown.End(); }

    // Hands `take(day, start, end)` each piece of the period inside the range, cut at midnights. A
    // period that ends before it starts is taken whole at its start.
    template <typename Take> void Split(const Period& period, Take&& take);
    // Each period's part inside the range, whole (not cut at midnights), for period-by-period lists;
    // adjustments are not periods and are left out.
    std::vector<Piece> Pieces(const std::vector<Period>& periods);

private:
    // The days the period is cut by, and how far it moves onto their clock.
    LocalDays& DaysOf(const Period& period, qint64& shift);

    const QDate m_from;
    const QDate m_to;
    const bool m_bOneZone;
    LocalDays m_shown; // the local zone's days, or the given zone's
    const QString m_shownId;
    std::map<QString, std::unique_ptr<LocalDays>> m_lived; // each other zone met; null: not known here
};

template <typename Take> void LivedDays::Split(const Period& period, Take&& take) {
    // An adjustment counts whole on its day.
    if (period.IsAdjustment()) {
        if (period.adjustedDay >= m_from && period.adjustedDay <= m_to) {
            take(period.adjustedDay, period.start, period.end);
        }
        return;
    }
    qint64 shift = 0;
    DaysOf(period, shift).Cut(period.start + shift, period.end + shift, take);
}
