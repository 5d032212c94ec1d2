#include "journal/LocalDays.h"

#include <QDateTime>

namespace {

constexpr size_t kWeek = 7;
constexpr qint64 kEpochJulianDay = 2440588; // 1970-01-01

} // namespace

LocalDays::LocalDays(QDate from, QDate to) : m_from(from) {
    const size_t count = static_cast<size_t>(from.daysTo(to)) + 1;
    std::vector<int> offsets;
    m_bounds.reserve(count + 1);
    offsets.reserve(count + 1);
    // Midnight of the day `day` of the range on a clock that keeps `offset`.
    const auto midnight = [&](size_t day, int offset) {
        return (from.toJulianDay() + static_cast<qint64>(day) - kEpochJulianDay) * 86400 - offset;
    };
    const auto addDay = [&](size_t day) {
        // A day that daylight saving shortens or lengthens has 23 or 25 hours up to the next.
        const QDateTime start = from.addDays(static_cast<qint64>(day)).startOfDay(Qt::LocalTime);
        // A day that the zone skipped whole (a move across the date line) lasts no time at all.
        const int before = offsets.empty() ? Journal::LocalOffset(midnight(day, 0)) : offsets.back();
        const qint64 at = start.isValid() ? start.toSecsSinceEpoch() : midnight(day, before);
        m_bounds.push_back(at);
        offsets.push_back(start.isValid() ? start.offsetFromUtc() : Journal::LocalOffset(at));
    };
    addDay(0);
    while (m_bounds.size() <= count) {
        // Where a week on the offset is still the one of the last day's start, the days between begin
        // at their midnights on that clock: one conversion a week instead of several a day. (Zones
        // change their offset a few times a year at most.)
        const size_t next = m_bounds.size();
        const size_t last = std::min(next + kWeek - 1, count);
        const int offset = offsets.back();
        const bool bSteady = Journal::LocalOffset(midnight(last, offset)) == offset;
        for (size_t day = next; day <= last; ++day) {
            if (bSteady) {
                m_bounds.push_back(midnight(day, offset));
                offsets.push_back(offset);
            } else {
                addDay(day);
            }
        }
    }
    m_offsets.emplace_back(m_bounds.front(), offsets.front());
    for (size_t day = 0; day + 1 < offsets.size(); ++day) {
        if (offsets[day] == offsets[day + 1]) {
            continue;
        }
        qint64 low = m_bounds[day];
        qint64 high = m_bounds[day + 1];
        while (high - low > 1) {
            const qint64 middle = low + (high - low) / 2;
            (Journal::LocalOffset(middle) == offsets[day] ? low : high) = middle;
        }
        m_offsets.emplace_back(high, Journal::LocalOffset(high));
    }
}

int LocalDays::DayOf(qint64 utc) const {
    return static_cast<int>(std::upper_bound(m_bounds.begin(), m_bounds.end(), utc) - m_bounds.begin()) - 1;
}

int LocalDays::OffsetAt(qint64 utc) const {
    if (utc < Begin() || utc >= End()) {
        return Journal::LocalOffset(utc);
    }
    const auto after = std::upper_bound(m_offsets.begin(), m_offsets.end(), utc,
                                        [](qint64 at, const auto& change) { return at < change.first; });
    return std::prev(after)->second;
}

std::vector<LocalDays::Piece> LocalDays::Pieces(const std::vector<Period>& periods) const {
    std::vector<Piece> pieces;
    for (const Period& period : periods) {
        qint64 start = 0;
        qint64 end = 0;
        bool bInside = false;
        const qint64 shift = Split(period, [&](int, qint64 pieceStart, qint64 pieceEnd) {
            start = bInside ? start : pieceStart;
            end = pieceEnd;
            bInside = true;
        });
        if (bInside) {
            // The end of a period that ran into summer time shows summer time, as the clock did.
            const auto lived = [&](qint64 at) { return static_cast<int>(OffsetAt(at) + shift); };
            pieces.push_back(Piece{&period, start - shift, end - shift, lived(start), lived(end)});
        }
    }
    return pieces;
}
