#include "../FileBytes.h"
#include "app/CommandLine.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <signal.h>

using namespace Qt::Literals::StringLiterals;
using Action = CommandLine::Action;
using Format = BoardReport::Format;
using Unit = JournalReport::Unit;

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Format)

namespace {

CommandLine Parse(const QString& line) {
    return CommandLine::Parse(QStringList{u"kelvra"_s} + line.split(u' ', Qt::SkipEmptyParts));
}

struct Ran {
    int code = -1; // -1: it did not end by itself
    QByteArray out;
    QByteArray err;
};

// The built program as a child.
Ran RunKelvra(const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(qEnvironmentVariable("KELVRA_EXE"), arguments);
    const bool ended = p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit;
    return {ended ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

// Whether the board came up on `profile`, kept running with its lock, and ended with 0 at SIGTERM.
bool BoardRunsAndEnds(const QStringList& arguments, const QString& profile,
                      const QProcessEnvironment& environment) {
    QProcess board;
    board.setProcessEnvironment(environment);
    board.start(qEnvironmentVariable("KELVRA_EXE"), arguments + QStringList{u"--profile"_s, profile});
    const auto locked = [&] {
        QLockFile lock(profile + u".instance"_s);
        qint64 owner = 0;
        QString host;
        QString application;
        return lock.getLockInfo(&owner, &host, &application) && owner == board.processId();
    };
    if (!board.waitForStarted(10000) ||
        !QTest::qWaitFor([&] { return board.state() != QProcess::Running || locked(); }, 20000) ||
        board.state() != QProcess::Running) {
        return false;
    }
    ::kill(static_cast<pid_t>(board.processId()), SIGTERM);
    return board.waitForFinished(10000) && board.exitStatus() == QProcess::NormalExit &&
           board.exitCode() == 0;
}

} // namespace

// What each command line asks for, parsed without a window system.
class TestCommandLine : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_environment.insert(u"HOME"_s, m_dir.path()); // nothing a child writes lands in the real home
    }

    void parse_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Action>("action");
        QTest::addColumn<Format>("format");
        QTest::addColumn<int>("unit"); // -1: the board's totals, not a dated report
        QTest::addColumn<QString>("error");
        // clang-format off
        QTest::newRow("board") << "" << Action::Run << Format::Text << -1 << "";
        QTest::newRow("help") << "-h" << Action::Help << Format::Text << -1 << "";
        QTest::newRow("version") << "--version --profile x" << Action::Version << Format::Text << -1 << "";
        QTest::newRow("report") << "--report" << Action::Report << Format::Text << -1 << "";
        QTest::newRow("report csv") << "--report csv" << Action::Report << Format::Csv << -1 << "";
        QTest::newRow("report=json") << "--report=json" << Action::Report << Format::Json << -1 << "";
        QTest::newRow("report, then a document") << "--report csvs" << Action::Report << Format::Text << -1 << "";
        QTest::newRow("by week") << "--report=csv --by week" << Action::Report << Format::Csv << int(Unit::Week) << "";
        QTest::newRow("periods in a range") << "--report --periods --from=2026-01-01 --to 2026-01-01" << Action::Report << Format::Text << int(Unit::Period) << "";
        QTest::newRow("unknown format") << "--report=xml" << Action::Error << Format::Text << -1 << "unknown report format 'xml'";
        QTest::newRow("unknown unit") << "--report --by=year" << Action::Error << Format::Text << -1 << "unknown unit 'year'";
        QTest::newRow("by without report") << "--by=day" << Action::Error << Format::Text << -1 << "go with --report";
        QTest::newRow("by and periods") << "--report --by=day --periods" << Action::Error << Format::Text << -1 << "cannot be given together";
        QTest::newRow("range without a unit") << "--report --from=2026-01-01" << Action::Error << Format::Text << -1 << "go with --by or --periods";
        QTest::newRow("no such date") << "--report --periods --from=2026-02-30" << Action::Error << Format::Text << -1 << "invalid date '2026-02-30' for --from";
        QTest::newRow("short date") << "--report --periods --to=2026-1-1" << Action::Error << Format::Text << -1 << "invalid date '2026-1-1' for --to";
        QTest::newRow("from after to") << "--report --by=month --from=2026-12-08 --to=2026-12-07" << Action::Error << Format::Text << -1 << "comes after";
        QTest::newRow("unknown option") << "--bogus" << Action::Error << Format::Text << -1 << "nknown option 'bogus'";
        QTest::newRow("two documents") << "a.kel b.kel" << Action::Error << Format::Text << -1 << "at most one document";
        // clang-format on
    }
    void parse() {
        QFETCH(QString, line);
        QFETCH(Action, action);
        QFETCH(QString, error);
        const CommandLine commandLine = Parse(line);
        QVERIFY2(commandLine.action == action, qPrintable(commandLine.text));
        if (action == Action::Error) {
            QVERIFY2(commandLine.text.contains(error), qPrintable(commandLine.text));
            return;
        }
        QTEST(commandLine.reportFormat, "format");
        QTEST(commandLine.reportUnit ? int(*commandLine.reportUnit) : -1, "unit");
    }

    // Qt's own options are left for QApplication, values and all; none of them is a document or an error.
    void qtOptionsAreSetAside_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("qtOptions");
        QTest::addColumn<QString>("document");
        QTest::newRow("session") << "-session 1a2b doc.kel" << QStringList{u"-session"_s, u"1a2b"_s}
                                 << "doc.kel";
        QTest::newRow("style=, flags")
            << "-style=Fusion -reverse doc.kel -nograb"
            << QStringList{u"-style=Fusion"_s, u"-reverse"_s, u"-nograb"_s} << "doc.kel";
        QTest::newRow("with a report")
            << "--report=csv -platform offscreen" << QStringList{u"-platform"_s, u"offscreen"_s} << "";
        QTest::newRow("value missing") << "x.kel -display" << QStringList{u"-display"_s} << "x.kel";
    }
    void qtOptionsAreSetAside() {
        QFETCH(QString, line);
        const CommandLine commandLine = Parse(line);
        QVERIFY2(commandLine.action != Action::Error, qPrintable(commandLine.text));
        QTEST(commandLine.qtOptions, "qtOptions");
        QTEST(commandLine.document, "document");
    }

    // One style on stderr, whatever the case of the message box that shows the same text.
    void stderrLines_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("line");
        QTest::newRow("sentence") << "Times cannot be saved to /p: denied."
                                  << "kelvra: times cannot be saved to /p: denied";
        QTest::newRow("two sentences") << "The journal /j is damaged. It was moved aside."
                                       << "kelvra: the journal /j is damaged. It was moved aside";
        QTest::newRow("Qt's parser") << Parse(u"--x --y"_s).text << "kelvra: unknown options: x, y";
        QTest::newRow("capitals kept") << "SQLite says no"
                                       << "kelvra: SQLite says no";
        QTest::newRow("already a line") << "cannot read /p"
                                        << "kelvra: cannot read /p";
    }
    void stderrLines() {
        QFETCH(QString, message);
        QTEST(StderrLine(message), "line");
    }

    // The lock beside the profile is found whatever the working folder; dates and the document are kept.
    void valuesAreKept() {
        const CommandLine c = Parse(u"--profile p.conf --journal /j/h.journal --report --periods "
                                    u"--from 2026-01-31 --to=2026-02-01 doc.kel"_s);
        QCOMPARE(c.profileFile, QDir::current().filePath(u"p.conf"_s));
        QCOMPARE(c.journalFile, u"/j/h.journal"_s);
        QCOMPARE(c.reportFrom, QDate(2026, 1, 31));
        QCOMPARE(c.reportTo, QDate(2026, 2, 1));
        QCOMPARE(c.document, u"doc.kel"_s);
        QVERIFY(Parse(u"--help"_s).text.contains(u"--report[=FORMAT]"_s));
    }

    // The real program: Qt's options reach Qt, which takes them before the board starts.
    void qtOptionsReachQt_data() {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("session") << QStringList{u"-session"_s, u"1a2b3c"_s};
        QTest::newRow("style") << QStringList{u"-style"_s, u"Fusion"_s};
    }
    void qtOptionsReachQt() {
        QFETCH(QStringList, options);
        QVERIFY(BoardRunsAndEnds(options, m_dir.filePath(QTest::currentDataTag()), m_environment));
        const Ran version = RunKelvra(QStringList{u"--version"_s} + options, m_environment);
        QCOMPARE(version.code, 0);
        QVERIFY2(version.out.startsWith("Kelvra "), version.out.constData());
    }

    // A wrong option ends with 2 and one line that points to the help.
    void wrongOptionFails() {
        const Ran ran = RunKelvra({u"--report"_s, u"--by=year"_s}, m_environment);
        QCOMPARE(ran.code, 2);
        QCOMPARE(ran.out, QByteArray());
        QCOMPARE(ran.err, "kelvra: unknown unit 'year' for --by (day, week or month); try 'kelvra --help'\n");
    }

    // Without a display the board says so and ends with 1, before it touches the profile; what needs no
    // window still works, and Qt's -platform still names one.
    void noDisplay_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::newRow("board") << QStringList{} << 1;
        QTest::newRow("help") << QStringList{u"--help"_s} << 0;
        QTest::newRow("version") << QStringList{u"--version"_s} << 0;
        QTest::newRow("report") << QStringList{u"--report=csv"_s} << 0;
    }
    void noDisplay() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QProcessEnvironment environment = m_environment;
        for (const QString& variable : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s}) {
            environment.remove(variable);
        }
        const QString profile = m_dir.filePath(u"shown.conf"_s);
        Profile(profile).WriteProfileString(ProfileLayout::kTimerText, ProfileLayout::IndexEntry(0),
                                            u"Shown"_s);
        const QByteArray before = FileBytes(profile);
        const Ran ran = RunKelvra(arguments + QStringList{u"--profile"_s, profile}, environment);
        QCOMPARE(ran.code, code);
        QCOMPARE(ran.err, code == 0 ? QByteArray()
                                    : "kelvra: no display available (DISPLAY/WAYLAND_DISPLAY not set); "
                                      "--report works without one\n");
        QVERIFY(code != 0 || !ran.out.isEmpty());
        QCOMPARE(FileBytes(profile), before);
        if (arguments.isEmpty()) {
            QVERIFY(BoardRunsAndEnds({u"-platform"_s, u"offscreen"_s}, profile, environment));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
