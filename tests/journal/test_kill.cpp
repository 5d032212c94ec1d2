#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// One line of the driver's output: a tag and ten numbers.
using Seconds = QList<qint64>;

Seconds Numbers(const QByteArray& line) {
    Seconds seconds;
    const QList<QByteArray> fields = line.trimmed().split(' ');
    for (qsizetype i = 1; i < fields.size(); ++i) {
        seconds << fields[i].toLongLong();
    }
    return seconds;
}

struct Outcome {
    bool bKilled = false;
    QList<QByteArray> lines;
};

// The driver, killed at call `n` of `sync` when n > 0.
Outcome Drive(const QString& mode, const QString& folder, const QString& sync = {}, int n = 0) {
    const QString driver = qEnvironmentVariable("KELVRA_TEST_BIN") + u"/kill_driver"_s;
    QProcess process;
    if (n > 0) {
        process.start(u"strace"_s,
                      {u"-f"_s, u"-o"_s, u"/dev/null"_s, u"-e"_s, u"trace="_s + sync, u"-e"_s,
                       u"inject=%1:signal=SIGKILL:when=%2"_s.arg(sync).arg(n), driver, mode, folder});
    } else {
        process.start(driver, {mode, folder});
    }
    process.waitForFinished(30000);
    Outcome outcome;
    outcome.lines = process.readAllStandardOutput().split('\n');
    // strace reports the tracee's death by the signal as its own exit status.
    outcome.bKilled = process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0;
    return outcome;
}

QList<Seconds> Tagged(const Outcome& outcome, char tag) {
    QList<Seconds> found;
    for (const QByteArray& line : outcome.lines) {
        if (line.startsWith(tag)) {
            found << Numbers(line);
        }
    }
    return found;
}

} // namespace

// The board's changes, each killed at every sync call it makes: a switch, a heartbeat, a charge at
// closing, Reset All, an undo, time added to the running timer, the names dialog's resets, time away
// discarded; and the start after a kill killed at each of its own. Whatever the moment, the next start
// finds a profile and a journal that agree, every period charged once, and the open period short by at
// most a minute, never long.
class KillTest final : public QObject {
    Q_OBJECT

    int m_nPoints = 0;

    // After a run killed at `n`: the state a start finds is the one before the change in flight, or
    // the one after it, exactly.
    void CheckAfterKill(const QString& folder, const Outcome& run, const QString& where) {
        // Killed before the first line: the files of a fresh start, all zero.
        const Seconds zero(10, 0);
        const QList<Seconds> dead = Tagged(run, 'D');
        const QList<Seconds> whole = Tagged(run, 'F');
        const Outcome check = Drive(u"check"_s, folder);
        QVERIFY2(!check.bKilled, qPrintable(where));
        const Seconds profile = Tagged(check, 'P').value(0);
        QCOMPARE(Tagged(check, 'J').value(0), profile);
        // The change in flight, if it finished: the driver prints it at once, so it is the next line it
        // would have printed. The full run's lines give it.
        const qsizetype done = dead.size();
        const Seconds before = dead.isEmpty() ? zero : dead.last();
        const Seconds after = m_full.value(done, before);
        QVERIFY2(profile == before || profile == after,
                 qPrintable(where + u": profile %1, expected %2 or %3"_s.arg(Text(profile), Text(before),
                                                                             Text(after))));
        for (qsizetype i = 0; i < profile.size(); ++i) {
            // Never more than ran, and at most a minute less.
            const Seconds ranBefore = whole.isEmpty() ? zero : whole.last();
            const qint64 ran = profile == before ? ranBefore[i] : m_fullWhole.value(done, ranBefore)[i];
            QVERIFY2(profile[i] <= ran && ran - profile[i] <= 60, qPrintable(where));
        }
        QVERIFY2(QDir(folder).entryList({u"*.corrupt-*"_s}).isEmpty(), qPrintable(where));
    }

    static QString Text(const Seconds& seconds) {
        QStringList parts;
        for (qint64 s : seconds) {
            parts << QString::number(s);
        }
        return parts.join(u' ');
    }

    QList<Seconds> m_full, m_fullWhole;

private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable(u"strace"_s).isEmpty()) {
            QSKIP("needs strace");
        }
        QTemporaryDir dir;
        const Outcome full = Drive(u"run"_s, dir.path());
        QVERIFY(!full.bKilled && full.lines.contains("END"));
        m_full = Tagged(full, 'D');
        m_fullWhole = Tagged(full, 'F');
        QVERIFY(m_full.size() > 10);
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
            const Outcome run = Drive(u"run"_s, dir.path(), sync, n);
            if (!run.bKilled) {
                QVERIFY(run.lines.contains("END"));
                break;
            }
            ++m_nPoints;
            CheckAfterKill(dir.path(), run, u"%1 #%2"_s.arg(sync).arg(n));
            if (QTest::currentTestFailed()) {
                return;
            }
        }
        qInfo("%d kill points so far", m_nPoints);
    }

    // A start that reconciles and recovers, killed at each of its own sync calls, after runs killed
    // where a change was recorded and not yet written, and where a period was left open.
    void startKilledWhileItRecovers() {
        for (int killAt : {3, 9, 17, 26}) {
            for (int n = 1;; ++n) {
                QTemporaryDir dir;
                const Outcome run = Drive(u"run"_s, dir.path(), u"fsync"_s, killAt);
                QVERIFY(run.bKilled);
                const Outcome start = Drive(u"check"_s, dir.path(), u"fsync"_s, n);
                if (!start.bKilled) {
                    break;
                }
                ++m_nPoints;
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
