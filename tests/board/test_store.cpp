#include "RecordingDisplay.h"
#include "TestSuites.h"
#include "board/TimerLedger.h"
#include "board/TimerStore.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace ProfileLayout;

class TestStore : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Profile> m_profile;
    SettableClock m_clock;

    QString FileName() const { return m_dir->filePath(QStringLiteral("Kelvra.conf")); }
    QByteArray FileBytes() const {
        QFile f(FileName());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_profile = std::make_unique<Profile>(FileName());
    }

    void installationNumberComesFromLocalTime() {
        const QDateTime local(QDate(2026, 3, 31), QTime(23, 59, 59));
        QCOMPARE(TimerStore::InstallationNumber(local.toSecsSinceEpoch()), 276479910);
        const QDateTime first(QDate(2026, 2, 1), QTime(0, 0, 0));
        QCOMPARE(TimerStore::InstallationNumber(first.toSecsSinceEpoch()), 8640010);
    }

    void firstRunWritesDefaultsAndArmsTheLookup() {
        m_clock.Set(QDateTime(QDate(2026, 12, 7), QTime(1, 2, 3)).toSecsSinceEpoch());
        QVERIFY(TimerStore::InitProfile(*m_profile, m_clock));
        QCOMPARE(m_profile->GetProfileInt(kTimer, kInit, 0), 1);
        QCOMPARE(m_profile->GetProfileInt(kTimer, kRandomId, 0), (7 * 86400 + 3723) * 100 + 10);

        RecordingDisplay display;
        CTimerLedger ledger(*m_profile, m_clock, display);
        ledger.LoadTimers();
        ledger.ShowTimers();
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(display.m_shownName[i], QStringLiteral("My Project Text %1").arg(i + 1));
            QCOMPARE(display.m_shownTime[i], QStringLiteral("  0:00:00"));
        }

        // Second start: nothing is initialised again, and the lookup is armed until a code is stored.
        m_profile->WriteProfileInt(kTimerSec, IndexEntry(4), 77);
        const QByteArray before = FileBytes();
        m_clock.Advance(86400 * 3);
        QVERIFY(TimerStore::InitProfile(*m_profile, m_clock));
        QCOMPARE(FileBytes(), before);
        m_profile->WriteProfileInt(kTimer, kCc, 1);
        QVERIFY(!TimerStore::InitProfile(*m_profile, m_clock));
    }

    void initialisedStoreWithoutTimerEntriesIsNotRewritten() {
        m_profile->WriteProfileInt(kTimer, kInit, 1);
        const QByteArray before = FileBytes();
        QVERIFY(TimerStore::InitProfile(*m_profile, m_clock));
        QCOMPARE(FileBytes(), before);
        RecordingDisplay display;
        CTimerLedger ledger(*m_profile, m_clock, display);
        ledger.LoadTimers();
        ledger.ShowTimers();
        QCOMPARE(display.m_shownName[0], QString());
        QCOMPARE(display.m_shownTotal, QStringLiteral("  0:00:00"));
    }

    void fieldResetsApplyInIndexOrderAndKeepTheRunningTimer() {
        for (int i = 0; i < 10; ++i) {
            m_profile->WriteProfileInt(kTimerSec, IndexEntry(i), 100 + i);
        }
        RecordingDisplay display;
        CTimerLedger ledger(*m_profile, m_clock, display);
        ledger.LoadTimers();
        ledger.m_timeStart = m_clock.Now();
        display.m_checkedRadio = 10;
        ledger.SwitchTimer();
        m_clock.Advance(30);

        std::array<int, 10> flags{};
        flags[0] = 1;
        flags[9] = 1;
        TimerStore::ApplyFieldResets(ledger, flags);
        QCOMPARE(m_profile->GetProfileInt(kTimerSec, IndexEntry(0), -1), 0);
        QCOMPARE(m_profile->GetProfileInt(kTimerSec, IndexEntry(5), -1), 105);
        QCOMPARE(m_profile->GetProfileInt(kTimerSec, IndexEntry(9), -1), 0);
        QCOMPARE(display.m_shownTime[9], QStringLiteral("  0:00:00"));
        QCOMPARE(ledger.m_nRunning, 10);
        // The reset timer's open period goes on and is charged whole at the next switch.
        display.m_checkedRadio = 0;
        ledger.SwitchTimer();
        QCOMPARE(m_profile->GetProfileInt(kTimerSec, IndexEntry(9), -1), 30);
    }
};

int RunStoreTests(int argc, char** argv) {
    TestStore t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_store.moc"
