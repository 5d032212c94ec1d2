#include "journal/LivedDays.h"

namespace {

// The local zone, or UTC where TZ names none that Qt knows (as the C library then takes it).
QTimeZone SystemZone() {
    const QTimeZone zone = QTimeZone::systemTimeZone();
    return zone.isValid() ? zone : QTimeZone::utc();
}

} // namespace

LivedDays::LivedDays(QDate from, QDate to, const QTimeZone& zone)
    : m_from(from), m_to(to), m_bOneZone(zone.isValid()), m_shown(from, to, m_bOneZone ? zone : SystemZone()),
      m_shownId(QString::fromUtf8(m_shown.Zone().id())) {}

LocalDays& LivedDays::DaysOf(const Period& period, qint64& shift) {
    shift = 0;
    if (m_bOneZone || period.zone == m_shownId) {
        return m_shown;
    }
    if (!period.zone.isEmpty()) {
        auto lived = m_lived.find(period.zone);
        if (lived == m_lived.end()) {
            const QTimeZone zone(period.zone.toUtf8());
            lived = m_lived
                        .emplace(period.zone,
                                 zone.isValid() ? std::make_unique<LocalDays>(m_from, m_to, zone) : nullptr)
                        .first;
        }
        if (lived->second) {
            return *lived->second;
        }
    }
    shift = period.utcOffset - m_shown.OffsetAt(period.start);
    return m_shown;
}

std::vector<LivedDays::Piece> LivedDays::Pieces(const std::vector<Period>& periods) {
    std::vector<Piece> pieces;
    for (const Period& period : periods) {
        if (period.IsAdjustment()) {
            continue;
        }
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
