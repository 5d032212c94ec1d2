#include "AwayBoard.h"
#include "app/KelvraDoc.h"
#include "app/MainFrame.h"
#include "app/OptionsDlg.h"
#include "app/Reminders.h"
#include "app/TrayMenu.h"
#include "away/AwayPrompt.h"
#include "away/LockWatch.h"
#include "away/MutterIdleWatch.h"
#include "away/SuspendWatch.h"
#include "board/KelvraView.h"
#include "control/RemoteControl.h"
#include "dialogs/FieldNamesDlg.h"
#include "journal/JournalQuery.h"
#include "journal/JournalSink.h"
#include "net/CountryLookup.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"
#include "res/resource.h"

#include <QtDBus>
#include <QtTest>
#include <QtWidgets>

using namespace ProfileLayout;
using namespace Qt::Literals::StringLiterals;

namespace {

// A D-Bus daemon of the test's own, never the machine's, named by `variable` while it runs, with the
// connections the test's services open on it; its folder also holds the test's files.
struct PrivateBus {
    explicit PrivateBus(const char* variable) {
        QFile config(dir.filePath(u"bus.conf"_s));
        if (config.open(QIODevice::WriteOnly) &&
            config.write(
                "<busconfig><listen>unix:dir=" + dir.path().toUtf8() +
                "</listen><auth>EXTERNAL</auth><policy context='default'><allow send_destination='*'/>"
                "<allow receive_sender='*'/><allow own='*'/></policy></busconfig>") > 0 &&
            config.flush()) {
            daemon.start(u"dbus-daemon"_s,
                         {u"--config-file="_s + config.fileName(), u"--print-address"_s, u"--nofork"_s});
            address =
                daemon.waitForReadyRead(10000) ? QString::fromUtf8(daemon.readLine().trimmed()) : QString();
        }
        qputenv(variable, address.toUtf8());
    }
    ~PrivateBus() {
        for (const QString& name : names) {
            QDBusConnection::disconnectFromBus(name);
        }
        daemon.kill();
        daemon.waitForFinished();
    }
    Q_DISABLE_COPY_MOVE(PrivateBus)
    QDBusConnection Connect(const QString& name) {
        names << name;
        return QDBusConnection::connectToBus(address, name);
    }

    QTemporaryDir dir;
    QProcess daemon;
    QString address; // empty if the daemon did not start
    QStringList names;
};

// Mutter's IdleMonitor as the test plays it: it hands out watch ids and fires them when told.
class FakeMutter final : public QObject {
    Q_OBJECT
public:
    uint idleWatch = 0;
    uint activeWatch = 0;
    qulonglong threshold = 0;
    bool Fire(QDBusConnection& bus, uint id) {
        return bus.send(QDBusMessage::createSignal(u"/org/gnome/Mutter/IdleMonitor/Core"_s,
                                                   u"org.gnome.Mutter.IdleMonitor"_s, u"WatchFired"_s)
                        << id);
    }
public Q_SLOTS:
    uint AddIdleWatch(qulonglong interval) {
        threshold = interval;
        return idleWatch = 7;
    }
    uint AddUserActiveWatch() { return activeWatch = 8; }
};

// A notification service as the test plays it: it keeps what it was asked to show.
class FakeNotifications final : public QObject {
    Q_OBJECT
public:
    struct Shown {
        uint replaces = 0;
        QString summary;
        QString body;
        QStringList actions;
    };
    std::vector<Shown> shown;
    bool Invoke(QDBusConnection& bus, uint id, const QString& key) {
        return bus.send(QDBusMessage::createSignal(u"/org/freedesktop/Notifications"_s,
                                                   u"org.freedesktop.Notifications"_s, u"ActionInvoked"_s)
                        << id << key);
    }
public Q_SLOTS:
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        shown.push_back({replaces, summary, body, actions});
        return static_cast<uint>(40 + shown.size());
    }
};

// logind as the test plays it: the manager knows session "c7", the session holds LockedHint.
class FakeLogind final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool LockedHint MEMBER m_locked)
public:
    inline static const QString kSession = u"/org/freedesktop/login1/session/c7"_s;
    // The desktop's inactivity, since `since` (microseconds of the calendar clock).
    bool Idle(QDBusConnection& bus, bool idle, qint64 since) {
        return bus.send(
            QDBusMessage::createSignal(kSession, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s)
            << u"org.freedesktop.login1.Session"_s
            << QVariantMap{{u"IdleHint"_s, idle}, {u"IdleSinceHint"_s, QVariant::fromValue(quint64(since))}}
            << QStringList());
    }
    bool Lock(QDBusConnection& bus, bool locked) {
        m_locked = locked;
        return bus.send(
            QDBusMessage::createSignal(kSession, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s)
            << u"org.freedesktop.login1.Session"_s << QVariantMap{{u"LockedHint"_s, locked}}
            << QStringList());
    }
public Q_SLOTS:
    QDBusObjectPath GetSession(const QString& id) {
        return QDBusObjectPath(id == u"c7"_s ? kSession : u"/"_s);
    }

private:
    bool m_locked = false;
};

} // namespace

class AwayTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A lock and a suspend that overlap are one spell, from the lock, or from the suspend when the screen
    // locked only on waking.
    void lockAndSuspendCountOnce() {
        QTemporaryDir dir;
        Profile profile(dir.filePath(u"p.conf"_s));
        qint64 slept = 0, now = 1'000'000;
        AwayDetector detector(profile, Watch(slept));
        const auto tick = [&](qint64 asleep, qint64 passed) {
            slept += asleep;
            return detector.Tick(now += passed, 0);
        };
        QVERIFY(!tick(0, 0) && !detector.LockChanged(true, now, 0) && !tick(600, 600));
        std::optional<AwaySpell> spell = detector.LockChanged(false, now += 20, 0);
        QVERIFY(spell && spell->left == now - 620 && spell->back == now);
        const std::optional<AwaySpell> woke = tick(400, 400);
        QVERIFY(woke && woke->back == now && !detector.LockChanged(true, now + 2, 0));
        spell = detector.LockChanged(false, now += 60, 0);
        QVERIFY(spell && spell->left == woke->left);

        // No input: a spell from when it stopped, once it lasted "IdleMinutes" (10 by default).
        QVERIFY(!detector.InactivityChanged(true, 600, now += 10, 0));
        spell = detector.InactivityChanged(false, 0, now += 300, 0);
        QVERIFY(spell && spell->bInactive && spell->left == now - 900 && spell->back == now);
        QVERIFY(!detector.InactivityChanged(true, 0, now += 10, 0) &&
                !detector.InactivityChanged(false, 0, now += 599, 0));
        // The screen locked after the input stopped; the password ends the inactivity, the unlock the spell.
        QVERIFY(!detector.InactivityChanged(true, 600, now += 10, 0) &&
                !detector.LockChanged(true, now += 60, 0));
        QVERIFY(!detector.InactivityChanged(false, 0, now += 600, 0));
        spell = detector.LockChanged(false, now += 5, 0);
        QVERIFY(spell && !spell->bInactive && spell->left == now - 1265);
        // Inactivity is held to its own threshold, below "AwayMinutes", also once cut to the open period.
        profile.WriteProfileInt(u"Options"_s, u"IdleMinutes"_s, 2);
        QVERIFY(!detector.InactivityChanged(true, 120, now += 10, 0));
        spell = detector.InactivityChanged(false, 0, now += 60, 0);
        QVERIFY(spell && spell->left == now - 180);
        QVERIFY(!detector.InactivityChanged(true, 120, now += 10, 0));
        now += 60; // a period that began 119 s ago: less than the threshold of it was inactive
        QVERIFY(!detector.InactivityChanged(false, 0, now, now - 119));
        profile.WriteProfileInt(u"Options"_s, u"IdleMinutes"_s, 0); // off
        QVERIFY(!detector.InactivityChanged(true, 6000, now += 10, 0) &&
                !detector.InactivityChanged(false, 0, now += 10, 0));
    }

    // Discard charges up to the last tick before the suspend and restarts the period at the return; Keep
    // charges it all. A spell whose period was switched away is dropped with its question; two spells
    // before an answer are asked in turn. The journal agrees with the profile throughout.
    void keepAndDiscardReachProfileAndJournal() {
        QTemporaryDir dir;
        Board board(dir.path());
        const qint64 start = board.clock.Now();
        board.View().SelectRow(3);
        board.Tick();
        board.Away(100); // too short to ask
        board.Away(1200);
        QVERIFY(board.away->Question() && !board.away->Question()->isModal());
        QCOMPARE(board.away->Question()->text(),
                 Asked(start + 100, start + 1300, u"0:20:00"_s, u"My Project Text 3"_s));
        board.Answer(u"Discard"_s);
        QCOMPARE(board.Seconds(2), 100);
        board.clock.Advance(50);
        board.View().SelectRow(4);
        QCOMPARE(board.Seconds(2), 150);

        board.Away(900); // corrections that would move the open period wait for the answer
        const auto corrections = [&](int index) {
            QMenu menu;
            board.View().FillRowMenu(menu, index);
            return QList<bool>{menu.actions()[0]->isEnabled(), menu.actions()[1]->isEnabled()};
        };
        QCOMPARE(corrections(0) + corrections(3), QList<bool>({false, true, false, false}));
        PeriodSink::Correction undo; // nor does an undo or an edit of the history
        undo.kind = PeriodSink::Correction::Kind::Undo;
        const PeriodSink::Corrected refused = board.View().Correct(undo);
        QVERIFY(refused.outcome == PeriodSink::Corrected::Outcome::Refused &&
                refused.problem.contains(QLatin1String("time away")));
        board.Answer(u"Keep"_s);
        QCOMPARE(corrections(0) + corrections(3), QList<bool>({true, true, false, true}));
        board.View().SelectRow(5);
        QCOMPARE(board.Seconds(3), 900);

        board.Away(700); // switched away before the answer: the question goes, nothing else happens
        board.View().SelectRow(6);
        board.Tick();
        QTRY_VERIFY(!board.away->Question());
        board.Away(700); // two spells, then two answers
        board.clock.Advance(10);
        board.Tick();
        board.Away(800);
        board.Answer(u"Discard"_s);
        QCOMPARE(board.away->Question()->text(),
                 Asked(start + 3660, start + 4460, u"0:13:20"_s, u"My Project Text 6"_s));
        board.Answer(u"Discard"_s);
        board.View().SelectRow(0);
        QVERIFY(board.Seconds(4) == 700 && board.Seconds(5) == 10); // all; only between the two spells
        board.CheckInvariant();
        QCOMPARE(board.Query("SELECT sum(seconds) FROM events WHERE kind = 'away_discarded'"),
                 1200 + 700 + 800);
        QCOMPARE(board.Query("SELECT sum(seconds) FROM events WHERE kind = 'away_kept'"), 900);
        // A rename of the running timer cuts its period, each part under the name it had: a spell in the
        // part before is withdrawn with its question, as for a switch, and no event bears the old name.
        board.View().SelectRow(2);
        board.Away(900);
        QVERIFY(board.away->Question());
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<CFieldNamesDlg*>(QApplication::activeModalWidget());
            qobject_cast<QLineEdit*>(dialog->Form().Control(IDC_FIELD_2))->setText(u"Renamed"_s);
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        board.View().EditFieldNames();
        board.Tick();
        QTRY_VERIFY(!board.away->Question());
        QCOMPARE(
            board.Query("SELECT count(*) FROM events WHERE kind LIKE 'away%' AND name = 'My Project Text 2'"),
            0);
        QCOMPARE(board.Seconds(1), 900);
        board.View().SelectRow(0);
        board.CheckInvariant();

        COptionsDlg options(*board.profile, &board.frame); // 0 turns the question off
        options.AwayMinutes().setValue(0);
        QCOMPARE(options.IdleMinutes().value(), AwayDetector::kDefaultIdleMinutes);
        options.IdleMinutes().setValue(3);
        QCOMPARE(options.RemindStopped().value(), 0);
        options.RemindStopped().setValue(20);
        options.RemindLong().setValue(90);
        QVERIFY(options.CountryLookup().isChecked()); // as the board always did
        options.CountryLookup().setChecked(false);
        options.accept();
        QCOMPARE(AwayDetector::IdleMinutes(*board.profile), 3);
        QCOMPARE(Reminders::StoppedMinutes(*board.profile), 20);
        QCOMPARE(Reminders::LongMinutes(*board.profile), 90);
        QVERIFY(!CountryLookupWanted(*board.profile));
        board.View().SelectRow(1);
        board.Away(36000);
        QVERIFY(!board.away->Question());
    }

    // logind's LockedHint on a bus of the test's own, never the machine's.
    void lockOverPrivateBusAsksOnUnlock() {
        if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty()) {
            QSKIP("needs dbus-daemon");
        }
        PrivateBus bus("DBUS_SYSTEM_BUS_ADDRESS");
        QVERIFY(!bus.address.isEmpty());
        qputenv("XDG_SESSION_ID", "c7");
        QDBusConnection logind = bus.Connect(u"logind"_s);
        FakeLogind fake;
        QVERIFY(logind.registerService(u"org.freedesktop.login1"_s) &&
                logind.registerObject(u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s,
                                      &fake, QDBusConnection::ExportAllSlots) &&
                logind.registerObject(FakeLogind::kSession, u"org.freedesktop.login1.Session"_s, &fake,
                                      QDBusConnection::ExportAllProperties));
        Board board(bus.dir.path());
        board.View().SelectRow(2);
        LockWatch watch;
        QSignalSpy watching(&watch, &LockWatch::watching);
        QSignalSpy changes(&watch, &LockWatch::lockedChanged);
        connect(&watch, &LockWatch::lockedChanged, board.away, &AwayPrompt::OnLockChanged);
        watch.Start();
        QVERIFY(watching.wait(10000));
        const qint64 left = board.clock.Now();
        QVERIFY(fake.Lock(logind, true));
        QTRY_COMPARE(changes.size(), 1);
        board.clock.Advance(360);
        QVERIFY(fake.Lock(logind, false));
        QTRY_VERIFY(board.away->Question());
        QCOMPARE(board.away->Question()->text(),
                 Asked(left, left + 360, u"0:06:00"_s, u"My Project Text 2"_s));
        board.Answer(u"Keep"_s);

        // The desktop's IdleHint, the fallback source of inactivity: asked from when the input stopped.
        QSignalSpy inactivity(&watch, &LockWatch::inactivityChanged);
        connect(&watch, &LockWatch::inactivityChanged, board.away, [&](bool inactive, qint64 seconds) {
            board.away->OnInactivityFrom(u"logind"_s, inactive, seconds);
        });
        board.away->OfferInactivitySource(u"logind"_s);
        board.clock.Advance(1200); // the input stopped after the period began
        const qint64 stopped = board.clock.Now() - 600;
        QVERIFY(fake.Idle(logind, true, (QDateTime::currentMSecsSinceEpoch() - 600'000) * 1000));
        QTRY_COMPARE(inactivity.size(), 1);
        board.clock.Advance(300);
        QVERIFY(fake.Idle(logind, false, QDateTime::currentMSecsSinceEpoch() * 1000));
        QTRY_VERIFY(board.away->Question());
        QCOMPARE(board.away->Question()->text(),
                 Asked(stopped, stopped + 900, u"0:15:00"_s, u"My Project Text 2"_s, u"inactive"_s));
        // --status tells the source, the inactivity (none now) and the spell that waits for an answer.
        const ControlMessage::Reply status =
            RemoteControl::Answer({ControlMessage::Request::Verb::Status}, board.frame, board.View(),
                                  board.away, board.clock)
                .reply;
        QCOMPARE(status.state.presence, (ControlMessage::Presence{0, stopped, "logind"}));

        // logind restarted: another connection owns its name, and is followed.
        QVERIFY(logind.unregisterService(u"org.freedesktop.login1"_s));
        QDBusConnection restarted = bus.Connect(u"logind-restarted"_s);
        FakeLogind again;
        QVERIFY(restarted.registerObject(FakeLogind::kSession, u"org.freedesktop.login1.Session"_s, &again,
                                         QDBusConnection::ExportAllProperties) &&
                restarted.registerService(u"org.freedesktop.login1"_s));
        QVERIFY(again.Lock(restarted, true));
        QTRY_COMPARE(changes.size(), 3);
        QCOMPARE(changes.last().first().toBool(), true);
    }

    // GNOME's IdleMonitor on a session bus of the test's own: an idle watch of the threshold, fired, then
    // the user-active watch it asks for at once, fired at the next input: the question, from when the
    // input stopped.
    void gnomeIdleMonitorAsksAfterInput() {
        if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty()) {
            QSKIP("needs dbus-daemon");
        }
        PrivateBus bus("DBUS_SESSION_BUS_ADDRESS");
        QVERIFY(!bus.address.isEmpty());
        QDBusConnection gnome = bus.Connect(u"gnome"_s);
        FakeMutter mutter;
        QVERIFY(gnome.registerService(u"org.gnome.Mutter.IdleMonitor"_s) &&
                gnome.registerObject(u"/org/gnome/Mutter/IdleMonitor/Core"_s,
                                     u"org.gnome.Mutter.IdleMonitor"_s, &mutter,
                                     QDBusConnection::ExportAllSlots));
        Board board(bus.dir.path());
        board.View().SelectRow(4);
        board.clock.Advance(3600);
        MutterIdleWatch watch;
        QSignalSpy watching(&watch, &MutterIdleWatch::watching);
        QSignalSpy changes(&watch, &MutterIdleWatch::inactivityChanged);
        connect(&watch, &MutterIdleWatch::inactivityChanged, board.away, &AwayPrompt::OnInactivityChanged);
        watch.Start(AwayDetector::IdleMinutes(*board.profile));
        QVERIFY(watching.wait(10000));
        QCOMPARE(mutter.threshold, qulonglong{600'000});
        QVERIFY(mutter.Fire(gnome, 99) && mutter.Fire(gnome, mutter.idleWatch)); // another's watch: nothing
        QTRY_COMPARE(changes.size(), 1);
        const qint64 stopped = board.clock.Now() - 600;
        QTRY_COMPARE(mutter.activeWatch, 8u);
        board.clock.Advance(120);
        QVERIFY(mutter.Fire(gnome, mutter.activeWatch));
        QTRY_VERIFY(board.away->Question());
        QCOMPARE(board.away->Question()->text(),
                 Asked(stopped, stopped + 720, u"0:12:00"_s, u"My Project Text 4"_s, u"inactive"_s));
        board.Answer(u"Keep"_s);

        // With GNOME's monitor in use, logind's hint is not heard; once GNOME goes, it is.
        board.away->OfferInactivitySource(u"logind"_s);
        board.away->OfferInactivitySource(u"mutter"_s);
        QCOMPARE(board.away->InactivitySource(), u"mutter"_s);
        board.away->OnInactivityFrom(u"logind"_s, true, 900);
        QCOMPARE(board.away->InactiveSeconds(), qint64{0});
        QSignalSpy vanished(&watch, &MutterIdleWatch::vanished);
        connect(&watch, &MutterIdleWatch::vanished, board.away,
                [&] { board.away->DropInactivitySource(u"mutter"_s); });
        QVERIFY(mutter.Fire(gnome, mutter.idleWatch)); // GNOME's word, dropped once it is gone
        QTRY_VERIFY(board.away->InactiveSeconds() > 0);
        QVERIFY(gnome.unregisterService(u"org.gnome.Mutter.IdleMonitor"_s));
        QVERIFY(vanished.wait(10000));
        QCOMPARE(board.away->InactivitySource(), u"logind"_s);
        QCOMPARE(board.away->InactiveSeconds(), qint64{0});
        board.away->OnInactivityFrom(u"logind"_s, true, 900);
        QCOMPARE(board.away->InactiveSeconds(), qint64{900});
    }

    // Reminders on a notification service of the test's own: a stopped board reminds after minutes of
    // input (time without input starts the count again), a long period once; none while the away question
    // is up; the notification's action resumes the last timer; without the service, the fallback is told.
    void remindersNotifyOnceAndActOnTheirActions() {
        if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty()) {
            QSKIP("needs dbus-daemon");
        }
        PrivateBus bus("DBUS_SESSION_BUS_ADDRESS");
        QVERIFY(!bus.address.isEmpty());
        QDBusConnection service = bus.Connect(u"notices"_s);
        FakeNotifications notices;
        QVERIFY(service.registerService(u"org.freedesktop.Notifications"_s) &&
                service.registerObject(u"/org/freedesktop/Notifications"_s,
                                       u"org.freedesktop.Notifications"_s, &notices,
                                       QDBusConnection::ExportAllSlots));
        Board board(bus.dir.path());
        board.profile->WriteProfileInt(kOptions, kRemindStoppedMinutes, 2);
        board.profile->WriteProfileInt(kOptions, kRemindLongMinutes, 30);
        board.frame.SetJournal(&board.sink);
        Reminders reminders(board.frame, *board.profile, *board.away);
        reminders.Notifier().Start();
        QTRY_VERIFY(reminders.Notifier().Connected());
        board.away->OfferInactivitySource(u"logind"_s);
        board.View().SelectRow(3);
        board.clock.Advance(60);
        board.View().SelectRow(0);
        const auto ticks = [&](int n) {
            for (int i = 0; i < n; ++i) {
                board.Tick();
            }
        };
        ticks(100);
        board.away->OnInactivityFrom(u"logind"_s, true, 600);
        ticks(50);
        board.away->OnInactivityFrom(u"logind"_s, false, 0);
        ticks(119);
        QTest::qWait(50);
        QVERIFY(notices.shown.empty());
        ticks(200);
        QTRY_COMPARE(notices.shown.size(), size_t{1});
        QCOMPARE(notices.shown[0].summary, u"No timer is running"_s);
        QCOMPARE(notices.shown[0].actions.mid(0, 2),
                 (QStringList{u"resume"_s, u"Resume My Project Text 3"_s}));
        QVERIFY(notices.Invoke(service, 41, u"resume"_s));
        QTRY_COMPARE(board.View().Ledger().Running(), 3);

        board.Away(1800); // asked about: the long period's reminder waits for the answer
        ticks(5);
        QTest::qWait(50);
        QCOMPARE(notices.shown.size(), size_t{1});
        board.Answer(u"Keep"_s);
        ticks(5);
        QTRY_COMPARE(notices.shown.size(), size_t{2});
        QCOMPARE(notices.shown[1].summary, u"My Project Text 3 has been running for 0:30"_s);

        // The service is gone: the reminder goes to the fallback.
        QSignalSpy unshown(&reminders.Notifier(), &DesktopNotifier::unshown);
        QVERIFY(service.unregisterService(u"org.freedesktop.Notifications"_s));
        board.View().SelectRow(0);
        ticks(120);
        QVERIFY(unshown.wait(10000));
        QCOMPARE(unshown.first().first().toString(), u"No timer is running"_s);
        QCOMPARE(notices.shown.size(), size_t{2});
    }

    // The tray's menu and tooltip without a tray: choices are switches, the running row is checked.
    void trayMenuSwitchesAndShowsTheRunningTimer() {
        QTemporaryDir dir;
        Board board(dir.path());
        TrayMenu tray(board.View(), board.frame);
        QVERIFY(tray.ToolTip() == u"Stopped"_s && tray.Row(0)->isChecked() &&
                tray.Menu().actions().size() == 12);
        QVERIFY(tray.Running().pixmap(22).toImage() != tray.Stopped().pixmap(22).toImage());
        tray.Row(3)->trigger();
        QVERIFY(board.View().Ledger().Running() == 3 && tray.Row(3)->isChecked() &&
                tray.Icon().cacheKey() == tray.Running().cacheKey());
        board.clock.Advance(3725);
        board.Tick();
        QCOMPARE(tray.ToolTip(), u"My Project Text 3 \u2013 1:02:05"_s);
        board.profile->WriteProfileString(kTimerText, IndexEntry(9), u"R&D"_s);
        board.View().ReloadTimers();
        tray.Row(0)->trigger();
        QVERIFY(board.Seconds(2) == 3725 && tray.Row(0)->isChecked() && tray.ToolTip() == u"Stopped"_s);
        QVERIFY(tray.Icon().cacheKey() == tray.Stopped().cacheKey() && tray.Row(10)->text() == u"R&&D"_s);
    }
};

QTEST_MAIN(AwayTest)

#include "test_away.moc"
