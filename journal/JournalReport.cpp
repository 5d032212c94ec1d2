#include "journal/JournalReport.h"

#include "common/Text.h"
#include "journal/JournalQuery.h"
#include "journal/LivedDays.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <map>
#include <vector>

namespace JournalReport {

namespace {

using Period = JournalQuery::Period;
using Piece = LivedDays::Piece;
using Format = Kelvra::ReportFormat;

// Text columns grow up to this width; a longer name is printed whole and pushes its row out.
constexpr qsizetype kTextColumnWidth = 40;
constexpr qint64 kEpochJulianDay = 2440588; // 1970-01-01

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
        return QStringLiteral("%1-W%2").arg(year, 4, 10, QLatin1Char('0')).arg(week, 2, 10, QLatin1Char('0'));
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

// Timers are numbered from 1, as on the board, in the names dialog and for --start.
QString RowNumber(int index) {
    return QString::number(index + 1);
}

QString Flag(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString CsvLine(const QStringList& fields) {
    QStringList quoted;
    for (const QString& field : fields) {
        quoted << Kelvra::CsvField(field);
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

// What orders the buckets and tells them apart: a day's Julian day, a week's Monday's, a month's number.
qint64 BucketKey(Unit unit, QDate day) {
    switch (unit) {
    case Unit::Week:
        return day.toJulianDay() - day.dayOfWeek() + 1;
    case Unit::Month:
        return static_cast<qint64>(day.year()) * 12 + day.month();
    case Unit::Day:
    case Unit::Period:
        break;
    }
    return day.toJulianDay();
}

// Only the buckets that periods reach are made: a range of any length costs what its periods cost.
std::vector<Bucket> Gather(Unit unit, LivedDays& days, const std::vector<Period>& periods) {
    std::map<qint64, Bucket> byKey;
    for (const Period& period : periods) {
        days.Split(period, [&](QDate day, qint64 start, qint64 end) {
            auto [at, bNew] = byKey.try_emplace(BucketKey(unit, day));
            Bucket& bucket = at->second;
            if (bNew) {
                bucket.label = Label(unit, day);
            }
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
    std::vector<Bucket> buckets;
    buckets.reserve(byKey.size());
    for (auto& [key, bucket] : byKey) {
        std::sort(bucket.rows.begin(), bucket.rows.end(), [](const Row& a, const Row& b) {
            return a.index != b.index ? a.index < b.index : a.name < b.name;
        });
        buckets.push_back(std::move(bucket));
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
                rows.push_back({bucket.label, RowNumber(row.index), row.name, Duration(row.seconds)});
                running.push_back(row.bRunning);
            }
            rows.push_back({bucket.label, QString(), QStringLiteral("Total"), Duration(bucket.total)});
            running.push_back(false);
        }
        return TextTable(rows, running);
    }
    case Format::Csv: {
        QString out = CsvLine({QStringLiteral("bucket"), QStringLiteral("kind"), QStringLiteral("row"),
                               QStringLiteral("name"), QStringLiteral("seconds"), QStringLiteral("time"),
                               QStringLiteral("running")});
        for (const Bucket& bucket : buckets) {
            for (const Row& row : bucket.rows) {
                out += CsvLine({bucket.label, QStringLiteral("timer"), RowNumber(row.index), row.name,
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
            timers.append(QJsonObject{{QStringLiteral("row"), row.index + 1},
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

// The periods' pieces and the adjustments in the order of their days: an adjustment after the pieces of
// its day.
struct Listed {
    const Piece* piece = nullptr;
    const Period* adjustment = nullptr;
};

std::vector<Listed> InDayOrder(const std::vector<Piece>& pieces, const std::vector<Period>& periods) {
    std::vector<const Period*> adjustments;
    for (const Period& period : periods) {
        if (period.IsAdjustment()) {
            adjustments.push_back(&period);
        }
    }
    std::stable_sort(adjustments.begin(), adjustments.end(),
                     [](const Period* a, const Period* b) { return a->adjustedDay < b->adjustedDay; });
    std::vector<Listed> listed;
    auto next = adjustments.begin();
    for (const Piece& piece : pieces) {
        const QDate day =
            QDateTime::fromSecsSinceEpoch(piece.start + piece.startOffset, QTimeZone::utc()).date();
        for (; next != adjustments.end() && (*next)->adjustedDay < day; ++next) {
            listed.push_back({nullptr, *next});
        }
        listed.push_back({&piece, nullptr});
    }
    for (; next != adjustments.end(); ++next) {
        listed.push_back({nullptr, *next});
    }
    return listed;
}

QString RenderPieces(const Request& request, QDate from, QDate to, const std::vector<Piece>& pieces,
                     const std::vector<Period>& periods) {
    const std::vector<Listed> listed = InDayOrder(pieces, periods);
    switch (request.format) {
    case Format::Text: {
        std::vector<QStringList> rows{{QStringLiteral("start"), QStringLiteral("end"), QStringLiteral("#"),
                                       QStringLiteral("name"), QStringLiteral("time")}};
        std::vector<bool> running{false};
        for (const Listed& row : listed) {
            if (row.adjustment != nullptr) {
                const Period& a = *row.adjustment;
                rows.push_back({a.adjustedDay.toString(Qt::ISODate), QStringLiteral("(adjustment)"),
                                RowNumber(a.index), a.name, Duration(a.end)});
                running.push_back(false);
                continue;
            }
            const Piece& piece = *row.piece;
            const Period& period = *piece.period;
            rows.push_back({Stamp(piece.start, piece.startOffset), Stamp(piece.end, piece.endOffset),
                            RowNumber(period.index), period.name, Duration(piece.end - piece.start)});
            running.push_back(period.bRunning);
        }
        return TextTable(rows, running);
    }
    case Format::Csv: {
        QString out = CsvLine({QStringLiteral("id"), QStringLiteral("start"), QStringLiteral("end"),
                               QStringLiteral("row"), QStringLiteral("name"), QStringLiteral("seconds"),
                               QStringLiteral("time"), QStringLiteral("running"), QStringLiteral("kind"),
                               QStringLiteral("day"), QStringLiteral("note")});
        for (const Listed& row : listed) {
            if (row.adjustment != nullptr) {
                const Period& a = *row.adjustment;
                out +=
                    CsvLine({QString::number(a.id), QString(), QString(), RowNumber(a.index), a.name,
                             QString::number(a.end), Duration(a.end), Flag(false),
                             QStringLiteral("adjustment"), a.adjustedDay.toString(Qt::ISODate), QString()});
                continue;
            }
            const Piece& piece = *row.piece;
            const Period& period = *piece.period;
            out += CsvLine({QString::number(period.id), Stamp(piece.start, piece.startOffset),
                            Stamp(piece.end, piece.endOffset), RowNumber(period.index), period.name,
                            QString::number(piece.end - piece.start), Duration(piece.end - piece.start),
                            Flag(period.bRunning), QStringLiteral("period"), QString(), period.note});
        }
        return out;
    }
    case Format::Json:
        break;
    }
    QJsonArray array;
    for (const Listed& row : listed) {
        if (row.adjustment != nullptr) {
            const Period& a = *row.adjustment;
            array.append(QJsonObject{{QStringLiteral("id"), a.id},
                                     {QStringLiteral("kind"), QStringLiteral("adjustment")},
                                     {QStringLiteral("day"), a.adjustedDay.toString(Qt::ISODate)},
                                     {QStringLiteral("row"), a.index + 1},
                                     {QStringLiteral("name"), a.name},
                                     {QStringLiteral("seconds"), a.end},
                                     {QStringLiteral("time"), Duration(a.end)}});
            continue;
        }
        const Piece& piece = *row.piece;
        const Period& period = *piece.period;
        array.append(QJsonObject{{QStringLiteral("id"), period.id},
                                 {QStringLiteral("kind"), QStringLiteral("period")},
                                 {QStringLiteral("start"), Stamp(piece.start, piece.startOffset)},
                                 {QStringLiteral("end"), Stamp(piece.end, piece.endOffset)},
                                 {QStringLiteral("row"), period.index + 1},
                                 {QStringLiteral("name"), period.name},
                                 {QStringLiteral("seconds"), piece.end - piece.start},
                                 {QStringLiteral("time"), Duration(piece.end - piece.start)},
                                 {QStringLiteral("running"), period.bRunning},
                                 {QStringLiteral("note"), period.note}});
    }
    QJsonObject root = JsonHead(request.unit, from, to);
    root.insert(QStringLiteral("periods"), array);
    return JsonText(root);
}

} // namespace

QString Duration(qint64 seconds) {
    return QString::fromStdString(Kelvra::Plain::Duration(seconds));
}

Sql::Status Fetch(JournalQuery& query, QDate from, QDate to, std::vector<Period>& periods,
                  const QTimeZone& zone) {
    const LivedDays days(from, to, zone);
    const Sql::Status status =
        query.Periods(days.Begin() - LivedDays::kShiftMargin, days.End() + LivedDays::kShiftMargin, periods);
    return status.Ok() ? query.Adjustments(from, to, periods) : status;
}

QString Render(const Request& request, const std::vector<Period>& periods) {
    LivedDays days(request.from, request.to, request.zone);
    if (request.unit != Unit::Period) {
        return RenderBuckets(request, request.from, request.to, Gather(request.unit, days, periods));
    }
    return RenderPieces(request, request.from, request.to, days.Pieces(periods), periods);
}

Sql::Status Render(JournalQuery& query, const Request& request, QDate today, QString& out,
                   const std::optional<Kelvra::LivePeriod>& live) {
    Request range = request;
    range.to = request.to.isValid() ? request.to : std::max(today, request.from);
    if (!range.from.isValid()) {
        std::optional<QDate> first;
        const Sql::Status status = query.FirstDay(first, range.zone);
        if (!status.Ok()) {
            return status;
        }
        range.from = std::min(first.value_or(range.to), range.to);
    }
    if (range.to < range.from) {
        return {21 /* SQLITE_MISUSE */, QStringLiteral("the range ends before it begins")};
    }
    std::vector<Period> periods;
    const Sql::Status status = Fetch(query, range.from, range.to, periods, range.zone);
    if (!status.Ok()) {
        return status;
    }
    if (live) {
        // The running board's own reading, not the period's last heartbeat.
        for (Period& period : periods) {
            if (period.bRunning && period.index == live->index && period.start == live->start) {
                period.end = live->now;
            }
        }
    }
    out = Render(range, periods);
    return status;
}

} // namespace JournalReport
