#pragma once

// Ten years of heavy use: 200,000 periods, about 55 a day, written once through the board's own journal
// calls in one transaction into a temporary folder, and shared by every benchmark of a program.
#include "journal/Journal.h"

#include <QDate>
#include <QDateTime>
#include <QRandomGenerator>
#include <QTemporaryDir>

class GeneratedJournal final {
public:
    static constexpr int kPeriods = 200000;
    static QDate FirstDay() { return {2016, 12, 1}; }
    static QDate LastDay() { return {2026, 11, 30}; }

    GeneratedJournal() {
        Journal journal(Path());
        bool bWritten = journal.OpenForWriting().status.Ok();
        Sql::Transaction transaction(journal.Database());
        QRandomGenerator random(1312);
        const qint64 days = FirstDay().daysTo(LastDay()) + 1;
        // About 55 periods a day, between eight in the morning and six in the evening.
        for (int n = 0; n < kPeriods && bWritten; ++n) {
            const qint64 day = n * days / kPeriods;
            const qint64 start = FirstDay().addDays(day).startOfDay().toSecsSinceEpoch() + 8 * 3600 +
                                 (n % 55) * 600 + random.bounded(60);
            const int timer = static_cast<int>(random.bounded(10));
            const QString name = QStringLiteral("Project %1 of year %2").arg(timer).arg(2016 + day / 365);
            bWritten = journal.EndPeriod(timer, name, start, start + 60 + random.bounded(480)).Ok();
        }
        m_bReady = bWritten && transaction.Commit().Ok();
    }
    Q_DISABLE_COPY_MOVE(GeneratedJournal)

    QString Path() const { return m_dir.filePath(QStringLiteral("Kelvra.journal")); }
    bool Ready() const { return m_bReady; }

    static GeneratedJournal& Shared() {
        static GeneratedJournal journal;
        return journal;
    }

private:
    QTemporaryDir m_dir;
    bool m_bReady = false;
};
