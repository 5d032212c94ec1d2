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

// The ledger wants a display; the report shows nothing on a form.
class NoDisplay final : public BoardDisplay {
public:
    void PushFields() override {}
    void ReadFields() override {}
};

QString CsvField(const QString& value) {
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) &&
        !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')) &&
        value.trimmed() == value) {
        return value;
    }
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString RenderText(const CTimerLedger& ledger) {
    qsizetype width = 5; // "Total"
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        width = std::max(width, ledger.m_strName[i].size());
    }
    QString out;
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        out += ledger.m_strName[i].leftJustified(width) + QStringLiteral("  ") +
               ledger.m_strTime[i].rightJustified(10) + QStringLiteral("  ") +
               ledger.m_strPercent[i].rightJustified(7) + QLatin1Char('\n');
    }
    out += QStringLiteral("Total").leftJustified(width) + QStringLiteral("  ") +
           ledger.m_strTotal.rightJustified(10) + QLatin1Char('\n');
    return out;
}

QString RenderCsv(const CTimerLedger& ledger) {
    QString out = QStringLiteral("index,name,seconds,time,share\r\n");
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        out += QStringList{QString::number(i), CsvField(ledger.m_strName[i]),
                           QString::number(ledger.m_nSeconds[i]), CsvField(ledger.m_strTime[i]),
                           CsvField(ledger.m_strPercent[i])}
                   .join(QLatin1Char(',')) +
               QStringLiteral("\r\n");
    }
    out += QStringList{QString(), QStringLiteral("Total"), QString::number(ledger.m_nTotalSeconds),
                       CsvField(ledger.m_strTotal), QString()}
               .join(QLatin1Char(',')) +
           QStringLiteral("\r\n");
    return out;
}

QString RenderJson(const CTimerLedger& ledger) {
    QJsonArray timers;
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        timers.append(QJsonObject{{QStringLiteral("index"), i},
                                  {QStringLiteral("name"), ledger.m_strName[i]},
                                  {QStringLiteral("seconds"), ledger.m_nSeconds[i]},
                                  {QStringLiteral("time"), ledger.m_strTime[i]},
                                  {QStringLiteral("share"), ledger.m_strPercent[i]},
                                  {QStringLiteral("percent"), ledger.m_dPercent[i]}});
    }
    const QJsonObject total{{QStringLiteral("seconds"), ledger.m_nTotalSeconds},
                            {QStringLiteral("time"), ledger.m_strTotal}};
    const QJsonObject root{{QStringLiteral("timers"), timers}, {QStringLiteral("total"), total}};
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

} // namespace

QString Render(Profile& profile, Format format, const std::optional<LivePeriod>& live) {
    NoDisplay display;
    SettableClock clock(live ? live->now : 0);
    CTimerLedger ledger(profile, clock, display); // LoadTimers and RefreshRunningTimer only read

    ledger.LoadTimers();
    if (live && live->index >= 0 && live->index < CTimerLedger::kTimers) {
        // The board's own refresh at the board's instant: the running row, the total and the shares.
        ledger.m_nRunning = live->index + 1;
        ledger.m_timeStart = live->start;
        ledger.RefreshRunningTimer();
        ledger.m_strTime[live->index] = display.m_strShowTime[live->index];
        ledger.m_nSeconds[live->index] =
            CTimerLedger::AddSeconds(ledger.m_nSeconds[live->index], live->now - live->start);
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
