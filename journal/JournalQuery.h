#pragma once

#include "common/Vocabulary.h"
#include "journal/Journal.h"

#include <QDate>
#include <QString>
#include <QTimeZone>
#include <array>
#include <limits>
#include <optional>
#include <vector>

// What the journal says about the past, read through one open journal: the periods of a time range, the
// first period, and each timer's seconds since its last reset. Reports and the history read only this.
class JournalQuery final {
public:
    static constexpr int kTimers = Kelvra::kTimers;

    struct Period {
        qint64 id = 0;
        int index = 0;
        QString name;
        qint64 start = 0;
        qint64 end = 0;        // for the running period: its last heartbeat
        int utcOffset = 0;     // seconds east of UTC where it was recorded
        bool bRunning = false; // still open on a live board
        QString zone;          // the zone it was lived in (an IANA id); empty when unknown
        QString note;
        // Time added or removed by hand, counted on `day`: no period at all, but a row of its own kind.
        // Its start is 0 and its end the seconds it adds (negative when it removes).
        QDate adjustedDay{};
        bool IsAdjustment() const { return adjustedDay.isValid(); }
    };

    explicit JournalQuery(Journal& journal);
    Q_DISABLE_COPY_MOVE(JournalQuery)

    // The periods overlapping [from, to) in start order; one that ends before it starts (the clock was
    // set back) belongs to the instant it started.
    Sql::Status Periods(qint64 from, qint64 to, std::vector<Period>& periods);
    // Appends the adjustments counted on the days `from` to `to`: on the day the user gave, else on the
    // day they were made, on the clock they were made by.
    Sql::Status Adjustments(QDate from, QDate to, std::vector<Period>& periods);
    // The day the earliest period started, on the clock of the place where it was recorded, or in `zone`
    // if it is valid; empty for a journal without periods.
    Sql::Status FirstDay(std::optional<QDate>& day, const QTimeZone& zone = {});
    // For each timer, the seconds it has gathered since it was last reset: closed periods, balances,
    // adjustments and undone resets recorded after that reset (a reset undone is no longer there). The
    // profile's seconds must equal these. With `action`, only the rows that correction made or replaced.
    Sql::Status SecondsSinceReset(std::array<qint64, kTimers>& seconds, qint64 action = 0);

    // The period that was charged last (the one started last among those closed).
    struct LastPeriod {
        int index = 0;
        QString name;
        qint64 end = 0;
    };
    Sql::Status LastClosedPeriod(std::optional<LastPeriod>& period);

private:
    // The journal has the current schema (zones, notes, corrections), not an older one read as it is.
    Sql::Status IsCurrent(bool& bCurrent);

    Journal& m_journal;
    std::optional<bool> m_bCurrent;
};
