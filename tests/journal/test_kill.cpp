#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Outcome {
    bool bKilled = false;
    int code = -1;
    QMap<char, QList<QList<qint64>>> lines; // by tag, in order
};

// The driver (kill_driver.cpp), killed at call `n` of `sync` when n > 0.
Outcome Drive(const QStringList& arguments, const QString& sync = {}, int n = 0) {
    const QStringList driver =
        QStringList{qEnvironmentVariable("KELVRA_TEST_BIN") + u"/kill_driver"_s} + arguments;
    QProcess process;
    // A sanitized build's leak check cannot run under ptrace.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"ASAN_OPTIONS"_s, environment.value(u"ASAN_OPTIONS"_s) + u":detect_leaks=0"_s);
    process.setProcessEnvironment(environment);
    if (n > 0) {
        process.start(u"strace"_s,
                      QStringList{u"-f"_s, u"-o"_s, u"/dev/null"_s, u"-e"_s, u"trace="_s + sync, u"-e"_s,
                                  u"inject=%1:signal=SIGKILL:when=%2"_s.arg(sync).arg(n)} +
                          driver);
    } else {
        process.start(driver[0], driver.mid(1));
    }
    process.waitForFinished(30000);
    Outcome outcome;
    // strace dies of the signal that killed the tracee.
    outcome.bKilled = process.exitStatus() != QProcess::NormalExit;
    outcome.code = process.exitCode();
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        QList<qint64> numbers;
        for (const QByteArray& field : line.split(' ').mid(1)) {
            numbers << field.toLongLong();
        }
        outcome.lines[line.isEmpty() ? ' ' : line[0]] << numbers;
    }
    return outcome;
}

} // namespace

// The board's changes, each killed at every sync call it makes: a first run, switches, heartbeats, time
// added to the running timer, Reset All, undo, the names dialog's resets, time away discarded, a period
// added in the past, undone and done again, the running period split, and the
// charge at closing, with the calendar clock stepped while timers run; and a start killed at each of
// its own while it recovers. Whatever the moment, the
// next start finds a profile and a journal that agree, every period charged once, and the open period
// short by at most a minute, never long.
class KillTest final : public QObject {
    Q_OBJECT

    QList<QList<qint64>> m_dead, m_whole; // of a run that is never killed
    int m_nPoints = 0;

    // The state a start finds is the one before the change in flight, or the one after it, exactly,
    // whether the clock was set back an hour, forward an hour or forward a day while the board was dead.
    void CheckAfterKill(const QString& folder, const Outcome& run, const QString& where) {
        const qsizetype done = run.lines.value('D').size();
        const QList<qint64> zero(10, 0); // killed before the first line: a fresh start
        const QString step = QString::number(QList<int>{-3600, 3600, 86400}[m_nPoints % 3]);
        const Outcome check = Drive({u"check"_s, folder, step});
        const QList<qint64> profile = check.lines.value('P').value(0);
        QVERIFY2(!check.bKilled && check.code == 0 && profile.size() == 10, qPrintable(where));
        QCOMPARE(check.lines.value('J').value(0), profile);
        const bool bBefore = profile == m_dead.value(done - 1, zero);
        QVERIFY2(bBefore || profile == m_dead.value(done), qPrintable(where));
        const QList<qint64> ran = bBefore ? m_whole.value(done - 1, zero) : m_whole.value(done);
        for (qsizetype i = 0; i < 10; ++i) {
            QVERIFY2(profile[i] <= ran[i] && ran[i] - profile[i] <= 60, qPrintable(where));
        }
        QVERIFY2(QDir(folder).entryList({u"*.corrupt-*"_s}).isEmpty(), qPrintable(where));
        ++m_nPoints;
    }

private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable(u"strace"_s).isEmpty()) {
            QSKIP("needs strace");
        }
        QTemporaryDir dir;
        const Outcome full = Drive({u"run"_s, dir.path()});
        QVERIFY(!full.bKilled && full.code == 0 && full.lines.contains('E'));
        m_dead = full.lines.value('D');
        m_whole = full.lines.value('F');
    }

    void killedAtEverySyncCall_data() {
        QTest::addColumn<QString>("sync");
        QTest::newRow("fsync") << u"fsync"_s;
        QTest::newRow("fdatasync") << u"fdatasync"_s;
    }
    void killedAtEverySyncCall() {
        QFETCH(QString, sync);
        for (int n = 1;; ++n) {
            QTemporaryDir dir;
            const Outcome run = Drive({u"run"_s, dir.path()}, sync, n);
            if (!run.bKilled) {
                QVERIFY(run.code == 0 && run.lines.contains('E'));
                break;
            }
            CheckAfterKill(dir.path(), run, u"%1 #%2"_s.arg(sync).arg(n));
            if (QTest::currentTestFailed()) {
                return;
            }
        }
        qInfo("%d kill points so far", m_nPoints);
    }

    // A start killed at each of its sync calls, after runs killed where a change was recorded and not
    // yet written, and where a period was left open.
    void startKilledWhileItRecovers() {
        for (int killAt : {3, 9, 17, 26}) {
            for (int n = 1;; ++n) {
                QTemporaryDir dir;
                const Outcome run = Drive({u"run"_s, dir.path()}, u"fsync"_s, killAt);
                QVERIFY(run.bKilled);
                const Outcome start = Drive({u"check"_s, dir.path()}, u"fsync"_s, n);
                if (!start.bKilled) {
                    QCOMPARE(start.code, 0);
                    break;
                }
                CheckAfterKill(dir.path(), run,
                               u"run killed at fsync #%1, start at #%2"_s.arg(killAt).arg(n));
                if (QTest::currentTestFailed()) {
                    return;
                }
            }
        }
        qInfo("%d kill points in all", m_nPoints);
    }
};

QTEST_GUILESS_MAIN(KillTest)

#include "test_kill.moc"
