#include "../FileBytes.h"
#include "RecordingDisplay.h"
#include "board/TimerLedger.h"
#include "board/TimerStore.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <limits>
#include <memory>

using namespace ProfileLayout;
using namespace Qt::Literals::StringLiterals;

// The ledger on a real profile file; the display only records what it is given.
class TestLedger : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Profile> m_profile;
    SettableClock m_clock;
    RecordingDisplay m_display;
    std::unique_ptr<CTimerLedger> m_ledger;

    QByteArray Bytes() const { return FileBytes(m_dir->filePath(u"Kelvra.conf"_s)); }
    // The board's initial update, as far as the ledger goes, on these stored seconds.
    void Start(std::initializer_list<int> seconds = {}) {
        int i = 0;
        for (int s : seconds) {
            m_profile->WriteProfileInt(kTimerSec, IndexEntry(i++), s);
        }
        m_ledger->StartStopped();
        m_ledger->LoadTimers();
        m_ledger->ShowTimers();
    }
    void Click(int selector) {
        m_display.m_checkedRadio = selector;
        m_ledger->SwitchTimer();
    }
    void Tick(int seconds) {
        m_clock.Advance(seconds);
        m_ledger->RefreshRunningTimer();
    }
    int Stored(int index) const { return m_profile->GetProfileInt(kTimerSec, IndexEntry(index), -1); }
    QString Time(int index) const { return m_display.m_shownTime[index]; }
    QString Share(int index) const { return m_display.m_shownPercent[index]; }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_profile = std::make_unique<Profile>(m_dir->filePath(u"Kelvra.conf"_s));
        m_display = RecordingDisplay();
        m_ledger = std::make_unique<CTimerLedger>(*m_profile, m_clock, m_display);
    }

    void formatSeconds() {
        const int max = std::numeric_limits<int>::max();
        const int min = std::numeric_limits<int>::min();
        QCOMPARE(Kelvra::FormatSeconds(360000), u"100:00:00"_s);
        QCOMPARE(Kelvra::FormatSeconds(max), u"596523:14:07"_s);
        QCOMPARE(Kelvra::FormatSeconds(-61), u" -0:01:01"_s);
        QCOMPARE(Kelvra::FormatSeconds(min), u"-596523:14:08"_s);
    }

    void aTickShowsTheOpenPeriodButNeitherReadsNorCharges() {
        Start({100, 200});
        const QByteArray before = Bytes();
        const int pushes = m_display.m_nPushes;
        m_clock.Advance(50);
        Click(2);
        QCOMPARE(m_display.m_nPushes, pushes); // no text changes until the tick

        const quint64 reads = m_profile->ReadCount();
        Tick(1);
        QCOMPARE(Time(1), u"  0:03:21"_s);
        QCOMPARE(Time(0), u"  0:01:40"_s);
        QCOMPARE(m_display.m_shownTotal, u"  0:05:01"_s);
        QCOMPARE(Share(1), u"66.8 %"_s);
        QCOMPARE(Share(0), u"33.2 %"_s);
        QCOMPARE(m_profile->ReadCount(), reads);
        QCOMPARE(m_ledger->Seconds(1), 200);
        QCOMPARE(Bytes(), before);
    }

    void switchingSavingAndReselectingChargeOnlyTheRunningTimerOnce() {
        Start({10, 20, 30});
        Click(1);
        m_clock.Advance(7);
        m_profile->WriteProfileInt(kTimerSec, IndexEntry(2), 99); // written behind the ledger's back
        Click(3);
        QCOMPARE(Stored(0), 17);
        QCOMPARE(Stored(2), 99); // reloaded, not overwritten
        QCOMPARE(Time(0), u"  0:00:17"_s);

        m_clock.Advance(5);
        m_ledger->SaveRunningTimer(); // saving twice, then reselecting the running timer, charges once
        m_ledger->SaveRunningTimer();
        Click(3);
        QCOMPARE(Stored(2), 104);
        Tick(1); // and it runs on
        QCOMPARE(Time(2), u"  0:01:45"_s);
        Click(0); // Stop charges like any other switch
        QCOMPARE(Stored(2), 105);
        const QByteArray before = Bytes();
        m_clock.Advance(60);
        m_ledger->SaveRunningTimer(); // nothing runs, nothing is saved
        Click(0);                     // Stop to Stop: only the period start moves
        QCOMPARE(Bytes(), before);
        QCOMPARE(m_ledger->Start(), m_clock.Now());
    }

    // A clock that moves a second at every reading, as a slow synced write makes it seem: switching
    // back and forth must still charge every second between the first start and the last stop.
    void noTimeFallsBetweenTwoPeriods() {
        struct SteppingClock final : Clock {
            qint64 Now() const override { return 1000; }
            qint64 Elapsed() const override { return m_elapsed++; }
            mutable qint64 m_elapsed = 1000;
        } clock;
        CTimerLedger ledger(*m_profile, clock, m_display);
        ledger.StartStopped();
        const qint64 first = clock.m_elapsed;
        for (int i = 0; i < 20; ++i) {
            m_display.m_checkedRadio = i % 2 + 1;
            ledger.SwitchTimer();
        }
        m_display.m_checkedRadio = 0;
        ledger.SwitchTimer();
        QCOMPARE(Stored(0) + Stored(1), clock.m_elapsed - 1 - first);
    }

    // Clearing "Init" by hand sets the board up afresh; what it overwrites is kept beside the profile.
    void firstRunOverABoardInUseKeepsACopy() {
        const QDir folder(m_dir->path());
        const QStringList copies{u"Kelvra.conf.before-first-run-*"_s};
        TimerStore::InitProfile(*m_profile, m_clock, *m_ledger);
        QVERIFY(folder.entryList(copies).isEmpty()); // nothing to keep on a fresh profile
        m_profile->WriteProfileInt(kTimerSec, IndexEntry(4), 77);
        m_profile->WriteProfileInt(kTimer, kInit, 0);
        const QByteArray before = Bytes();
        TimerStore::InitProfile(*m_profile, m_clock, *m_ledger);
        QCOMPARE(Stored(4), 0);
        QCOMPARE(folder.entryList(copies).size(), 1);
        QCOMPARE(FileBytes(folder.filePath(folder.entryList(copies).value(0))), before);
    }

    void chargesSaturateInsteadOfWrapping() {
        const int max = std::numeric_limits<int>::max();
        Start({max - 10, max / 4});
        Click(1);
        Tick(100);
        QCOMPARE(Time(0), u"596523:14:07"_s);
        // The Total stops at the limit and every share is of that Total, running or stored.
        for (int pass = 0; pass < 2; ++pass) {
            QCOMPARE(m_display.m_shownTotal, u"596523:14:07"_s);
            QCOMPARE(Share(0), u"100.0 %"_s);
            QCOMPARE(Share(1), u"25.0 %"_s);
            Click(0);
        }
        QCOMPARE(Stored(0), max);
    }
};

QTEST_GUILESS_MAIN(TestLedger)

#include "test_ledger.moc"
