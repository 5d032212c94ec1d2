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
#include <ctime>

namespace {

// Central European time by its POSIX rule: needs no time zone database, and children inherit it.
const QByteArray kLocalZone = QByteArrayLiteral("CET-1CEST,M3.5.0,M10.5.0/3");

void UseZone(const QByteArray& zone) {
    qputenv("TZ", zone);
    tzset();
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
        bWritten = bWritten && transaction.Commit().Ok();
        UseZone(kLocalZone);
        return bWritten ? journal.Path() : QString();
    }

private Q_SLOTS:
    void initTestCase() {
        UseZone(kLocalZone);
        QVERIFY(m_dir.isValid());
    }

    // Each piece of a period lands in the local day, week or month it was lived in, and no second is
    // lost or doubled where the clock jumps.
    void splitsAtLocalBoundaries_data() {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("period"); // start and end
        QTest::addColumn<QStringList>("buckets");
        const auto row = [](const char* tag, const char* unit, const char* start, const char* end,
                            QStringList buckets, const QByteArray& zone = kLocalZone) {
            QTest::newRow(tag) << unit << zone << QStringLiteral("%1 %2").arg(start, end) << buckets;
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
        // Recorded in Tokyo: cut at Tokyo's midnight, as it was lived, not at ours.
        row("another zone", "day", "2026-12-07T23:00:00+09:00", "2026-12-08T01:00:00+09:00",
            {"2026-12-07=3600", "2026-12-08=3600"}, "JST-9");
    }
    void splitsAtLocalBoundaries() {
        QFETCH(QString, unit);
        QFETCH(QByteArray, zone);
        QFETCH(QString, period);
        QFETCH(QStringList, buckets);
        const QStringList span = period.split(QLatin1Char(' '));
        const QString journal =
            Write(QTest::currentDataTag(), {{4, QStringLiteral("Work"), span[0], span[1]}}, zone);
        const Run run =
            Report(QStringLiteral("--report=json --from=2026-01-01 --to=2027-12-31 --by=") + unit, journal);
        QCOMPARE(run.code, 0);
        QStringList found;
        for (const QJsonValue bucket :
             QJsonDocument::fromJson(run.out)[QStringLiteral("buckets")].toArray()) {
            const QJsonArray timers = bucket[QStringLiteral("timers")].toArray();
            QCOMPARE(timers[0][QStringLiteral("seconds")],
                     bucket[QStringLiteral("total")][QStringLiteral("seconds")]);
            found << bucket[QStringLiteral("bucket")].toString() + QLatin1Char('=') +
                         QString::number(timers[0][QStringLiteral("seconds")].toInteger());
        }
        QCOMPARE(found, buckets);
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
        QVERIFY(journal.Database().Exec("PRAGMA user_version = 99; PRAGMA wal_checkpoint(TRUNCATE);").Ok());
        const QByteArray bytes = FileBytes(journal.Path());

        const Run csv = Report(QStringLiteral("--report=csv --periods"), journal.Path());
        QCOMPARE(csv.code, 0);
        QCOMPARE(
            csv.out,
            QByteArray("id,start,end,row,name,seconds,time,running\r\n"
                       "1,2026-12-07T09:00:00+01:00,2026-12-07T09:10:00+01:00,2,Done,600,0:10:00,false\r\n"
                       "2,2026-12-07T09:10:00+01:00,2026-12-07T09:35:00+01:00,3,Now,1500,0:25:00,true\r\n"));
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
        QStringList numbered; // "row=name"
        for (int i = 0; i < names.size(); ++i) {
            numbered << QStringLiteral("%1=%2").arg(i + 1).arg(names[i]);
        }
        const QString text = report("text");
        for (int i = 0; i < names.size(); ++i) { // the "#" column is as wide as "10"
            QVERIFY2(text.contains(QStringLiteral("  %1  ").arg(i + 1, -2) + names[i]),
                     qPrintable(numbered[i]));
        }

        const QList<QStringList> csv = ParseCsv(report("csv"));
        const QStringList header = csv.value(0);
        const qsizetype kind = header.indexOf(QStringLiteral("kind")); // only by day has totals
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
            found << QStringLiteral("%1=%2")
                         .arg(timer[QStringLiteral("row")].toInt())
                         .arg(timer[QStringLiteral("name")].toString());
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
