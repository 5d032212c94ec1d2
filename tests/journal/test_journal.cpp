#include "../FileBytes.h"
#include "BoardOnFiles.h"
#include "RunReport.h"
#include "app/CommandLine.h"
#include "app/KelvraApp.h"
#include "app/KelvraDoc.h"
#include "app/MainFrame.h"
#include "board/KelvraView.h"
#include "dialogs/FieldNamesDlg.h"
#include "res/resource.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <limits>
#include <memory>

using namespace ProfileLayout;
using namespace Qt::Literals::StringLiterals;

namespace {

// One query of the journal, read through a second connection: what is on disk, not what one object holds.
qint64 QueryOne(const QString& journal, const char* sql) {
    Journal reader(journal);
    qint64 value = -1;
    return reader.OpenForReading().Ok() && reader.Database().QueryInt(sql, value).Ok() ? value : -1;
}

// The damaged journals kept aside, without their -wal and -shm.
QStringList AsideFiles(const QString& folder) {
    QStringList files = QDir(folder).entryList({QStringLiteral("*.corrupt-*")}, QDir::Files, QDir::Name);
    files.removeIf([](const QString& f) { return f.endsWith(u"-wal") || f.endsWith(u"-shm"); });
    return files;
}

using Board = BoardOnFiles;

bool Agree(const Board& board) {
    return JournalSeconds(board.journalFile) == ProfileSeconds(board.profileFile);
}

// Lets more than `seconds` of real time pass: the board charges elapsed time in whole seconds.
void LetTimePass(qint64 seconds) {
    QTest::qWait(static_cast<int>(seconds) * 1000 + 200);
}

} // namespace

class JournalTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void journalAndProfileAgreeAfterRandomUse() {
        QTemporaryDir dir;
        // Totals from before the journal existed become its starting balance.
        {
            Profile old(dir.filePath(QStringLiteral("p.conf")));
            old.WriteProfileInt(kTimer, kInit, 1);
            old.WriteProfileInt(kTimerSec, IndexEntry(3), 5000);
        }
        auto board = std::make_unique<Board>(dir.path());
        board->Start();
        QVERIFY(!board->reconciled); // a starting balance is no news
        QVERIFY(Agree(*board));
        // A board that dies, or closes, and starts again on the same files and clock.
        const auto restart = [&](bool kill) {
            if (!kill) {
                board->ledger.SaveRunningTimer();
            }
            const qint64 now = board->clock.Now();
            board = std::make_unique<Board>(dir.path(), now); // the old one is gone before this starts
            board->Start();
        };

        QRandomGenerator random(20261207);
        for (int step = 0; step < 300; ++step) {
            // Now and then the calendar clock is set back or forward, which must never be charged.
            board->clock.Advance(random.bounded(4000));
            if (random.bounded(100) < 5) {
                board->clock.StepWall(random.bounded(-3600, 90000));
            }
            const int action = random.bounded(100);
            if (action < 60) {
                board->Switch(random.bounded(11));
            } else if (action < 65) {
                TimerStore::ResetAllTimers(board->ledger, board->display,
                                           [](const QString&) { return true; });
            } else if (action < 75) {
                // Two closings of the names dialog with a reset each; the undo gives back the second only,
                // exactly what it cleared, also after a restart in between.
                std::array<int, 10> first{}, second{};
                first[random.bounded(10)] = 1;
                const int cleared = random.bounded(10);
                second[cleared] = 1;
                TimerStore::ApplyFieldResets(board->ledger, first);
                board->clock.Advance(5);
                const int before = board->ledger.Seconds(cleared);
                TimerStore::ApplyFieldResets(board->ledger, second);
                if (random.bounded(2) == 0) {
                    restart(random.bounded(2) == 0);
                }
                board->Undo();
                // The running timer may have been charged by a restart meanwhile.
                const int after = board->ledger.Seconds(cleared);
                QVERIFY2(after == before || (cleared == board->ledger.Running() - 1 && after > before),
                         qPrintable(QString::number(step)));
            } else if (action < 82) {
                // Corrections, some of them out of range (refused), and an undo of the last reset.
                const int index = random.bounded(10);
                const qint64 most = board->ledger.SwitchableMinutes(index);
                board->ledger.SwitchedEarlier(index, most > 0 ? random.bounded(most + 2) : 1);
                board->ledger.AddTime(random.bounded(10), random.bounded(-9000, 9000));
                board->Undo();
            } else if (action < 86) {
                // Time added to the running timer, then the board dies before anything else.
                board->Switch(1 + random.bounded(10));
                board->clock.Advance(random.bounded(200));
                board->ledger.AddTime(board->ledger.Running() - 1, random.bounded(1, 9000));
                restart(true);
            } else if (action < 90) {
                restart(random.bounded(2) == 0);
            } else if (action < 95) {
                const int index = random.bounded(10);
                const QString name = QStringLiteral("Renamed %1").arg(step);
                board->profile.WriteProfileString(kTimerText, IndexEntry(index), name);
                board->ledger.CommitName(index, name);
            } else {
                board->ledger.Heartbeat();
            }
            if (step % 25 == 24) { // the last step too
                board->ledger.SaveRunningTimer();
                QVERIFY2(Agree(*board), qPrintable(QString::number(step)));
            }
        }
        QCOMPARE(QueryOne(board->journalFile, "SELECT count(*) FROM periods WHERE end_utc IS NULL"), 0);
    }

    // "Switched here" splits the running period at the chosen minute; a time added by hand keeps the
    // timer within its limits; an undo gives back what the last reset cleared, once. After each the
    // journal and the profile agree.
    void correctionsAndUndo() {
        QTemporaryDir dir;
        Board board(dir.path(), BoardOnFiles::Started{});
        const qint64 t0 = board.clock.Now();
        board.Charge(1, 1800);
        QVERIFY(!board.ledger.SwitchedEarlier(2, 31)); // longer than the period
        QVERIFY(!board.ledger.SwitchedEarlier(0, 10)); // the running timer itself
        QVERIFY(board.ledger.SwitchedEarlier(2, 10));
        QCOMPARE(board.ledger.Running(), 3);
        QCOMPARE(board.display.m_checkedRadio, 3);
        QCOMPARE(ProfileSeconds(board.profileFile)[0], 1200);
        QCOMPARE(QueryOne(board.journalFile, "SELECT start_utc FROM periods WHERE end_utc IS NULL"),
                 t0 + 1200);
        QCOMPARE(QueryOne(board.journalFile, "SELECT seen_utc FROM periods WHERE end_utc IS NULL"),
                 t0 + 1800);
        QVERIFY(Agree(board));

        // The running timer's 10 minutes count towards what may be removed.
        QVERIFY(!board.ledger.AddTime(2, -601));
        QVERIFY(board.ledger.AddTime(2, -600));
        QCOMPARE(ProfileSeconds(board.profileFile)[2], 0);
        QVERIFY(!board.ledger.AddTime(0, std::numeric_limits<int>::max() - 1199));
        QVERIFY(board.ledger.AddTime(0, 3600));
        QVERIFY(Agree(board));

        // Undo of the names dialog's two resets, made while timer 2 ran on.
        board.clock.Advance(300);
        std::array<int, 10> flags{};
        flags[0] = flags[2] = 1;
        TimerStore::ApplyFieldResets(board.ledger, flags);
        board.clock.Advance(60);
        QCOMPARE(board.sink.UndoLabel().value_or(QString()), QStringLiteral("Reset of 2 timers"));
        board.Undo();
        board.ledger.SaveRunningTimer();
        QCOMPARE(ProfileSeconds(board.profileFile)[0], 4800);
        QCOMPARE(ProfileSeconds(board.profileFile)[2], 360); // 0 + the 6 minutes it ran since
        QCOMPARE(board.sink.UndoLabel().value_or(QString()),
                 QStringLiteral("Adjustment of \"My Project Text 1\""));
        QCOMPARE(board.sink.UndoLabel(true).value_or(QString()), QStringLiteral("Reset of 2 timers"));
        QVERIFY(Agree(board));

        // Reset All, undone; a first run leaves nothing to undo.
        const std::array<qint64, 10> before = ProfileSeconds(board.profileFile);
        TimerStore::ResetAllTimers(board.ledger, board.display, [](const QString&) { return true; });
        QCOMPARE(board.sink.UndoLabel().value_or(QString()), QStringLiteral("Reset All Timers"));
        board.Undo();
        QCOMPARE(ProfileSeconds(board.profileFile), before);
        QVERIFY(Agree(board));
        board.profile.WriteProfileInt(kTimer, kInit, 0);
        TimerStore::InitProfile(board.profile, board.clock, board.ledger);
        QVERIFY(!board.sink.UndoLabel() && !board.sink.UndoLabel(true));
        QCOMPARE(board.Undo().outcome, PeriodSink::Corrected::Outcome::Refused);
    }

    // The Edit menu names what Undo would undo and which timer Resume would restart, from the journal.
    void editMenuUndoesAndResumes() {
        QTemporaryDir dir;
        Board board(dir.path(), BoardOnFiles::Started{});
        CKelvraDoc document;
        CMainFrame frame(std::make_shared<Profile>(board.profileFile), board.clock, document, &board.sink);
        frame.SetJournal(&board.sink);
        CKelvraView& view = *frame.View();
        view.OnInitialUpdate();
        QAction& undo = *frame.CommandAction(ID_EDIT_UNDO_RESET);
        QAction& resume = *frame.CommandAction(ID_EDIT_RESUME);
        const auto menu = [&] {
            frame.UpdateEditMenu();
            return QStringList{undo.text() + (undo.isEnabled() ? u""_s : u" (off)"_s),
                               resume.text() + (resume.isEnabled() ? u""_s : u" (off)"_s)};
        };
        QCOMPARE(menu(), QStringList({u"Undo (off)"_s, u"Resume (off)"_s}));
        view.SelectRow(3);
        board.clock.Advance(600);
        view.SelectRow(0);
        board.clock.Advance(11 * 3600);
        QCOMPARE(menu(), QStringList({u"Undo (off)"_s, u"Resume My Project Text 3"_s}));
        frame.OnCommand(ID_EDIT_RESUME);
        QCOMPARE(view.Ledger().Running(), 3);
        QCOMPARE(menu()[1], u"Resume (off)"_s); // it runs
        board.clock.Advance(60);
        view.SelectRow(0);
        board.clock.Advance(12 * 3600);
        QCOMPARE(menu()[1], u"Resume (off)"_s); // too long ago

        QTimer::singleShot(0, [] {
            qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->button(QMessageBox::Yes)->click();
        });
        frame.OnCommand(ID_RESET_ALL);
        QCOMPARE(menu()[0], u"Undo Reset All Timers"_s);
        frame.OnCommand(ID_EDIT_UNDO_RESET);
        QCOMPARE(ProfileSeconds(board.profileFile)[2], 660);
        QCOMPARE(menu()[0], u"Undo (off)"_s);
        QAction& redo = *frame.CommandAction(ID_EDIT_REDO_CHANGE);
        QVERIFY(redo.isEnabled() && redo.text() == u"Redo Reset All Timers"_s);
        frame.OnCommand(ID_EDIT_REDO_CHANGE);
        QCOMPARE(ProfileSeconds(board.profileFile)[2], 0);
        frame.OnCommand(ID_EDIT_UNDO_RESET);
        QCOMPARE(ProfileSeconds(board.profileFile)[2], 660);
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<CFieldNamesDlg*>(QApplication::activeModalWidget());
            qobject_cast<QLineEdit*>(dialog->Form().Control(IDC_FIELD_3))->setText(u"R&D"_s);
            qobject_cast<QCheckBox*>(dialog->Form().Control(IDC_RESET_3))->click();
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        view.EditFieldNames();
        QCOMPARE(menu()[0], u"Undo Reset of \"R&&D\""_s); // the '&' shown, not a shortcut
        QCOMPARE(JournalSeconds(board.journalFile), ProfileSeconds(board.profileFile));
    }

    // A second board on another profile that names this journal records nothing and says why. The
    // names dialog stores every keystroke; the journal gets one rename per changed row, and its Reset
    // boxes one reset each.
    void oneWriterAndOneRenamePerChangedRow() {
        QTemporaryDir dir;
        Board board(dir.path(), BoardOnFiles::Started{});
        Profile other(dir.filePath(QStringLiteral("other.conf")));
        JournalSink second(board.journalFile, board.clock, other);
        QVERIFY(second.Attach().problem.contains(QStringLiteral("in use by another Kelvra board")));
        QVERIFY(!second.IsRecording());
        CKelvraDoc document;
        auto profile = std::make_shared<Profile>(board.profileFile);
        CMainFrame frame(profile, board.clock, document, &board.sink);
        frame.View()->OnInitialUpdate();
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<CFieldNamesDlg*>(QApplication::activeModalWidget());
            auto* edit = qobject_cast<QLineEdit*>(dialog->Form().Control(IDC_FIELD_1));
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("abc"));
            qobject_cast<QCheckBox*>(dialog->Form().Control(IDC_RESET_2))->click();
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        frame.View()->EditFieldNames();
        QCOMPARE(QueryOne(board.journalFile, "SELECT count(*) FROM events WHERE kind = 'rename'"), 1);
        QCOMPARE(
            QueryOne(board.journalFile, "SELECT timer FROM events WHERE kind = 'rename' AND name = 'abc'"),
            0);
        QCOMPARE(QueryOne(board.journalFile, "SELECT timer FROM events WHERE kind = 'reset'"), 1);
    }

    // --track and --note: straight to the files with no board (a period after the last reset counts on
    // the board, an overlap, a day that does not exist or a name of two timers is refused with status 2),
    // then through a live board in a child process, whose running period takes the note.
    void trackAndNoteFromTheCommandLine() {
        QTemporaryDir dir;
        const QString profileFile = dir.filePath(QStringLiteral("p.conf"));
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        {
            Board board(dir.path(), now - 86400); // set up a day ago
            board.Start();
        }
        const auto kelvra = [&](const QStringList& arguments) {
            return RunProgram(QStringList{u"--profile"_s, profileFile} + arguments);
        };
        const auto local = [](qint64 utc) {
            return QDateTime::fromSecsSinceEpoch(utc).toString(u"yyyy-MM-ddTHH:mm:ss"_s);
        };
        const QString note = u"Call \"Ann\", \u05e9\u05dc\u05d5\u05dd"_s;
        Run run = kelvra({u"--track"_s, local(now - 7200), local(now - 3600), u"2"_s, u"--note"_s, note});
        QCOMPARE(run.code, 0);
        QCOMPARE(ProfileSeconds(profileFile)[1], 3600);
        QCOMPARE(JournalSeconds(profileFile + u".journal"_s), ProfileSeconds(profileFile));
        run = kelvra({u"--track"_s, local(now - 4000), local(now - 3000), u"My Project Text 4"_s});
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains("overlap \"My Project Text 2\""), run.err.constData());
        QCOMPARE(kelvra({u"--track"_s, u"2026-02-30T10:00"_s, u"2026-03-01T10:00"_s, u"1"_s}).code, 2);
        QCOMPARE(kelvra({u"--track"_s, u"2026/02/03T10:00"_s, u"2026-03-01T10:00"_s, u"1"_s}).code, 2);
        run = kelvra({u"--track"_s, local(now - 600), local(now - 300), u"My"_s});
        QVERIFY(run.code == 2 && run.err.count("My Project Text") == 10);
        QCOMPARE(kelvra({u"--note"_s, u"x"_s}).code, 3); // no board, no running period
        run = kelvra({u"--report=csv"_s, u"--periods"_s});
        QVERIFY2(run.out.contains(note.toUtf8().replace("\"", "\"\"")), run.out.constData());

        // Through a live board: timer 3 runs there; the added period and the note are recorded by it.
        QProcess board;
        board.start(qEnvironmentVariable("KELVRA_BOARD_CHILD"), {profileFile});
        QVERIFY(board.waitForReadyRead(20000));
        QCOMPARE(board.readAllStandardOutput().trimmed(), QByteArray("running"));
        QCOMPARE(kelvra({u"--track"_s, local(now - 3000), local(now - 2400), u"4"_s}).code, 0);
        QCOMPARE(kelvra({u"--note"_s, QString(1200, u'n')}).code, 0); // cut to 1,000, and said
        QTest::qWait(2100); // the running period is two seconds long at least
        run = kelvra({u"--track"_s, local(QDateTime::currentSecsSinceEpoch() - 1),
                      local(QDateTime::currentSecsSinceEpoch()), u"5"_s});
        QCOMPARE(run.code, 2); // the running period
#ifdef Q_OS_WIN
        // Offscreen, there is no window to ask to close: the timer is stopped, then the process ended.
        QCOMPARE(kelvra({u"--stop"_s}).code, 0);
        board.kill();
#else
        board.terminate();
#endif
        QVERIFY(board.waitForFinished(10000));
        QCOMPARE(ProfileSeconds(profileFile)[3], 600);
        QCOMPARE(JournalSeconds(profileFile + u".journal"_s), ProfileSeconds(profileFile));
        QCOMPARE(QueryOne(profileFile + u".journal"_s,
                          "SELECT length(note) FROM periods WHERE timer = 2 AND live = 1"),
                 1000);
    }

    // A board killed while a timer runs: the next start charges what the heartbeat saw, at most a
    // minute short, and offers to resume the timer.
    void killedBoardLosesAtMostAMinute() {
        QTemporaryDir dir;
        const QString profileFile = dir.filePath(QStringLiteral("p.conf"));
        QProcess child;
        child.start(qEnvironmentVariable("KELVRA_BOARD_CHILD"), {profileFile});
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("running"));
        LetTimePass(90);
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(ProfileSeconds(profileFile)[2], 0);

        CommandLine commandLine;
        commandLine.profileFile = profileFile;
        CKelvraApp kelvra;
        QCOMPARE(kelvra.InitInstance(commandLine), CKelvraApp::Start::Running);
        QTRY_VERIFY(kelvra.MainFrame()->View()->Ledger().Seconds(2) > 0); // shown once it is charged
        const qint64 charged = ProfileSeconds(profileFile)[2];
        QVERIFY2(charged >= 60 && charged <= 90, qPrintable(QString::number(charged)));
        QCOMPARE(kelvra.MainFrame()->View()->Ledger().Running(), 0);
        QMessageBox* notice = nullptr;
        QTRY_VERIFY((notice = kelvra.MainFrame()->findChild<QMessageBox*>()) != nullptr);
        QVERIFY(notice->isVisible() && !notice->isModal() &&
                notice->text().contains(QStringLiteral("My Project Text 3")));
        qobject_cast<QPushButton*>(notice->buttons().value(0))->click(); // "Resume"
        QCOMPARE(kelvra.MainFrame()->View()->Ledger().Running(), 3);
    }

    // The profile's seconds changed by hand while no board ran: the next start keeps them, records the
    // difference as a dated balance and says so once; an undo then gives back what a reset cleared.
    void handEditIsKeptAndRecordedAsABalance() {
        QTemporaryDir dir;
        {
            Board board(dir.path(), BoardOnFiles::Started{});
            board.Charge(2, 4);
            board.Switch(0);
        }
        Profile(dir.filePath(QStringLiteral("p.conf"))).WriteProfileInt(kTimerSec, IndexEntry(1), 3600);
        Board board(dir.path(), BoardOnFiles::Started{});
        QVERIFY(board.reconciled && board.reconciled->balances.size() == 1);
        QVERIFY(board.reconciled->balances[0].index == 1 && board.reconciled->balances[0].seconds == 3596);
        QVERIFY(ProfileSeconds(board.profileFile)[1] == 3600 && Agree(board));
        std::array<int, 10> flags{};
        flags[1] = 1;
        TimerStore::ApplyFieldResets(board.ledger, flags);
        board.Undo();
        QCOMPARE(ProfileSeconds(board.profileFile)[1], 3600);
        Board again(dir.path(), BoardOnFiles::Started{});
        QVERIFY(!again.reconciled); // told once
        QCOMPARE(QueryOne(again.journalFile, "SELECT count(*) FROM events WHERE kind = 'balance'"), 1);
    }

    // The disk fills while a timer runs and empties again: the board charges the profile alone
    // meanwhile, the journal takes the difference as a balance at the next change, nothing is moved
    // aside, and every period recorded before is still there.
    void fullDiskThenRoomAgain() {
        QTemporaryDir dir;
        if (QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=2m"), QStringLiteral("kelvra-test"), dir.path()}) != 0) {
            QSKIP("needs to mount a tmpfs (root)");
        }
        const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {dir.path()}); });
        const QString filler = dir.filePath(QStringLiteral("filler"));
        {
            Board board(dir.path(), BoardOnFiles::Started{});
            board.RunPeriods(20);
            const qint64 periods = QueryOne(board.journalFile, "SELECT count(*) FROM periods");
            QFile fill(filler);
            QVERIFY(fill.open(QIODevice::WriteOnly));
            const QByteArray block(64 * 1024, 'x');
            while (fill.write(block) == block.size() && fill.flush()) {
            }
            fill.close();
            QString told;
            board.sink.SetProblemHandler([&told](const QString& problem) { told = problem; });
            board.clock.Advance(100);
            board.Switch(5); // neither file can take it
            QVERIFY2(!board.sink.IsRecording() && told.contains(QStringLiteral("disk full")),
                     qPrintable(told));
            QVERIFY(!board.profile.SaveProblem().isEmpty());
            board.clock.Advance(50);
            board.ledger.Heartbeat();
            QVERIFY(QFile::remove(filler));
            board.clock.Advance(30);
            board.Switch(0); // room again: both catch up
            QVERIFY(board.sink.IsRecording() && board.profile.SaveProblem().isEmpty() && Agree(board));
            QVERIFY(QueryOne(board.journalFile, "SELECT count(*) FROM periods") >= periods);
        }
        Board board(dir.path(), BoardOnFiles::Started{});
        QVERIFY(!board.reconciled && Agree(board) && AsideFiles(dir.path()).isEmpty());
        QCOMPARE(board.ledger.Seconds(1) + board.ledger.Seconds(4), 7 * 60 + 100 + 80);
    }

    // A whole board under libfaketime: its calendar clock set back an hour, then forward a day, while a
    // timer runs. Only the seconds that passed are charged.
    void realBoardIgnoresClockSteps() {
        const QString faketime = QStringLiteral("/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1");
        if (QSysInfo::kernelType() != u"linux" || !QFile::exists(faketime)) {
            QSKIP("needs libfaketime");
        }
        QTemporaryDir dir;
        const QString profileFile = dir.filePath(QStringLiteral("p.conf"));
        const QString offset = dir.filePath(QStringLiteral("offset"));
        QVERIFY(WriteBytes(offset, "+0\n"));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_PRELOAD"), faketime);
        environment.insert(QStringLiteral("FAKETIME_TIMESTAMP_FILE"), offset);
        environment.insert(QStringLiteral("FAKETIME_NO_CACHE"), QStringLiteral("1"));
        environment.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
        // A sanitized build wants its runtime first among the preloaded libraries; this one may follow.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                                               QStringLiteral(":verify_asan_link_order=0"));
        child.setProcessEnvironment(environment);
        QElapsedTimer ran;
        child.start(qEnvironmentVariable("KELVRA_BOARD_CHILD"), {profileFile});
        QVERIFY(child.waitForReadyRead(20000));
        ran.start();
        for (const char* step : {"+0\n", "-3600\n", "+86400\n"}) {
            QVERIFY(WriteBytes(offset, step));
            LetTimePass(2);
        }
        child.terminate();
        QVERIFY(child.waitForFinished(10000));
        const qint64 charged = ProfileSeconds(profileFile)[2];
        QVERIFY2(charged >= 4 && charged <= ran.elapsed() / 1000 + 1, qPrintable(QString::number(charged)));
        QCOMPARE(JournalSeconds(profileFile + QStringLiteral(".journal")), ProfileSeconds(profileFile));
    }

    // A damaged journal: not a database, truncated, a broken schema page or events page, found as the
    // board opens it; random bytes in a page of old periods it never reads, found by the check after the
    // first paint. Either way the board says so, rebuilds the journal from what it can read off the
    // window thread while it goes on charging, keeps the damaged file, and charges a period a dead
    // board left open if that could be read; the two agree again, what was lost being a balance. A
    // report gives what it can read of the damaged file, says what it skipped and fails; on the new one
    // it succeeds.
    void damageIsFoundSalvagedAndKept_data() {
        QTest::addColumn<QString>("damage");
        for (const char* damage : {"garbage", "truncate", "schema page", "events page", "old periods"}) {
            QTest::newRow(damage) << QString::fromLatin1(damage);
        }
    }
    void damageIsFoundSalvagedAndKept() {
        QFETCH(QString, damage);
        QTemporaryDir dir;
        const QString journal = dir.filePath(QStringLiteral("p.conf.journal"));
        {
            Board board(dir.path(), BoardOnFiles::Started{});
            board.RunPeriods(600);
            board.ledger.Heartbeat();
        } // dies with a period open
        qint64 page = 0, pageSize = 0;
        {
            Sql::Database db;
            QVERIFY(db.Open(journal, Sql::Database::Mode::ReadOnly).Ok() &&
                    db.QueryInt("PRAGMA page_size", pageSize).Ok() &&
                    db.QueryInt(damage == u"events page"
                                    ? "SELECT rootpage FROM sqlite_master WHERE name = 'events'"
                                    : "SELECT rootpage FROM sqlite_master WHERE name = 'periods'",
                                page)
                        .Ok());
        }
        QByteArray bytes = FileBytes(journal);
        if (damage != u"events page") { // the sixth leaf of periods: two levels hold 600 rows
            const char* root = bytes.constData() + (page - 1) * pageSize;
            QVERIFY(root[0] == 0x05); // an inner page of a table
            page = qFromBigEndian<quint32>(root + qFromBigEndian<quint16>(root + 12 + 2 * 5));
            QVERIFY(page * pageSize <= bytes.size() && bytes[(page - 1) * pageSize] == 0x0d); // a leaf
        }
        QRandomGenerator random(718);
        const qint64 from = damage == u"schema page" ? 100 : (page - 1) * pageSize;
        for (qint64 i = from; i < from + pageSize; ++i) {
            bytes[i] = static_cast<char>(random.bounded(256));
        }
        bytes = damage == u"garbage"    ? QByteArray(5000, 'x')
                : damage == u"truncate" ? bytes.left(bytes.size() / 2)
                                        : bytes;
        QVERIFY(page > 2 && WriteBytes(journal, bytes));
        const Run damaged = Report(QStringLiteral("--report=csv --periods"), journal);
        // A report reads periods and the adjustments among the events: damage to either is told.
        QVERIFY2(damaged.code == 1 && damaged.err.startsWith("kelvra: ") && damaged.err.count('\n') == 1 &&
                     !damaged.err.endsWith(".\n") &&
                     (damage != u"events page" || damaged.err.contains("unreadable events")),
                 damaged.err.constData());
        if (damage == u"old periods") {
            QVERIFY2(damaged.err.contains(" is damaged (") && damaged.out.count('\n') > 400,
                     damaged.err.constData());
        }

        CommandLine commandLine;
        commandLine.profileFile = dir.filePath(QStringLiteral("p.conf"));
        {
            CKelvraApp kelvra;
            QCOMPARE(kelvra.InitInstance(commandLine), CKelvraApp::Start::Running);
            const auto told = [&](const QString& what) {
                const QList<QMessageBox*> boxes = kelvra.MainFrame()->findChildren<QMessageBox*>();
                return std::any_of(boxes.begin(), boxes.end(),
                                   [&](auto* box) { return box->text().contains(what); });
            };
            QTRY_VERIFY_WITH_TIMEOUT(told(QStringLiteral("was rebuilt")), 10000);
            if (damage == u"events page" || damage == u"old periods") {
                QTRY_VERIFY(told(QStringLiteral("did not close properly")));
            }
            CKelvraView& view = *kelvra.MainFrame()->View();
            view.SelectRow(4);
            view.SelectRow(0);
        }
        const QStringList aside = AsideFiles(dir.path());
        QCOMPARE(aside.size(), 1);
        QCOMPARE(Report(QStringLiteral("--report=csv --periods"), dir.filePath(aside[0])).code, damaged.code);
        QCOMPARE(Report(QStringLiteral("--report=csv --periods"), journal).code, 0);
        QCOMPARE(JournalSeconds(journal), ProfileSeconds(commandLine.profileFile));
    }

    // The X server goes away while a timer runs: Qt ends the process from inside the event loop, and
    // the open period is still stored.
    void brokenDisplayStillStoresTheOpenPeriod() {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
            QSKIP("needs Xvfb");
        }
        QTemporaryDir dir;
        QProcess xvfb;
        // The server picks a free display and writes its number once it takes connections.
        xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(xvfb.waitForReadyRead(10000));
        bool bNumber = false;
        const int number = xvfb.readLine().trimmed().toInt(&bNumber);
        QVERIFY(bNumber);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(number));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        child.setProcessEnvironment(environment);
        const QString profileFile = dir.filePath(QStringLiteral("p.conf"));
        child.start(qEnvironmentVariable("KELVRA_BOARD_CHILD"), {profileFile});
        QVERIFY(child.waitForReadyRead(20000));
        LetTimePass(2);
        xvfb.kill();
        xvfb.waitForFinished();
        QVERIFY(child.waitForFinished(10000));
        QVERIFY(ProfileSeconds(profileFile)[2] >= 2);
        QCOMPARE(JournalSeconds(profileFile + QStringLiteral(".journal")), ProfileSeconds(profileFile));
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    JournalTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_journal.moc"
