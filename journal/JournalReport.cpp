#include "journal/JournalReport.h"

#include "journal/JournalQuery.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace JournalReport {

namespace {

using Period = JournalQuery::Period;
using BoardReport::Format;

// Wider than any difference between two UTC offsets: a period recorded in another zone is fetched even
// when moving it onto the local clock brings it into the range.
constexpr qint64 kShiftMargin = 2 * 86400;
// Text columns grow up to this width; a longer name is printed whole and pushes its row out.
constexpr qsizetype kTextColumnWidth = 40;
constexpr size_t kWeek = 7;
constexpr qint64 kEpochJulianDay = 2440588; // 1970-01-01

// Where each local day of the range begins in UTC and where the local offset changes inside it, built
// once for the report: a few conversions per day instead of several per period.
class LocalDays final {
public:
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

private:
    const QDate m_from;
    std::vector<qint64> m_bounds;
    std::vector<std::pair<qint64, int>> m_offsets; // from this instant on, this offset
};

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

// Hands `take(day, start, end)` each piece of the period inside the range, cut at local midnights, on the
// local clock: moved by the difference between the offset where it was recorded and the local one then
// (0 unless the user recorded it in another zone), so that it falls on the day the user lived it. A
// period that ends before it starts is taken whole at its start. Returns that move.
template <typename Take> qint64 Split(const LocalDays& days, const Period& period, Take&& take) {
    const qint64 shift = period.utcOffset - days.OffsetAt(period.start);
    qint64 start = period.start + shift;
    const qint64 end = period.end + shift;
    if (end <= start) {
        if (start >= days.Begin() && start < days.End()) {
            take(days.DayOf(start), start, end);
        }
        return shift;
    }
    const qint64 last = std::min(end, days.End());
    start = std::max(start, days.Begin());
    for (int day = start < last ? days.DayOf(start) : 0; start < last; ++day) {
        const qint64 cut = std::min(last, days.EndOf(day));
        if (cut > start) { // a day that the zone skipped has nothing
            take(day, start, cut);
        }
        start = cut;
    }
    return shift;
}

struct Row {
    int index = 0;
    QString name;
    qint64 seconds = 0;
    bool bRunning = false;
};

struct Bucket {
    QString label;
    std::vector<Row> rows;
    qint64 total = 0;
    bool bRunning = false;
};

// A period clipped to the range, in UTC, with the offsets of the clock the user lived it by.
struct Piece {
    const Period* period = nullptr;
    qint64 start = 0;
    qint64 end = 0;
    int startOffset = 0;
    int endOffset = 0;
};

QString UnitName(Unit unit) {
    switch (unit) {
    case Unit::Week:
        return QStringLiteral("week");
    case Unit::Month:
        return QStringLiteral("month");
    case Unit::Period:
        return QStringLiteral("period");
    case Unit::Day:
        break;
    }
    return QStringLiteral("day");
}

QString Label(Unit unit, QDate day) {
    if (unit == Unit::Week) {
        int year = 0;
        const int week = day.weekNumber(&year);
        return QStringLiteral("%1-W%2").arg(year).arg(week, 2, 10, QLatin1Char('0'));
    }
    return day.toString(unit == Unit::Month ? QStringLiteral("yyyy-MM") : QStringLiteral("yyyy-MM-dd"));
}

void AppendTwoDigits(QString& text, qint64 value) {
    text += QLatin1Char(static_cast<char>('0' + value / 10));
    text += QLatin1Char(static_cast<char>('0' + value % 10));
}

// ISO 8601 with the given offset, "+00:00" rather than "Z" for UTC itself. Composed by hand: a report of
// every period writes hundreds of thousands of these.
QString Stamp(qint64 utc, int offset) {
    const qint64 local = utc + offset;
    const qint64 days = (local >= 0 ? local : local - 86399) / 86400;
    const qint64 second = local - days * 86400;
    int year = 0;
    int month = 0;
    int day = 0;
    QDate::fromJulianDay(kEpochJulianDay + days).getDate(&year, &month, &day);
    QString text = QString::number(year).rightJustified(4, QLatin1Char('0'));
    for (const auto& [separator, value] : {std::pair{'-', month}, {'-', day}}) {
        text += QLatin1Char(separator);
        AppendTwoDigits(text, value);
    }
    for (const auto& [separator, value] :
         {std::pair{'T', second / 3600}, {':', second / 60 % 60}, {':', second % 60}}) {
        text += QLatin1Char(separator);
        AppendTwoDigits(text, value);
    }
    const int minutes = std::abs(offset) / 60;
    text += QLatin1Char(offset < 0 ? '-' : '+');
    AppendTwoDigits(text, minutes / 60);
    text += QLatin1Char(':');
    AppendTwoDigits(text, minutes % 60);
    return text;
}

QString Flag(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString CsvField(const QString& value) {
    // Spaces at either end are quoted too, so that no reader trims them away.
    const bool bPlain = (value.isEmpty() || (!value.front().isSpace() && !value.back().isSpace())) &&
                        std::none_of(value.begin(), value.end(), [](QChar c) {
                            return c == QLatin1Char(',') || c == QLatin1Char('"') || c.unicode() < 0x20 ||
                                   c.unicode() == 0x7f;
                        });
    if (bPlain) {
        return value;
    }
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString CsvLine(const QStringList& fields) {
    QStringList quoted;
    for (const QString& field : fields) {
        quoted << CsvField(field);
    }
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

// Columns padded to their widest cell, the last one aligned right; "(running)" after a running row.
QString TextTable(const std::vector<QStringList>& rows, const std::vector<bool>& running) {
    std::vector<qsizetype> widths(static_cast<size_t>(rows.front().size()), 0);
    for (const QStringList& row : rows) {
        for (qsizetype column = 0; column < row.size(); ++column) {
            auto& width = widths[static_cast<size_t>(column)];
            width = std::max(width, std::min(row[column].size(), kTextColumnWidth));
        }
    }
    QString out;
    const auto pad = [&out](qsizetype spaces) {
        out.resize(out.size() + std::max<qsizetype>(spaces, 0), QLatin1Char(' '));
    };
    for (size_t r = 0; r < rows.size(); ++r) {
        const QStringList& row = rows[r];
        for (qsizetype column = 0; column + 1 < row.size(); ++column) {
            out += row[column];
            pad(widths[static_cast<size_t>(column)] - row[column].size() + 2);
        }
        pad(widths.back() - row.back().size());
        out += row.back();
        if (running[r]) {
            out += QStringLiteral("  (running)");
        }
        out += QLatin1Char('\n');
    }
    return out;
}

QJsonObject JsonHead(Unit unit, QDate from, QDate to) {
    return {{QStringLiteral("unit"), UnitName(unit)},
            {QStringLiteral("from"), from.toString(Qt::ISODate)},
            {QStringLiteral("to"), to.toString(Qt::ISODate)}};
}

QString JsonText(const QJsonObject& root) {
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact));
}

std::vector<Bucket> Gather(Unit unit, const LocalDays& days, const std::vector<Period>& periods) {
    std::vector<Bucket> buckets;
    std::vector<size_t> bucketOfDay(static_cast<size_t>(days.Count()));
    for (int day = 0; day < days.Count(); ++day) {
        const QString label = Label(unit, days.Day(day));
        if (buckets.empty() || buckets.back().label != label) {
            buckets.push_back(Bucket{label, {}, 0, false});
        }
        bucketOfDay[static_cast<size_t>(day)] = buckets.size() - 1;
    }
    for (const Period& period : periods) {
        Split(days, period, [&](int day, qint64 start, qint64 end) {
            Bucket& bucket = buckets[bucketOfDay[static_cast<size_t>(day)]];
            auto row = std::find_if(bucket.rows.begin(), bucket.rows.end(), [&](const Row& r) {
                return r.index == period.index && r.name == period.name;
            });
            if (row == bucket.rows.end()) {
                row = bucket.rows.insert(row, Row{period.index, period.name, 0, false});
            }
            row->seconds += end - start;
            row->bRunning = row->bRunning || period.bRunning;
            bucket.total += end - start;
            bucket.bRunning = bucket.bRunning || period.bRunning;
        });
    }
    std::erase_if(buckets, [](const Bucket& bucket) { return bucket.rows.empty(); });
    for (Bucket& bucket : buckets) {
        std::sort(bucket.rows.begin(), bucket.rows.end(), [](const Row& a, const Row& b) {
            return a.index != b.index ? a.index < b.index : a.name < b.name;
        });
    }
    return buckets;
}

QString RenderBuckets(const Request& request, QDate from, QDate to, const std::vector<Bucket>& buckets) {
    switch (request.format) {
    case Format::Text: {
        std::vector<QStringList> rows{
            {UnitName(request.unit), QStringLiteral("#"), QStringLiteral("name"), QStringLiteral("time")}};
        std::vector<bool> running{false};
        for (const Bucket& bucket : buckets) {
            for (const Row& row : bucket.rows) {
                rows.push_back({bucket.label, QString::number(row.index), row.name, Duration(row.seconds)});
                running.push_back(row.bRunning);
            }
            rows.push_back({bucket.label, QString(), QStringLiteral("Total"), Duration(bucket.total)});
            running.push_back(false);
        }
        return TextTable(rows, running);
    }
    case Format::Csv: {
        QString out = CsvLine({QStringLiteral("bucket"), QStringLiteral("row"), QStringLiteral("index"),
                               QStringLiteral("name"), QStringLiteral("seconds"), QStringLiteral("time"),
                               QStringLiteral("running")});
        for (const Bucket& bucket : buckets) {
            for (const Row& row : bucket.rows) {
                out += CsvLine({bucket.label, QStringLiteral("timer"), QString::number(row.index), row.name,
                                QString::number(row.seconds), Duration(row.seconds), Flag(row.bRunning)});
            }
            out += CsvLine({bucket.label, QStringLiteral("total"), QString(), QString(),
                            QString::number(bucket.total), Duration(bucket.total), Flag(bucket.bRunning)});
        }
        return out;
    }
    case Format::Json:
        break;
    }
    QJsonArray array;
    for (const Bucket& bucket : buckets) {
        QJsonArray timers;
        for (const Row& row : bucket.rows) {
            timers.append(QJsonObject{{QStringLiteral("index"), row.index},
                                      {QStringLiteral("name"), row.name},
                                      {QStringLiteral("seconds"), row.seconds},
                                      {QStringLiteral("time"), Duration(row.seconds)},
                                      {QStringLiteral("running"), row.bRunning}});
        }
        const QJsonObject total{{QStringLiteral("seconds"), bucket.total},
                                {QStringLiteral("time"), Duration(bucket.total)},
                                {QStringLiteral("running"), bucket.bRunning}};
        array.append(QJsonObject{{QStringLiteral("bucket"), bucket.label},
                                 {QStringLiteral("timers"), timers},
                                 {QStringLiteral("total"), total}});
    }
    QJsonObject root = JsonHead(request.unit, from, to);
    root.insert(QStringLiteral("buckets"), array);
    return JsonText(root);
}

QString RenderPieces(const Request& request, QDate from, QDate to, const std::vector<Piece>& pieces) {
    switch (request.format) {
    case Format::Text: {
        std::vector<QStringList> rows{{QStringLiteral("start"), QStringLiteral("end"), QStringLiteral("#"),
                                       QStringLiteral("name"), QStringLiteral("time")}};
        std::vector<bool> running{false};
        for (const Piece& piece : pieces) {
            const Period& period = *piece.period;
            rows.push_back({Stamp(piece.start, piece.startOffset), Stamp(piece.end, piece.endOffset),
                            QString::number(period.index), period.name, Duration(piece.end - piece.start)});
            running.push_back(period.bRunning);
        }
        return TextTable(rows, running);
    }
    case Format::Csv: {
        QString out = CsvLine({QStringLiteral("id"), QStringLiteral("start"), QStringLiteral("end"),
                               QStringLiteral("index"), QStringLiteral("name"), QStringLiteral("seconds"),
                               QStringLiteral("time"), QStringLiteral("running")});
        for (const Piece& piece : pieces) {
            const Period& period = *piece.period;
            out += CsvLine({QString::number(period.id), Stamp(piece.start, piece.startOffset),
                            Stamp(piece.end, piece.endOffset), QString::number(period.index), period.name,
                            QString::number(piece.end - piece.start), Duration(piece.end - piece.start),
                            Flag(period.bRunning)});
        }
        return out;
    }
    case Format::Json:
        break;
    }
    QJsonArray array;
    for (const Piece& piece : pieces) {
        const Period& period = *piece.period;
        array.append(QJsonObject{{QStringLiteral("id"), period.id},
                                 {QStringLiteral("start"), Stamp(piece.start, piece.startOffset)},
                                 {QStringLiteral("end"), Stamp(piece.end, piece.endOffset)},
                                 {QStringLiteral("index"), period.index},
                                 {QStringLiteral("name"), period.name},
                                 {QStringLiteral("seconds"), piece.end - piece.start},
                                 {QStringLiteral("time"), Duration(piece.end - piece.start)},
                                 {QStringLiteral("running"), period.bRunning}});
    }
    QJsonObject root = JsonHead(request.unit, from, to);
    root.insert(QStringLiteral("periods"), array);
    return JsonText(root);
}

} // namespace

QString Duration(qint64 seconds) {
    const qint64 magnitude = seconds < 0 ? -seconds : seconds;
    QString text = QString::number(magnitude / 3600);
    if (seconds < 0) {
        text.prepend(QLatin1Char('-'));
    }
    for (const qint64 part : {magnitude / 60 % 60, magnitude % 60}) {
        text += QLatin1Char(':');
        AppendTwoDigits(text, part);
    }
    return text;
}

Sql::Status Render(JournalQuery& query, const Request& request, QDate today, QString& out,
                   const std::optional<LivePeriod>& live) {
    QDate from = request.from;
    QDate to = request.to.isValid() ? request.to : std::max(today, from);
    if (!from.isValid()) {
        std::optional<QDate> first;
        const Sql::Status status = query.FirstDay(first);
        if (!status.Ok()) {
            return status;
        }
        from = std::min(first.value_or(to), to);
    }
    if (to < from) {
        return {21 /* SQLITE_MISUSE */, QStringLiteral("the range ends before it begins")};
    }
    const LocalDays days(from, to);
    std::vector<Period> periods;
    const Sql::Status status = query.Periods(days.Begin() - kShiftMargin, days.End() + kShiftMargin, periods);
    if (!status.Ok()) {
        return status;
    }
    if (live) {
        for (Period& period : periods) {
            if (period.bRunning && period.index == live->index && period.start == live->start) {
                period.end = live->now;
            }
        }
    }
    if (request.unit != Unit::Period) {
        out = RenderBuckets(request, from, to, Gather(request.unit, days, periods));
        return {};
    }
    std::vector<Piece> pieces;
    for (const Period& period : periods) {
        qint64 start = 0;
        qint64 end = 0;
        bool bInside = false;
        const qint64 shift = Split(days, period, [&](int, qint64 pieceStart, qint64 pieceEnd) {
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
    out = RenderPieces(request, from, to, pieces);
    return {};
}

} // namespace JournalReport
