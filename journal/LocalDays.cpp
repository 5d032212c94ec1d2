#include "journal/LocalDays.h"

#include <QDateTime>
#include <limits>

namespace {

constexpr qint64 kDay = 86400;
constexpr qint64 kEpochJulianDay = 2440588; // 1970-01-01

// Qt 6.4 never returns from a zone's rule (TZ given as a POSIX rule with summer time) in the years 1 and
// 2. The calendar repeats every 400 years, weekdays and all, and so does such a rule; an IANA zone keeps
// its local mean time through both: the first years are read 400 years later.
constexpr qint64 kCycleDays = 146097;
constexpr qint64 kSafeJulianDay = 1722521; // 0004-01-01
constexpr qint64 kSafeUtc = (kSafeJulianDay - kEpochJulianDay) * kDay;

// Midnight of `day` on a clock that keeps `offset`.
qint64 Midnight(QDate day, int offset) {
    return (day.toJulianDay() - kEpochJulianDay) * kDay - offset;
}

} // namespace

LocalDays::LocalDays(QDate from, QDate to, const QTimeZone& zone) : m_zone(zone), m_from(from), m_to(to) {
    m_begin = StartOf(from);
    m_end = EndOf(to);
}

int LocalDays::OffsetAt(qint64 utc) {
    if (utc < kSafeUtc) {
        return OffsetAt(utc + kCycleDays * kDay);
    }
    const auto after = m_spans.upper_bound(utc);
    if (after != m_spans.begin() && utc < std::prev(after)->second.end) {
        return std::prev(after)->second.offset;
    }
    // The offset holds from the zone's last change up to its next one: a period or a day in between
    // needs no further conversion. (Zones change their offset a few times a year at most.)
    const QDateTime at = QDateTime::fromSecsSinceEpoch(utc, Qt::UTC);
    const int offset = m_zone.offsetFromUtc(at);
    const QDateTime changed = m_zone.previousTransition(at.addSecs(1)).atUtc;
    const QDateTime changes = m_zone.nextTransition(at).atUtc;
    const qint64 from =
        changed.isValid() ? std::min(changed.toSecsSinceEpoch(), utc) : std::numeric_limits<qint64>::min();
    const qint64 to = changes.isValid() ? std::max(changes.toSecsSinceEpoch(), utc + 1)
                                        : std::numeric_limits<qint64>::max();
    m_spans.insert_or_assign(from, Span{to, offset});
    return offset;
}

qint64 LocalDays::StartOf(QDate day) {
    const qint64 julian = day.toJulianDay();
    if (julian < kSafeJulianDay) {
        return StartOf(day.addDays(kCycleDays)) - kCycleDays * kDay;
    }
    if (const auto known = m_starts.find(julian); known != m_starts.end()) {
        return known->second;
    }
    // A day that daylight saving begins at midnight starts at the first minute the clock shows; one that
    // the zone skipped whole (a move across the date line) lasts no time at all.
    const QDateTime start = day.startOfDay(m_zone);
    const qint64 at =
        start.isValid() ? start.toSecsSinceEpoch() : Midnight(day, OffsetAt(StartOf(day.addDays(-1))));
    m_starts.emplace(julian, at);
    return at;
}

QDate LocalDays::DayOf(qint64 utc) {
    const qint64 local = utc + OffsetAt(utc);
    const qint64 days = (local >= 0 ? local : local - (kDay - 1)) / kDay;
    QDate day = QDate::fromJulianDay(kEpochJulianDay + days);
    // The date on the clock, unless the clock went back across midnight: days never overlap.
    while (day > m_from && StartOf(day) > utc) {
        day = day.addDays(-1);
    }
    while (day < m_to && EndOf(day) <= utc) {
        day = day.addDays(1);
    }
    return std::clamp(day, m_from, m_to);
}
