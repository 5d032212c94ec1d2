#include "board/BoardReport.h"

#include "board/BoardDisplay.h"
#include "board/TimerLedger.h"
#include "platform/Clock.h"
#include "platform/Profile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>

namespace BoardReport {

namespace {

QString RenderText(const CTimerLedger& ledger) {
    qsizetype width = 5; // "Total"
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        width = std::max(width, ledger.Name(i).size());
    }
    QString out;
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        out += ledger.Name(i).leftJustified(width) + QStringLiteral("  ") +
               ledger.TimeText(i).rightJustified(10) + QStringLiteral("  ") +
               ledger.PercentText(i).rightJustified(7) + QLatin1Char('\n');
    }
    out += QStringLiteral("Total").leftJustified(width) + QStringLiteral("  ") +
           ledger.TotalText().rightJustified(10) + QLatin1Char('\n');
    return out;
}

QString RenderCsv(const CTimerLedger& ledger) {
    // Rows are numbered from 1, as on the board, in the names dialog and for --start.
    QString out = QStringLiteral("row,name,seconds,time,share\r\n");
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        out += QStringList{QString::number(i + 1), Kelvra::CsvField(ledger.Name(i)),
                           QString::number(ledger.Seconds(i)), Kelvra::CsvField(ledger.TimeText(i)),
                           Kelvra::CsvField(ledger.PercentText(i))}
                   .join(QLatin1Char(',')) +
               QStringLiteral("\r\n");
    }
    out += QStringList{QString(), QStringLiteral("Total"), QString::number(ledger.TotalSeconds()),
                       Kelvra::CsvField(ledger.TotalText()), QString()}
               .join(QLatin1Char(',')) +
           QStringLiteral("\r\n");
    return out;
}

QString RenderJson(const CTimerLedger& ledger) {
    QJsonArray timers;
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        timers.append(QJsonObject{{QStringLiteral("row"), i + 1},
                                  {QStringLiteral("name"), ledger.Name(i)},
                                  {QStringLiteral("seconds"), ledger.Seconds(i)},
                                  {QStringLiteral("time"), ledger.TimeText(i)},
                                  {QStringLiteral("share"), ledger.PercentText(i)},
                                  {QStringLiteral("percent"), ledger.Percent(i)}});
    }
    const QJsonObject total{{QStringLiteral("seconds"), ledger.TotalSeconds()},
                            {QStringLiteral("time"), ledger.TotalText()}};
    const QJsonObject root{{QStringLiteral("timers"), timers}, {QStringLiteral("total"), total}};
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

} // namespace

QString Render(Profile& profile, Format format, const std::optional<Kelvra::LivePeriod>& live) {
    NoBoardDisplay display;
    SettableClock clock(live ? live->now : 0);
    CTimerLedger ledger(profile, clock, display); // LoadTimers and ShowLive only read

    ledger.LoadTimers();
    if (live) {
        // The board's own refresh at the board's instant: the running row, the total and the shares.
        ledger.ShowLive(*live);
    }
    switch (format) {
    case Format::Csv:
        return RenderCsv(ledger);
    case Format::Json:
        return RenderJson(ledger);
    case Format::Text:
        break;
    }
    return RenderText(ledger);
}

} // namespace BoardReport
