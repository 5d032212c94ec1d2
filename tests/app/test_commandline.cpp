#include "app/CommandLine.h"
#include "control/ControlCommand.h"
#ifndef _WIN32
#include "front/FrontCommand.h"
#endif

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using Action = CommandLine::Action;
using Format = Kelvra::ReportFormat;
using Unit = JournalReport::Unit;

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Format)

namespace {

CommandLine Parse(const QString& line) {
    return CommandLine::Parse(QStringList{u"kelvra"_s} + line.split(u' ', Qt::SkipEmptyParts));
}

} // namespace

// What each command line asks for, parsed without a window system; test_app runs the real program.
class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Action>("action");
        QTest::addColumn<Format>("format");
        QTest::addColumn<int>("unit"); // -1: the board's totals, not a dated report
        QTest::addColumn<QString>("error");
        // clang-format off
        QTest::newRow("help") << "-h" << Action::Help << Format::Text << -1 << "";
        QTest::newRow("version") << "--version --profile x" << Action::Version << Format::Text << -1 << "";
        QTest::newRow("report csv") << "--report csv" << Action::Report << Format::Csv << -1 << "";
        QTest::newRow("report, then a document") << "--report csvs" << Action::Report << Format::Text << -1 << "";
        QTest::newRow("by week") << "--report=json --by week" << Action::Report << Format::Json << int(Unit::Week) << "";
        QTest::newRow("periods in a range") << "--report --periods --from=2026-01-01 --to 2026-01-01" << Action::Report << Format::Text << int(Unit::Period) << "";
        QTest::newRow("unknown format") << "--report=xml" << Action::Error << Format::Text << -1 << "unknown report format 'xml'";
        QTest::newRow("by without report") << "--by=day" << Action::Error << Format::Text << -1 << "go with --report";
        QTest::newRow("by and periods") << "--report --by=day --periods" << Action::Error << Format::Text << -1 << "cannot be given together";
        QTest::newRow("range without a unit") << "--report --from=2026-01-01" << Action::Error << Format::Text << -1 << "go with --by or --periods";
        QTest::newRow("no such date") << "--report --periods --from=2026-02-30" << Action::Error << Format::Text << -1 << "invalid date '2026-02-30' for --from: no such day";
        QTest::newRow("slashes") << "--report --periods --from=2026/04/05" << Action::Error << Format::Text << -1 << "invalid date '2026/04/05' for --from (YYYY-MM-DD)";
        QTest::newRow("unpadded") << "--report --by=day --to=2026-4-5" << Action::Error << Format::Text << -1 << "invalid date '2026-4-5' for --to (YYYY-MM-DD)";
        QTest::newRow("wide digits") << u"--report --by=day --to=２０２６-04-05"_s << Action::Error << Format::Text << -1 << "(YYYY-MM-DD)";
        QTest::newRow("from twice") << "--report --by=day --from=2026-01-01 --from 2026-02-01" << Action::Error << Format::Text << -1 << "--from may be given only once";
        QTest::newRow("report twice") << "--report=csv --by=day --report" << Action::Error << Format::Text << -1 << "--report may be given only once";
        QTest::newRow("unknown zone") << "--report --by=day --tz=Mars/Olympus_Mons" << Action::Error << Format::Text << -1 << "unknown time zone 'Mars/Olympus_Mons' for --tz";
        QTest::newRow("zone abbreviation") << "--report --periods --tz CEST" << Action::Error << Format::Text << -1 << "unknown time zone 'CEST'";
        QTest::newRow("zone as a rule") << "--report --periods --tz=CET-1CEST,M3.5.0,M10.5.0/3" << Action::Error << Format::Text << -1 << "unknown time zone";
        QTest::newRow("zone without a unit") << "--report --tz=UTC" << Action::Error << Format::Text << -1 << "go with --by or --periods";
        QTest::newRow("tz twice") << "--report --by=day --tz=UTC --tz Europe/Berlin" << Action::Error << Format::Text << -1 << "--tz may be given only once";
        QTest::newRow("from after to") << "--report --by=month --from=2026-12-08 --to=2026-12-07" << Action::Error << Format::Text << -1 << "comes after";
        QTest::newRow("unknown option") << "--bogus" << Action::Error << Format::Text << -1 << "nknown option '--bogus'";
        QTest::newRow("two documents") << "a.kel b.kel" << Action::Error << Format::Text << -1 << "at most one document";
        QTest::newRow("status csv") << "--status=csv" << Action::Error << Format::Text << -1 << "unknown status format 'csv'";
        QTest::newRow("two commands") << "--start 3 --stop" << Action::Error << Format::Text << -1 << "cannot be given together";
        QTest::newRow("status and report") << "--report --status" << Action::Error << Format::Text << -1 << "cannot be given together";
        QTest::newRow("command and document") << "--stop doc.kel" << Action::Error << Format::Text << -1 << "take no document";
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

    // What the running board is asked; only plain digits 1 to 10 make a row.
    void controlCommands() {
        using Request = ControlMessage::Request;
        const struct {
            QString line;
            Request request;
            Format format;
        } rows[] = {{u"--start 10"_s, {Request::Verb::Start, 10, {}}, Format::Text},
                    {u"--start 11"_s, {Request::Verb::StartName, 0, "11"}, Format::Text},
                    {u"--start Caf\u00e9"_s, {Request::Verb::StartName, 0, "Caf\xc3\xa9"}, Format::Text},
                    {u"--stop"_s, {Request::Verb::Stop, 0, {}}, Format::Text},
                    {u"--status=json --profile p"_s, {Request::Verb::Status, 0, {}}, Format::Json}};
        for (const auto& row : rows) {
            const CommandLine c = Parse(row.line);
            QVERIFY2(c.action == Action::Control && c.control == row.request, qPrintable(row.line));
            QCOMPARE(c.statusFormat, row.format);
        }
    }

    // Qt's own options are left for QApplication, values and all; none of them is a document or an error.
    void qtOptionsAreSetAside() {
        const CommandLine c = Parse(u"-session 1a2b -style=Fusion -reverse doc.kel -nograb"_s);
        QCOMPARE(c.action, Action::Run);
        QCOMPARE(c.qtOptions,
                 (QStringList{u"-session"_s, u"1a2b"_s, u"-style=Fusion"_s, u"-reverse"_s, u"-nograb"_s}));
        QCOMPARE(c.document, u"doc.kel"_s);
        const CommandLine valueMissing = Parse(u"x.kel -display"_s);
        QCOMPARE(valueMissing.qtOptions, QStringList{u"-display"_s});
        QCOMPARE(valueMissing.document, u"x.kel"_s);
    }

    // One style on stderr, whatever the case of the message box that shows the same text.
    void stderrLines() {
        QCOMPARE(Kelvra::StderrLine(u"The journal /j is damaged. It was moved aside."_s),
                 u"kelvra: the journal /j is damaged. It was moved aside"_s);
        QCOMPARE(Kelvra::StderrLine(u"SQLite says no"_s), u"kelvra: SQLite says no"_s); // capitals kept
        QCOMPARE(Kelvra::StderrLine(Parse(u"--x --y"_s).text), u"kelvra: unknown options: --x, --y"_s);
        QCOMPARE(Kelvra::StderrLine(Parse(u"-q --bogus=1"_s).text),
                 u"kelvra: unknown options: -q, --bogus"_s);
    }

    // The lock beside the profile is found whatever the working folder; dates and the document are kept.
    void valuesAreKept() {
        const CommandLine c = Parse(u"--profile p.conf --journal /j/h.journal --report --periods "
                                    u"--from 2026-01-31 --to=2026-02-01 doc.kel"_s);
        QCOMPARE(c.profileFile, QDir::current().filePath(u"p.conf"_s));
        QCOMPARE(c.journalFile,
                 QDir::current().absoluteFilePath(u"/j/h.journal"_s)); // with a drive on Windows
        QCOMPARE(c.reportFrom, QDate(2026, 1, 31));
        QCOMPARE(c.reportTo, QDate(2026, 2, 1));
        QCOMPARE(c.document, u"doc.kel"_s);
        for (const QString& zone : {u"UTC"_s, u"Etc/UTC"_s, u"America/Argentina/La_Rioja"_s}) {
            QCOMPARE(Parse(u"--report --by=week --tz "_s + zone).reportZone.id(), zone.toUtf8());
        }
        QVERIFY(Parse(u"--help"_s).text.contains(u"--report[=FORMAT]"_s));
        QVERIFY(Parse(u"--help"_s).text.contains(u"--status[=FORMAT]"_s));
    }
    // The front answers a command only where it reads it exactly as the Qt program does: the same request,
    // the same profile (and so the same socket). Everything it is not sure of goes to the Qt program.
    // Windows has no front: kelvra.exe is the Qt program.
    void frontAgreesWithTheQtProgram() {
#ifdef _WIN32
        QSKIP("no command front on Windows");
#else
        const QTemporaryDir home;
        QVERIFY(QDir::setCurrent(home.path()));
        // Qt reads the settings' folder once a process: HOME's is the one compared here.
        qputenv("HOME", QFile::encodeName(home.path()));
        qunsetenv("XDG_CONFIG_HOME");
        const QString note(1000, u'n');
        const QStringList taken[] = {{u"--stop"_s},
                                     {u"--status"_s},
                                     {u"--status=json"_s, u"--profile"_s, u"p.conf"_s},
                                     {u"--start"_s, u"3"_s},
                                     {u"--start=10"_s},
                                     {u"--start"_s, u"03"_s},
                                     {u"--start=Caf\u00e9 bar"_s},
                                     {u"--profile=../x/./y//p.conf"_s, u"--start"_s, u"11"_s},
                                     {u"--note"_s, note},
                                     {u"--note="_s, u"--journal"_s, u"j.db"_s},
                                     {u"--profile"_s, u"/a/../p.conf"_s, u"--stop"_s}};
        for (const QStringList& arguments : taken) {
            const CommandLine qt = CommandLine::Parse(QStringList{u"kelvra"_s} + arguments);
            std::vector<QByteArray> bytes{"kelvra"};
            for (const QString& argument : arguments) {
                bytes.push_back(argument.toUtf8());
            }
            std::vector<const char*> argv;
            for (const QByteArray& b : bytes) {
                argv.push_back(b.constData());
            }
            const FrontCommand front = FrontCommand::Read(int(argv.size()), argv.data());
            QVERIFY2(front.kind == FrontCommand::Kind::Command && qt.action == Action::Control,
                     qPrintable(arguments.join(u' ')));
            QCOMPARE(ControlMessage::Encode(front.request), ControlMessage::Encode(qt.control));
            QCOMPARE(front.bJson, qt.statusFormat == Format::Json);
            QCOMPARE(QFile::decodeName(front.profileLocation.c_str()),
                     ControlCommand::ProfileLocation(qt.profileFile));
        }
        qputenv("XDG_CONFIG_HOME", "relative/cfg");
        const std::string longNote(1001, 'n');
        const std::vector<std::vector<const char*>> handedOver{
            {"kelvra"},
            {"kelvra", "--stop"},
            {"kelvra", "--stop", "--status"},
            {"kelvra", "--start", "-3"},
            {"kelvra", "--start="},
            {"kelvra", "--status=csv"},
            {"kelvra", "--profile", "p/", "--stop"},
            {"kelvra", "--profile=a", "--profile=b", "--stop"},
            {"kelvra", "--start", "\xff"},
            {"kelvra", "--note", longNote.c_str()},
            {"kelvra", "--report"},
            {"kelvra", "--track", "x", "y", "1"},
            {"kelvra", "-platform", "xcb", "--stop"},
            {"kelvra", "--stop", "doc"},
            {"kelvra", "--help", "--stop"}};
        for (const auto& argv : handedOver) {
            QVERIFY2(FrontCommand::Read(int(argv.size()), argv.data()).kind == FrontCommand::Kind::Other,
                     argv.back());
        }
        qunsetenv("XDG_CONFIG_HOME");
#endif
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
