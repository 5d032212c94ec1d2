// Dated reports from real journal files, through the built program; the query behind them.
#include "../FileBytes.h"
#include "RunReport.h"
#include "journal/JournalQuery.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <ctime>
#include <map>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

// Central European time by its POSIX rule: needs no time zone database, and children inherit it.
const QByteArray kLocalZone = QByteArrayLiteral("CET-1CEST,M3.5.0,M10.5.0/3");

// Reports made from now on run in `zone`; false where that cannot be.
bool UseZone(const QByteArray& zone) {
#ifdef Q_OS_WIN // under wine, only the zone TZ named as wine started ("Europe/Berlin", from ctest)
    return zone == kLocalZone;
#else
    qputenv("TZ", zone);
    tzset();
    return true;
#endif
}

// Windows: the periods of a journal written here get afterwards the zone they were lived in.
bool LivedIn([[maybe_unused]] Sql::Database& db, [[maybe_unused]] const QByteArray& zone) {
#ifdef Q_OS_WIN
    const std::map<QByteArray, QByteArray> ids{{kLocalZone, "Europe/Berlin"}, {"JST-9", "Asia/Tokyo"}};
    const QTimeZone lived(ids.contains(zone) ? ids.at(zone) : zone);
    Sql::Statement select, update;
    bool bDone = db.Prepare("SELECT id, start_utc FROM periods", select).Ok() &&
                 db.Prepare("UPDATE periods SET zone = ?, utc_offset = ? WHERE id = ?", update).Ok();
    while (bDone && select.Next()) {
        const int offset = lived.offsetFromUtc(QDateTime::fromSecsSinceEpoch(select.Int(1)));
        bDone = update.Bind(1, QString::fromUtf8(lived.id())).Bind(2, offset).Bind(3, select, 0).Run().Ok();
    }
    return bDone && select.Finish().Ok();
#else
    return true;
#endif
}

// Strict RFC 4180: CRLF ends a record; CR, LF and other controls only inside quotes. Empty when malformed.
QList<QStringList> ParseCsv(const QString& text) {
    static const QRegularExpression field(
        QStringLiteral("(?:\"((?:[^\"]++|\"\")*+)\"|([^\",\\x00-\\x1f]*+))(,|\\r\\n)"));
    QList<QStringList> records{{}};
    for (qsizetype at = 0; at < text.size();) {
        const QRegularExpressionMatch m = field.match(text, at, QRegularExpression::NormalMatch,
                                                      QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch()) {
            return {};
        }
        records.last() << m.captured(1).replace(QStringLiteral("\"\""), QStringLiteral("\"")) + m.captured(2);
        if (m.captured(3).size() == 2) {
            records << QStringList();
        }
        at = m.capturedEnd();
    }
    return records.takeLast().isEmpty() ? records : QList<QStringList>();
}

qint64 Utc(const QString& isoWithOffset) {
    return QDateTime::fromString(isoWithOffset, Qt::ISODate).toSecsSinceEpoch();
}

using Span = std::tuple<int, QString, QString, QString>; // index, name, start, end (ISO with offset)

// "bucket=seconds" for each bucket of a JSON report.
QStringList Buckets(const Run& run) {
    QStringList found;
    for (const QJsonValue bucket : QJsonDocument::fromJson(run.out)[QStringLiteral("buckets")].toArray()) {
        found << QStringLiteral("%1=%2").arg(
            bucket[QStringLiteral("bucket")].toString(),
            bucket[QStringLiteral("total")][QStringLiteral("seconds")].toVariant().toString());
    }
    return found;
}

// "start end" for each period of a CSV report of periods.
QStringList Stamps(const Run& run) {
    QStringList found;
    for (const QStringList& record : ParseCsv(QString::fromUtf8(run.out)).mid(1)) {
        found << record.value(1) + QLatin1Char(' ') + record.value(2);
    }
    return found;
}

} // namespace

class TestReport final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // A journal of closed periods recorded in `zone`, through the board's own write calls.
    QString Write(const QString& name, const QList<Span>& periods, const QByteArray& zone = kLocalZone) {
        UseZone(zone);
        Journal journal(m_dir.filePath(name));
        bool bWritten = journal.OpenForWriting().status.Ok();
        Sql::Transaction transaction(journal.Database());
        for (const auto& [index, timer, start, end] : periods) {
            bWritten = bWritten && journal.EndPeriod(index, timer, Utc(start), Utc(end)).Ok();
        }
        bWritten = bWritten && LivedIn(journal.Database(), zone) && transaction.Commit().Ok();
        UseZone(kLocalZone);
        return bWritten ? journal.Path() : QString();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { UseZone(kLocalZone); }

    // Each piece of a period lands in the day, week or month of the zone it was lived in, wherever the
    // report is made, and shows that zone's offsets; no second is lost or doubled where the clock jumps.
    // With --tz, every period is in that zone instead.
    void splitsWhereLived_data() {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QByteArray>("lived");   // TZ where it was recorded
        QTest::addColumn<QByteArray>("shownIn"); // TZ of the report
        QTest::addColumn<QString>("tz");         // --tz, if any
        QTest::addColumn<QString>("period");     // start and end
        QTest::addColumn<QStringList>("buckets");
        QTest::addColumn<QString>("shown"); // start and end in --periods
        const auto row = [](const char* tag, const char* unit, const char* start, const char* end,
                            QStringList buckets, const QByteArray& lived = kLocalZone,
                            const QByteArray& shownIn = kLocalZone, const QString& tz = {},
                            const QString& shown = {}) {
            const QString period = QStringLiteral("%1 %2").arg(start, end);
            QTest::newRow(tag) << unit << lived << shownIn << tz << period << buckets
                               << (shown.isEmpty() ? period : shown);
        };
        row("midnight", "day", "2026-12-07T22:00:00+01:00", "2026-12-08T02:00:00+01:00",
            {"2026-12-07=7200", "2026-12-08=7200"});
        row("spring forward: 23 h", "day", "2026-03-28T22:00:00+01:00", "2026-03-30T02:00:00+02:00",
            {"2026-03-28=7200", "2026-03-29=82800", "2026-03-30=7200"});
        row("fall back: 25 h", "day", "2026-10-24T22:00:00+02:00", "2026-10-26T02:00:00+01:00",
            {"2026-10-24=7200", "2026-10-25=90000", "2026-10-26=7200"});
        row("week", "week", "2027-01-03T23:00:00+01:00", "2027-01-04T01:00:00+01:00",
            {"2026-W53=3600", "2027-W01=3600"});
        row("month", "month", "2026-11-30T23:30:00+01:00", "2026-12-01T00:30:00+01:00",
            {"2026-11=1800", "2026-12=1800"});
        row("Tokyo by its rule", "day", "2026-12-07T23:00:00+09:00", "2026-12-08T01:00:00+09:00",
            {"2026-12-07=3600", "2026-12-08=3600"}, "JST-9");
        // New York's summer time begins while it runs: Tokyo's midnight and +09:00 all the same.
        row("Tokyo in New York", "day", "2026-03-08T10:00:00+09:00", "2026-03-09T00:30:00+09:00",
            {"2026-03-08=50400", "2026-03-09=1800"}, "Asia/Tokyo", "America/New_York");
        const QStringList berlinSpring{"2026-03-28=7200", "2026-03-29=82800", "2026-03-30=7200"};
        row("Berlin in UTC", "day", "2026-03-28T22:00:00+01:00", "2026-03-30T02:00:00+02:00", berlinSpring,
            "Europe/Berlin", "UTC");
        row("New York, --tz Berlin", "day", "2026-03-28T17:00:00-04:00", "2026-03-29T20:00:00-04:00",
            berlinSpring, "America/New_York", "UTC", "Europe/Berlin",
            "2026-03-28T22:00:00+01:00 2026-03-30T02:00:00+02:00");
        row("Berlin, --tz UTC", "day", "2026-03-28T22:00:00+01:00", "2026-03-30T02:00:00+02:00",
            {"2026-03-28=10800", "2026-03-29=86400"}, "Europe/Berlin", kLocalZone, "UTC",
            "2026-03-28T21:00:00+00:00 2026-03-30T00:00:00+00:00");
    }
    void splitsWhereLived() {
        QFETCH(QString, unit);
        QFETCH(QByteArray, lived);
        QFETCH(QByteArray, shownIn);
        QFETCH(QString, tz);
        QFETCH(QString, period);
        QFETCH(QString, shown);
        const QStringList span = period.split(QLatin1Char(' '));
        const QString journal =
            Write(QTest::currentDataTag(), {{4, QStringLiteral("Work"), span[0], span[1]}}, lived);
        const QString options = QStringLiteral("--from=2026-01-01 --to=2027-12-31") +
                                (tz.isEmpty() ? QString() : QStringLiteral(" --tz=") + tz);
        if (!UseZone(shownIn)) {
            QSKIP("reports run in the zone wine started with");
        }
        const Run buckets = Report(QStringLiteral("--report=json --by=%1 ").arg(unit) + options, journal);
        const Run periods = Report(QStringLiteral("--report=csv --periods ") + options, journal);
        QTEST(Buckets(buckets), "buckets");
        QCOMPARE(Stamps(periods), QStringList{shown});
    }

    // Times typed on the command line are the local zone's, summer and winter, whatever form TZ takes.
    void trackedInTheLocalZone_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QStringList>("offsets"); // in July, in December
        QTest::newRow("New York") << QByteArray("America/New_York") << QStringList{"-04:00", "-05:00"};
        QTest::newRow("Berlin") << kLocalZone << QStringList{"+02:00", "+01:00"};
    }
    void trackedInTheLocalZone() {
        QFETCH(QByteArray, zone);
        QFETCH(QStringList, offsets);
        const QString profile = m_dir.filePath(QTest::currentDataTag() + u".conf"_s);
        if (!UseZone(zone)) {
            QSKIP("reports run in the zone wine started with");
        }
        QStringList expected;
        for (const QString& day : {u"2026-07-01"_s, u"2026-12-01"_s}) {
            QCOMPARE(Report(u"--track %1T10:00 %1T11:00 1"_s.arg(day), profile, u"--profile"_s).code, 0);
            expected << u"%1T10:00:00%2 %1T11:00:00%2"_s.arg(day, offsets[expected.size()]);
        }
        QCOMPARE(Stamps(Report(u"--report=csv --periods --from=2026-01-01"_s, profile + u".journal"_s)),
                 expected);
    }

    // A journal of version 3 knows no zones: read as it is, and once a board has taken it to version 4,
    // its periods keep the offset they were recorded at, moved onto the report's clock (or into --tz).
    void periodsWithoutZone() {
        const QString journal = Write(
            u"version 3"_s,
            {{0, u"Abroad"_s, u"2026-12-07T23:00:00+09:00"_s, u"2026-12-08T01:00:00+09:00"_s}}, "Asia/Tokyo");
        Sql::Database older;
        QVERIFY(older.Open(journal, Sql::Database::Mode::ReadWrite).Ok() &&
                older
                    .Exec("DROP INDEX periods_charged; DROP INDEX periods_made; DROP INDEX periods_gone; "
                          "DROP INDEX events_made; DROP INDEX events_gone; DROP TABLE actions; "
                          "ALTER TABLE periods DROP COLUMN zone; ALTER TABLE periods DROP COLUMN note; "
                          "ALTER TABLE periods DROP COLUMN live; ALTER TABLE periods DROP COLUMN made_by; "
                          "ALTER TABLE periods DROP COLUMN gone_by; ALTER TABLE events DROP COLUMN live; "
                          "ALTER TABLE events DROP COLUMN made_by; ALTER TABLE events DROP COLUMN gone_by; "
                          "ALTER TABLE events DROP COLUMN day; CREATE INDEX periods_charged ON "
                          "periods(timer, close_seq, end_utc - start_utc) WHERE end_utc IS NOT NULL; "
                          "PRAGMA user_version = 3;")
                    .Ok());
        for (const bool bMigrated : {false, true}) {
            Journal board(journal);
            QVERIFY(!bMigrated || board.OpenForWriting().status.Ok()); // version 4, the period's zone NULL
            const QString range = u" --from=2026-12-01 --to=2026-12-31"_s;
            QCOMPARE(Buckets(Report(u"--report=json --by=day"_s + range, journal)),
                     QStringList({"2026-12-07=3600", "2026-12-08=3600"}));
            QCOMPARE(Stamps(Report(u"--report=csv --periods --tz=UTC"_s + range, journal)),
                     QStringList{"2026-12-07T14:00:00+00:00 2026-12-07T16:00:00+00:00"});
        }
    }

    // From the first day to the last that a date can have: only days that hold a period cost anything,
    // so the report is as small as one of a week.
    void wholeCalendarInLittleMemory() {
        const QString journal =
            Write(u"0001 to 9999"_s,
                  {{0, u"First"_s, u"0001-01-01T10:00:00+01:00"_s, u"0001-01-01T11:00:00+01:00"_s},
                   {1, u"Now"_s, u"2026-12-07T09:00:00+01:00"_s, u"2026-12-07T10:00:00+01:00"_s},
                   {9, u"Last"_s, u"9999-12-31T22:00:00+01:00"_s, u"9999-12-31T23:30:00+01:00"_s}});
        const QString range = u" --from=0001-01-01 --to=9999-12-31"_s;
        const std::pair<const char*, QStringList> units[] = {
            {"day", {"0001-01-01=3600", "2026-12-07=3600", "9999-12-31=5400"}},
            {"week", {"0001-W01=3600", "2026-W50=3600", "9999-W52=5400"}}};
        for (const auto& [unit, buckets] : units) {
            QCOMPARE(Buckets(Report(u"--report=json --by="_s + QLatin1String(unit) + range, journal)),
                     buckets);
        }
        QCOMPARE(Stamps(Report(u"--report=csv --periods"_s + range, journal)).size(), 3);
#ifndef Q_OS_WIN // a finished child's peak is kept on Unix only
        rusage children{};
        QVERIFY(getrusage(RUSAGE_CHILDREN, &children) == 0 && children.ru_maxrss < 100 * 1024); // in KB
#endif
    }

    // The open period of a live board counts up to its last heartbeat and is marked running. The report
    // reads while the board writes, and reads a journal of a newer version without changing it.
    void runningPeriodUpToItsHeartbeat() {
        Journal journal(m_dir.filePath(QStringLiteral("running")));
        QVERIFY(journal.OpenForWriting().status.Ok());
        journal.EndPeriod(1, QStringLiteral("Done"), Utc(QStringLiteral("2026-12-07T09:00:00+01:00")),
                          Utc(QStringLiteral("2026-12-07T09:10:00+01:00")));
        journal.BeginPeriod(2, QStringLiteral("Now"), Utc(QStringLiteral("2026-12-07T09:10:00+01:00")),
                            Utc(QStringLiteral("2026-12-07T09:10:00+01:00")));
        QVERIFY(journal.Touch(Utc(QStringLiteral("2026-12-07T09:35:00+01:00"))).Ok());
        QVERIFY(LivedIn(journal.Database(), kLocalZone));
        QVERIFY(journal.Database().Exec("PRAGMA user_version = 99; PRAGMA wal_checkpoint(TRUNCATE);").Ok());
        const QByteArray bytes = FileBytes(journal.Path());

        const Run csv = Report(QStringLiteral("--report=csv --periods"), journal.Path());
        QCOMPARE(csv.code, 0);
        QCOMPARE(
            csv.out,
            QByteArray(
                "id,start,end,row,name,seconds,time,running,kind,day,note\r\n"
                "1,2026-12-07T09:00:00+01:00,2026-12-07T09:10:00+01:00,2,Done,600,0:10:00,false,period,,\r\n"
                "2,2026-12-07T09:10:00+01:00,2026-12-07T09:35:00+01:00,3,Now,1500,0:25:00,true,period,,"
                "\r\n"));
        const Run text = Report(QStringLiteral("--report --by=day --from=2026-12-07"), journal.Path());
        const QList<QByteArray> lines = text.out.split('\n');
        QCOMPARE(lines.size(), 5); // the header, two timers, the total, and after the last newline
        QVERIFY(lines[1].contains("Done") && !lines[1].contains("(running)"));
        QVERIFY(lines[2].contains("Now") && lines[2].endsWith(" 0:25:00  (running)"));
        QVERIFY(lines[3].contains("Total") && lines[3].endsWith(" 0:35:00"));
        QCOMPARE(FileBytes(journal.Path()), bytes);
    }

    // Whatever a name holds comes out whole in every form, next to its timer's row counted from 1 (as
    // --start counts), and a timer named "Total" or with no name is never taken for a total.
    void hostileNamesComeOutWhole_data() {
        QTest::addColumn<QString>("unit");
        QTest::newRow("by day") << "--by=day";
        QTest::newRow("periods") << "--periods";
    }
    void hostileNamesComeOutWhole() {
        QFETCH(QString, unit);
        const QStringList names = QStringLiteral("say \"hi\"|a,b|two\r\nlines|nul%1inside|%2|Total||h|i|Last")
                                      .arg(QChar(0))
                                      .arg(QString(10000, QLatin1Char('x')))
                                      .split(QLatin1Char('|'));
        QList<Span> periods;
        for (int i = 0; i < names.size(); ++i) {
            periods.append({i, names[i], QStringLiteral("2026-12-07T1%1:00:00Z").arg(i),
                            QStringLiteral("2026-12-07T1%1:30:00Z").arg(i)});
        }
        const QString journal = Write(QTest::currentDataTag(), periods);
        const auto report = [&](const char* format) {
            return QString::fromUtf8(Report(QStringLiteral("--report=%1 ").arg(format) + unit, journal).out);
        };
        const QString text = report("text");
        QStringList numbered;                    // "row=name"
        for (int i = 0; i < names.size(); ++i) { // the "#" column is as wide as "10"
            QVERIFY(text.contains(QStringLiteral("  %1  ").arg(i + 1, -2) + names[i]));
            numbered << QString::number(i + 1) + QLatin1Char('=') + names[i];
        }

        const QList<QStringList> csv = ParseCsv(report("csv"));
        const QStringList header = csv.value(0);
        // Only by day has totals.
        const qsizetype kind =
            header.contains(QStringLiteral("bucket")) ? header.indexOf(QStringLiteral("kind")) : -1;
        QStringList found;
        for (const QStringList& record : csv.mid(1)) {
            QCOMPARE(record.size(), header.size());
            found << (kind >= 0 && record[kind] == QStringLiteral("total")
                          ? QStringLiteral("<total>")
                          : record[header.indexOf(QStringLiteral("row"))] + QLatin1Char('=') +
                                record[header.indexOf(QStringLiteral("name"))]);
        }
        QCOMPARE(found, kind >= 0 ? numbered + QStringList{QStringLiteral("<total>")} : numbered);

        const QJsonObject json = QJsonDocument::fromJson(report("json").toUtf8()).object();
        found.clear();
        for (const QJsonValue timer :
             kind >= 0 ? json[QStringLiteral("buckets")][0][QStringLiteral("timers")].toArray()
                       : json[QStringLiteral("periods")].toArray()) {
            found << QString::number(timer[QStringLiteral("row")].toInt()) + QLatin1Char('=') +
                         timer[QStringLiteral("name")].toString();
        }
        QCOMPARE(found, numbered);
    }

    // A journal that cannot be read is a failure that names the file and the reason, never an empty report.
    void unreadableJournalFails_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray() << "no such file";
        QTest::newRow("garbage") << QByteArray(5000, 'g') << "not a database";
    }
    void unreadableJournalFails() {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        const QString path = m_dir.filePath(QTest::currentDataTag());
        if (!content.isEmpty()) {
            QVERIFY(WriteBytes(path, content));
        }
        const Run run = Report(QStringLiteral("--report=csv --by=week"), path);
        QCOMPARE(run.code, 1);
        QCOMPARE(run.out, QByteArray());
        QVERIFY2(
            run.err.startsWith(QStringLiteral("kelvra: cannot read the journal %1: ").arg(path).toUtf8()) &&
                run.err.contains(reason.toUtf8()),
            run.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestReport)
#include "test_report.moc"
