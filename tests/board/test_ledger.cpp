#include "RecordingDisplay.h"
#include "TestSuites.h"
#include "board/TimerLedger.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <limits>
#include <memory>

using namespace ProfileLayout;

class TestLedger : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Profile> m_profile;
    SettableClock m_clock;
    RecordingDisplay m_display;
    std::unique_ptr<CTimerLedger> m_ledger;

    QString FileName() const { return m_dir->filePath(QStringLiteral("Kelvra.conf")); }
    QByteArray FileBytes() const {
        QFile f(FileName());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void SetSeconds(std::initializer_list<int> seconds) {
        int i = 0;
        for (int s : seconds) {
            m_profile->WriteProfileInt(kTimerSec, IndexEntry(i++), s);
        }
    }
    // The board's initial update, as far as the ledger goes.
    void Start() {
        m_ledger->m_nRunning = 0;
        m_ledger->LoadTimers();
        m_ledger->ShowTimers();
        m_ledger->m_timeStart = m_clock.Now();
    }
    void Click(int selector) {
        m_display.m_checkedRadio = selector;
        m_ledger->SwitchTimer();
    }
    int Stored(int index) const { return m_profile->GetProfileInt(kTimerSec, IndexEntry(index), -1); }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_profile = std::make_unique<Profile>(FileName());
        m_display = RecordingDisplay();
        m_ledger = std::make_unique<CTimerLedger>(*m_profile, m_clock, m_display);
        for (int i = 0; i < 10; ++i) {
            m_profile->WriteProfileString(kTimerText, IndexEntry(i), QStringLiteral("P%1").arg(i + 1));
        }
    }

    void formatSeconds_data() {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "  0:00:00";
        QTest::newRow("61") << qint64(61) << "  0:01:01";
        QTest::newRow("3661") << qint64(3661) << "  1:01:01";
        QTest::newRow("86399") << qint64(86399) << " 23:59:59";
        QTest::newRow("100h") << qint64(360000) << "100:00:00";
        QTest::newRow("1000h") << qint64(3600000) << "1000:00:00";
        QTest::newRow("int max") << qint64(std::numeric_limits<int>::max()) << "596523:14:07";
        QTest::newRow("minus 61") << qint64(-61) << " -0:01:01";
        QTest::newRow("minus 100h") << qint64(-360000) << "-100:00:00";
        QTest::newRow("int min") << qint64(std::numeric_limits<int>::min()) << "-596523:14:08";
    }
    void formatSeconds() {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(CTimerLedger::FormatSeconds(seconds), text);
    }

    void sharesAndTheirTexts() {
        SetSeconds({1, 2, 0});
        Start();
        QCOMPARE(m_display.m_shownPercent[0], QStringLiteral("33.3 %"));
        QCOMPARE(m_display.m_shownPercent[1], QStringLiteral("66.7 %"));
        for (int i = 2; i < 10; ++i) {
            QCOMPARE(m_display.m_shownPercent[i], QStringLiteral("0.0 %"));
        }
        QCOMPARE(m_display.m_shownTotal, QStringLiteral("  0:00:03"));

        SetSeconds({5, 5, 5});
        m_ledger->LoadTimers();
        m_ledger->ShowTimers();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(m_display.m_shownPercent[i], QStringLiteral("33.3 %"));
        }
    }

    void stopToTimerChargesNothingUntilTheTick() {
        SetSeconds({100, 200});
        Start();
        const QByteArray before = FileBytes();
        const int pushes = m_display.m_nPushes;
        m_clock.Advance(50);
        Click(2);
        QCOMPARE(m_ledger->m_nRunning, 2);
        QCOMPARE(m_ledger->m_timeStart, m_clock.Now());
        QCOMPARE(FileBytes(), before);
        QCOMPARE(m_display.m_nPushes, pushes); // no text changes until the tick

        const quint64 reads = m_profile->ReadCount();
        m_clock.Advance(1);
        m_ledger->RefreshRunningTimer();
        QCOMPARE(m_display.m_shownTime[1], QStringLiteral("  0:03:21"));
        QCOMPARE(m_display.m_shownTime[0], QStringLiteral("  0:01:40"));
        QCOMPARE(m_display.m_shownTotal, QStringLiteral("  0:05:01"));
        QCOMPARE(m_display.m_shownPercent[1], QStringLiteral("66.8 %"));
        m_clock.Advance(1);
        m_ledger->RefreshRunningTimer();
        QCOMPARE(m_display.m_shownTime[1], QStringLiteral("  0:03:22"));
        QCOMPARE(m_display.m_shownTotal, QStringLiteral("  0:05:02"));
        QCOMPARE(m_profile->ReadCount(), reads); // the tick never reads the profile
        QCOMPARE(m_ledger->m_nSeconds[1], 200);  // ...and never charges
        QCOMPARE(FileBytes(), before);
    }

    void switchingChargesAndStoresOnlyTheRunningTimer() {
        SetSeconds({10, 20, 30});
        Start();
        Click(1);
        m_clock.Advance(7);
        m_profile->WriteProfileInt(kTimerSec, IndexEntry(2), 99); // written behind the ledger's back
        Click(3);
        QCOMPARE(Stored(0), 17);
        QCOMPARE(Stored(2), 99); // reloaded, not overwritten
        QCOMPARE(m_display.m_shownTime[0], QStringLiteral("  0:00:17"));
        QCOMPARE(m_display.m_shownTime[2], QStringLiteral("  0:01:39"));
        QCOMPARE(m_ledger->m_nRunning, 3);

        m_clock.Advance(5);
        Click(0); // Stop charges like any other switch
        QCOMPARE(Stored(2), 104);
        QCOMPARE(m_ledger->m_nRunning, 0);

        const QByteArray before = FileBytes();
        m_clock.Advance(60);
        Click(0); // Stop to Stop: only the period start moves
        QCOMPARE(FileBytes(), before);
        QCOMPARE(m_ledger->m_timeStart, m_clock.Now());
    }

    void reselectingTheRunningTimerKeepsTheDisplaySteady() {
        SetSeconds({0, 40});
        Start();
        Click(2);
        m_clock.Advance(20);
        m_ledger->RefreshRunningTimer();
        const QString shown = m_display.m_shownTime[1];
        Click(2);
        QCOMPARE(Stored(1), 60);
        QCOMPARE(m_display.m_shownTime[1], shown);
        QCOMPARE(m_ledger->m_nRunning, 2);
        m_clock.Advance(1);
        m_ledger->RefreshRunningTimer();
        QCOMPARE(m_display.m_shownTime[1], QStringLiteral("  0:01:01"));
        // A reload while running (after the names dialog) shows the stored value until the next tick.
        m_ledger->LoadTimers();
        m_ledger->ShowTimers();
        QCOMPARE(m_display.m_shownTime[1], QStringLiteral("  0:01:00"));
        m_ledger->RefreshRunningTimer();
        QCOMPARE(m_display.m_shownTime[1], QStringLiteral("  0:01:01"));
    }

    void savingChargesOnlyWhileRunningAndOnlyOnce() {
        SetSeconds({5});
        Start();
        const QByteArray before = FileBytes();
        m_clock.Advance(100);
        m_ledger->SaveRunningTimer();
        QCOMPARE(FileBytes(), before);

        Click(1);
        m_clock.Advance(9);
        m_ledger->SaveRunningTimer();
        QCOMPARE(Stored(0), 14);
        m_ledger->SaveRunningTimer();
        QCOMPARE(Stored(0), 14);
    }

    void chargesSaturateInsteadOfWrapping() {
        const int max = std::numeric_limits<int>::max();
        SetSeconds({max - 10, max, max});
        Start();
        QVERIFY(m_ledger->m_nTotalSeconds > 0);
        QCOMPARE(m_ledger->m_nTotalSeconds, max);
        Click(1);
        m_clock.Advance(100);
        m_ledger->RefreshRunningTimer();
        QCOMPARE(m_display.m_shownTime[0], CTimerLedger::FormatSeconds(max));
        Click(0);
        QCOMPARE(Stored(0), max);
        QVERIFY(m_display.m_shownPercent[0].startsWith(QStringLiteral("33.3")));
    }

    void clockSetBackShowsAMinusNotGarbage() {
        Start();
        Click(1);
        m_clock.Advance(-3661);
        m_ledger->RefreshRunningTimer();
        QCOMPARE(m_display.m_shownTime[0], QStringLiteral(" -1:01:01"));
        QCOMPARE(m_display.m_shownPercent[0], QStringLiteral("0.0%"));
        Click(0);
        QCOMPARE(Stored(0), -3661);
    }
};

int RunLedgerTests(int argc, char** argv) {
    TestLedger t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_ledger.moc"
