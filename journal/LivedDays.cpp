#include "journal/LivedDays.h"

namespace {

// The local zone, or UTC where TZ names none that Qt knows (as the C library then takes it).
QTimeZone SystemZone() {
    const QTimeZone zone = QTimeZone::systemTimeZone();
    return zone.isValid() ? zone : QTimeZone::utc();
}

} // namespace

LivedDays::LivedDays(QDate from, QDate to) : m_local(from, to, SystemZone()) {}

LocalDays& LivedDays::DaysOf(const Period& period, qint64& shift) {
    shift = period.utcOffset - m_local.OffsetAt(period.start);
    return m_local;
}

std::vector<LivedDays::Piece> LivedDays::Pieces(const std::vector<Period>& periods) {
    std::vector<Piece> pieces;
    for (const Period& period : periods) {
        qint64 shift = 0;
        LocalDays& days = DaysOf(period, shift);
        qint64 start = 0;
        qint64 end = 0;
        bool bInside = false;
        days.Cut(period.start + shift, period.end + shift, [&](QDate, qint64 pieceStart, qint64 pieceEnd) {
            start = bInside ? start : pieceStart;
            end = pieceEnd;
            bInside = true;
        });
        if (bInside) {
            // The end of a period that ran into summer time shows summer time, as the clock did.
            const auto lived = [&](qint64 at) { return static_cast<int>(days.OffsetAt(at) + shift); };
            pieces.push_back(Piece{&period, start - shift, end - shift, lived(start), lived(end)});
        }
    }
    return pieces;
}
