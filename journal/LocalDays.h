#pragma once

#include <QDate>
#include <QTimeZone>
#include <algorithm>
#include <map>
#include <unordered_map>

// The days of a range of dates in one zone: where each begins in UTC (a day that daylight saving shortens
// has 23 hours, one that it lengthens 25) and the zone's offset at any instant. Nothing is worked out
// ahead: a day's start and the span of an offset are computed when first asked for and kept, so a report
// costs what its periods touch, not what its range spans (0001-01-01 to 9999-12-31 included).
class LocalDays final {
public:
    LocalDays(QDate from, QDate to, const QTimeZone& zone);
    Q_DISABLE_COPY_MOVE(LocalDays)

    const QTimeZone& Zone() const { return m_zone; }
    qint64 Begin() const { return m_begin; }
    qint64 End() const { return m_end; }
    // The day that holds `utc`, which lies in [Begin(), End()).
    QDate DayOf(qint64 utc);
    qint64 EndOf(QDate day) { return StartOf(day.addDays(1)); }
    // Seconds east of UTC.
    int OffsetAt(qint64 utc);

    // Hands `take(day, start, end)` each piece of [start, end) inside the range, cut at midnights. One that
    // ends before it starts (the clock was set back) is taken whole on the day it starts.
    template <typename Take> void Cut(qint64 start, qint64 end, Take&& take);

private:
    qint64 StartOf(QDate day);

    struct Span {
        qint64 end = 0;
        int offset = 0;
    };

    const QTimeZone m_zone;
    const QDate m_from;
    const QDate m_to;
    qint64 m_begin = 0;
    qint64 m_end = 0;
    std::unordered_map<qint64, qint64> m_starts; // by Julian day, the instant it begins
    std::map<qint64, Span> m_spans;              // from this instant up to `end`, one offset
};

template <typename Take> void LocalDays::Cut(qint64 start, qint64 end, Take&& take) {
    if (end <= start) {
        if (start >= m_begin && start < m_end) {
            take(DayOf(start), start, end);
        }
        return;
    }
    const qint64 last = std::min(end, m_end);
    start = std::max(start, m_begin);
    for (QDate day = start < last ? DayOf(start) : QDate(); start < last; day = day.addDays(1)) {
        const qint64 cut = std::min(last, EndOf(day));
        if (cut > start) { // a day that the zone skipped has nothing
            take(day, start, cut);
        }
        start = cut;
    }
}
