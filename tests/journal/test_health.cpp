// Damage judged by SQLite after the WAL is replayed, salvage into a fresh journal, reports on a damaged
// journal through the built program, and the messages that name a journal's real trouble. A full disk
// is in test_journal, with the board that meets it.
#include "../FileBytes.h"
#include "RunReport.h"
#include "journal/Journal.h"
#include "journal/JournalHealth.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// `count` closed periods of a minute each, an hour apart, in one transaction; false on failure.
bool AddPeriods(Journal& journal, int count, qint64 first = 1767225600) {
    Sql::Transaction transaction(journal.Database());
    bool bWritten = transaction.Begun().Ok();
    for (int n = 0; n < count && bWritten; ++n) {
        const qint64 start = first + n * 3600;
        bWritten = journal.EndPeriod(n % 10, QStringLiteral("Project %1").arg(n), start, start + 60).Ok();
    }
    return bWritten && transaction.Commit().Ok();
}

// Every period as one text line per id, through a second connection.
QMap<qint64, QString> Periods(const QString& path) {
    QMap<qint64, QString> rows;
    Sql::Database db;
    Sql::Statement statement;
    if (db.Open(path, Sql::Database::Mode::ReadOnly).Ok() &&
        db.Prepare("SELECT id, timer, name, start_utc, end_utc, utc_offset, close_seq FROM periods",
                   statement)
            .Ok()) {
        while (statement.Next()) {
            QStringList fields;
            for (int i = 1; i < 7; ++i) {
                fields << statement.Text(i);
            }
            rows.insert(statement.Int(0), fields.join(u'|'));
        }
    }
    return rows;
}

QStringList Files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace

class HealthTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // After a full disk the main file is shorter than its header says while the WAL holds the rest:
    // whole for SQLite, so never moved, and reported in full.
    void walHoldingPagesPastTheMainFileIsWhole() {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("live.journal"));
        const QString copy = dir.filePath(QStringLiteral("copy.journal"));
        Journal journal(source);
        QVERIFY(journal.OpenForWriting().status.Ok());
        QVERIFY(journal.Database().Exec("PRAGMA wal_autocheckpoint=0; PRAGMA wal_checkpoint(TRUNCATE)").Ok());
        const qint64 before = QFileInfo(source).size();
        QVERIFY(AddPeriods(journal, 3000));
        // The checkpoint writes the grown header and pages into the main file but leaves the WAL's frames.
        QVERIFY(journal.Database().Exec("PRAGMA wal_checkpoint(PASSIVE)").Ok());
        QVERIFY(QFile::copy(source, copy) &&
                QFile::copy(source + QStringLiteral("-wal"), copy + QStringLiteral("-wal")));
        QVERIFY(QFile::resize(copy, before));

        QCOMPARE(JournalHealth::Check(copy).state, JournalHealth::Verdict::State::Healthy);
        const Run run = Report(QStringLiteral("--report=csv --periods"), copy);
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out.count("\r\n"), 3001);
        {
            Journal reopened(copy);
            const Journal::Opened opened = reopened.OpenForWriting();
            QVERIFY2(opened.status.Ok() && opened.problem.isEmpty(), qPrintable(opened.problem));
            QVERIFY(AddPeriods(reopened, 1, 1900000000));
        }
        QCOMPARE(Periods(copy).size(), 3001);
        QVERIFY(!Files(dir.path()).join(u' ').contains(u"corrupt"));
    }

    // "Not a Kelvra journal" only for another program's database, "newer version" for a later Kelvra's
    // (left untouched, still read); a folder that cannot be made says
    // which part of its path is a file.
    void messagesNameTheRealCause() {
        QTemporaryDir dir;
        const QString foreign = dir.filePath(QStringLiteral("other.db"));
        {
            Sql::Database db;
            QVERIFY(db.Open(foreign, Sql::Database::Mode::ReadWrite).Ok() &&
                    db.Exec("CREATE TABLE notes(text TEXT)").Ok());
        }
        const QByteArray before = FileBytes(foreign);
        QVERIFY(Journal(foreign).OpenForWriting().problem.contains(u"not a Kelvra journal"));
        QVERIFY(
            Report(QStringLiteral("--report=csv --periods"), foreign).err.contains("not a Kelvra journal"));
        QCOMPARE(FileBytes(foreign), before);
        // One from a newer Kelvra is left as it is, and read.
        const QString newer = dir.filePath(QStringLiteral("newer.journal"));
        {
            Journal journal(newer);
            QVERIFY(journal.OpenForWriting().status.Ok() && AddPeriods(journal, 3) &&
                    journal.Database().Exec("PRAGMA user_version = 99").Ok());
        }
        const QByteArray written = FileBytes(newer);
        QVERIFY(Journal(newer).OpenForWriting().problem.contains(u"newer version"));
        QCOMPARE(Report(QStringLiteral("--report=csv --periods"), newer).code, 0);
        QCOMPARE(FileBytes(newer), written);

        const QString empty = dir.filePath(QStringLiteral("empty.journal"));
        QVERIFY(WriteBytes(empty, {}));
        const Run run = Report(QStringLiteral("--report=csv --periods"), empty);
        QVERIFY2(run.code == 1 && !run.err.contains("not a Kelvra journal"), run.err.constData());

        const QString blocker = dir.filePath(QStringLiteral("file"));
        QVERIFY(WriteBytes(blocker, "x"));
        const Journal::Opened opened =
            Journal(blocker + QStringLiteral("/Kelvra/p.journal")).OpenForWriting();
        QVERIFY2(!opened.status.Ok() && opened.problem.contains(blocker + QStringLiteral(" is a file")),
                 qPrintable(opened.problem));
    }
};

QTEST_GUILESS_MAIN(HealthTest)
#include "test_health.moc"
