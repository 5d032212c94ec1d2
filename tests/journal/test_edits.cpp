#include "BoardOnFiles.h"
#include "journal/JournalReport.h"
#include "journal/JournalWeek.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using Kind = PeriodSink::Correction::Kind;
using namespace Qt::Literals::StringLiterals;
using Outcome = PeriodSink::Corrected::Outcome;

namespace {

bool Agree(const BoardOnFiles& board) {
    return JournalSeconds(board.journalFile) == ProfileSeconds(board.profileFile);
}

// The live periods, oldest first, read through a connection of its own.
std::vector<JournalQuery::Period> Periods(const QString& journal) {
    std::vector<JournalQuery::Period> periods;
    Journal reader(journal);
    if (reader.OpenForReading().Ok()) {
        JournalQuery(reader).Periods(0, std::numeric_limits<qint64>::max() / 2, periods);
    }
    return periods;
}

PeriodSink::Correction Change(Kind kind, qint64 period, int index, qint64 start, qint64 end,
                              bool bTrim = false) {
    PeriodSink::Correction c;
    c.kind = kind;
    c.period = period;
    c.index = index;
    c.name = QStringLiteral("My Project Text %1").arg(index + 1);
    c.start = start;
    c.end = end;
    c.bTrim = bTrim;
    return c;
}

} // namespace

class EditsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each kind of correction on closed periods, undone and done again; the board follows the periods
    // charged since the last reset, and only those.
    void closedPeriods() {
        QTemporaryDir dir;
        BoardOnFiles board(dir.path(), BoardOnFiles::Started{});
        const qint64 t0 = board.clock.Now();
        board.Charge(1, 600);
        board.Charge(2, 300);
        board.Switch(0);
        const qint64 p1 = Periods(board.journalFile)[0].id;
        const qint64 p2 = Periods(board.journalFile)[1].id;

        // An edit of its end, undone, done again: the profile follows each time.
        QCOMPARE(board.ledger.Correct(Change(Kind::Edit, p1, 0, t0, t0 + 500)).outcome, Outcome::Done);
        QCOMPARE(ProfileSeconds(board.profileFile)[0], 500);
        QCOMPARE(board.sink.UndoLabel().value_or(QString()), QStringLiteral("Edit of \"My Project Text 1\""));
        Journal journal(board.journalFile); // each correction is a dated event too
        qint64 edits = 0;
        QVERIFY(journal.OpenForReading().Ok() &&
                journal.Database()
                    .QueryInt("SELECT count(*) FROM events WHERE kind = 'edit' AND timer = 0", edits)
                    .Ok());
        QCOMPARE(edits, 1);
        QCOMPARE(board.Undo().outcome, Outcome::Done);
        QCOMPARE(ProfileSeconds(board.profileFile)[0], 600);
        QCOMPARE(board.Undo(true).outcome, Outcome::Done);
        QCOMPARE(board.ledger.Seconds(0), 500);
        QVERIFY(Agree(board));
        QCOMPARE(board.Undo().outcome, Outcome::Done);

        // Moved to another timer: one loses what the other gains.
        QCOMPARE(board.ledger.Correct(Change(Kind::Edit, p1, 2, t0, t0 + 600)).outcome, Outcome::Done);
        QCOMPARE(ProfileSeconds(board.profileFile)[0], 0);
        QCOMPARE(ProfileSeconds(board.profileFile)[2], 600);
        QCOMPARE(Periods(board.journalFile)[0].name, QStringLiteral("My Project Text 3"));
        board.Undo();

        // An overlap is refused and names the other period; trimmed, the other one is cut back.
        PeriodSink::Corrected refused = board.ledger.Correct(Change(Kind::Add, 0, 3, t0 + 700, t0 + 850));
        QCOMPARE(refused.outcome, Outcome::Overlap);
        QVERIFY2(refused.problem.contains(QStringLiteral("\"My Project Text 2\"")),
                 qPrintable(refused.problem));
        // Nothing recorded: the change undone before can still be done again.
        QVERIFY(Periods(board.journalFile).size() == 2 && board.sink.UndoLabel(true).has_value());
        QCOMPARE(board.ledger.Correct(Change(Kind::Add, 0, 3, t0 + 700, t0 + 850, true)).outcome,
                 Outcome::Done);
        QCOMPARE(ProfileSeconds(board.profileFile)[1], 150); // what is left on either side
        QCOMPARE(ProfileSeconds(board.profileFile)[3], 150);
        QCOMPARE(Periods(board.journalFile).size(), size_t{4});
        QVERIFY(Agree(board));
        board.Undo();
        QCOMPARE(ProfileSeconds(board.profileFile)[1], 300);
        QCOMPARE(ProfileSeconds(board.profileFile)[3], 0);

        // Split, then one half deleted; both undone.
        PeriodSink::Correction split = Change(Kind::Split, p2, -1, t0 + 700, 0);
        QCOMPARE(board.ledger.Correct(split).outcome, Outcome::Done);
        QCOMPARE(Periods(board.journalFile).size(), size_t{3});
        QCOMPARE(ProfileSeconds(board.profileFile)[1], 300);
        QCOMPARE(
            board.ledger.Correct(Change(Kind::Delete, Periods(board.journalFile)[2].id, -1, 0, 0)).outcome,
            Outcome::Done);
        QCOMPARE(ProfileSeconds(board.profileFile)[1], 100);
        board.Undo();
        board.Undo();
        QCOMPARE(Periods(board.journalFile).size(), size_t{2});
        QCOMPARE(ProfileSeconds(board.profileFile)[1], 300);
        QVERIFY(Agree(board));

        // Refusals change nothing: no length, backwards, in the future, a split outside, a gone period.
        const auto outcome = [&](const PeriodSink::Correction& c) { return board.ledger.Correct(c).outcome; };
        QCOMPARE(outcome(Change(Kind::Add, 0, 4, t0 + 2000, t0 + 2000)), Outcome::Refused);
        QCOMPARE(outcome(Change(Kind::Add, 0, 4, t0 + 2000, t0 + 1999)), Outcome::Refused);
        QCOMPARE(outcome(Change(Kind::Add, 0, 4, t0 + 2000, board.clock.Now() + 1)), Outcome::Refused);
        QCOMPARE(outcome(Change(Kind::Add, 0, 10, t0 + 2000, t0 + 2100)), Outcome::Refused);
        QCOMPARE(outcome(Change(Kind::Split, p2, -1, t0 + 900, 0)), Outcome::Refused);
        QCOMPARE(outcome(Change(Kind::Delete, 999, -1, 0, 0)), Outcome::Refused);
        board.ledger.Correct(Change(Kind::Edit, p1, 0, t0, t0 + 100));
        QCOMPARE(outcome(Change(Kind::Edit, p1, 0, t0, t0 + 200)), Outcome::Refused); // replaced meanwhile
        board.Undo();

        // After a reset, a correction before it changes only the history; one after it counts.
        board.clock.Advance(600);
        const qint64 reset = board.clock.Now();
        board.ledger.ClearAllSeconds();
        board.clock.Advance(600);
        QCOMPARE(outcome(Change(Kind::Edit, p1, 0, t0, t0 + 60)), Outcome::Done);
        QCOMPARE(outcome(Change(Kind::Add, 0, 5, t0 + 1000, t0 + 1100)), Outcome::Done);
        QCOMPARE(outcome(Change(Kind::Add, 0, 5, reset + 10, reset + 70)), Outcome::Done);
        QCOMPARE(ProfileSeconds(board.profileFile), (std::array<qint64, 10>{0, 0, 0, 0, 0, 60, 0, 0, 0, 0}));
        QVERIFY(Agree(board));
        // Undone back through the reset: what it cleared comes back as it stood then.
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(board.Undo().outcome, Outcome::Done);
        }
        QCOMPARE(ProfileSeconds(board.profileFile),
                 (std::array<qint64, 10>{600, 300, 0, 0, 0, 0, 0, 0, 0, 0}));
        QVERIFY(Agree(board));
    }

    // A journal that cannot be written takes no correction, and nothing changes: not the profile, not
    // what the board shows.
    void unwritableJournalChangesNothing() {
        QTemporaryDir dir;
        {
            BoardOnFiles first(dir.path(), BoardOnFiles::Started{});
            first.Charge(1, 600);
            first.Switch(0);
        }
        const qint64 period = Periods(dir.filePath(QStringLiteral("p.conf.journal")))[0].id;
        {
            Journal newer(dir.filePath(QStringLiteral("p.conf.journal")));
            QVERIFY(newer.OpenForWriting().status.Ok() &&
                    newer.Database().Exec("PRAGMA user_version = 99").Ok());
        }
        BoardOnFiles board(dir.path(), BoardOnFiles::Started{});
        QVERIFY(!board.sink.IsRecording());
        const PeriodSink::Corrected result =
            board.ledger.Correct(Change(Kind::Edit, period, 0, board.clock.Now() - 7200, board.clock.Now()));
        QCOMPARE(result.outcome, Outcome::Failed);
        QVERIFY(result.problem.contains(QLatin1String("Nothing was changed")));
        QCOMPARE(board.ledger.Seconds(0), 600);
        QCOMPARE(ProfileSeconds(board.profileFile)[0], 600);
        QCOMPARE(board.Undo().outcome, Outcome::Failed);
    }

    // The running period: its start may move, its open end never; what is cut off before it is charged.
    void runningPeriod() {
        QTemporaryDir dir;
        BoardOnFiles board(dir.path(), BoardOnFiles::Started{});
        const qint64 t0 = board.clock.Now();
        board.Charge(1, 1800);
        const qint64 running = Periods(board.journalFile)[0].id;
        QCOMPARE(board.ledger.Correct(Change(Kind::Split, running, -1, t0 + 600, 0)).outcome, Outcome::Done);
        QCOMPARE(board.ledger.Seconds(0), 600);
        QCOMPARE(board.ledger.Start(), t0 + 600);
        QCOMPARE(board.ledger.ShownSeconds(0), 1800);
        QVERIFY(Agree(board));
        board.Undo();
        QCOMPARE(board.ledger.Seconds(0), 0);
        QCOMPARE(board.ledger.Start(), t0);
        QCOMPARE(board.ledger.ShownSeconds(0), 1800);
        board.Undo(true);
        QCOMPARE(board.ledger.Seconds(0), 600);

        // An added period that covers the running one's start moves it; one inside it is refused.
        QCOMPARE(board.ledger.Correct(Change(Kind::Add, 0, 5, t0 + 500, t0 + 900, true)).outcome,
                 Outcome::Done);
        QCOMPARE(board.ledger.Start(), t0 + 900);
        QCOMPARE(board.ledger.ShownSeconds(0), 500 + 900);
        QCOMPARE(board.ledger.Seconds(5), 400);
        QCOMPARE(board.ledger.Correct(Change(Kind::Add, 0, 5, t0 + 1000, t0 + 1100, true)).outcome,
                 Outcome::Refused);
        const qint64 open = Periods(board.journalFile).back().id;
        QCOMPARE(board.ledger.Correct(Change(Kind::Delete, open, -1, 0, 0)).outcome, Outcome::Refused);
        QCOMPARE(board.ledger.Correct(Change(Kind::Edit, open, 4, t0 + 950, 0)).outcome, Outcome::Refused);
        QCOMPARE(board.ledger.Correct(Change(Kind::Edit, open, 0, t0 + 950, 0)).outcome, Outcome::Done);
        QCOMPARE(board.ledger.ShownSeconds(0), 500 + 850);
        QVERIFY(Agree(board));

        // "Switched here" undone: the switch moves back to when it was chosen, and done again.
        const qint64 chosen = board.clock.Now();
        QVERIFY(board.ledger.SwitchedEarlier(3, 10));
        QCOMPARE(board.ledger.Start(), chosen - 600);
        QCOMPARE(board.sink.UndoLabel().value_or(QString()),
                 QStringLiteral("Switched here to \"My Project Text 4\""));
        board.clock.Advance(60);
        board.Undo();
        QCOMPARE(board.ledger.Running(), 4);
        QCOMPARE(board.ledger.Start(), chosen);
        QCOMPARE(board.ledger.Seconds(0), 500 + 850);
        board.Undo(true);
        QCOMPARE(board.ledger.Start(), chosen - 600);
        QCOMPARE(board.ledger.Seconds(0), 500 + 250);
        QVERIFY(Agree(board));

        // A rename while it runs cuts the period: each part keeps the name it had.
        board.clock.Advance(120);
        board.ledger.CommitName(3, QStringLiteral("Renamed"));
        board.clock.Advance(60);
        board.Switch(0);
        const std::vector<JournalQuery::Period> periods = Periods(board.journalFile);
        QCOMPARE(periods[periods.size() - 2].name, QStringLiteral("My Project Text 4"));
        QCOMPARE(periods.back().name, QStringLiteral("Renamed"));
        QCOMPARE(periods.back().end - periods.back().start, 60);
        QCOMPARE(board.ledger.Seconds(3), 600 + 60 + 120 + 60);
        QVERIFY(Agree(board));
    }

    // Time added on a day the user names counts on that day in every dated form, and --periods lists it
    // as a row of its own; one made today counts today, as adjustments always did. Undone, it is gone.
    void datedAdjustments() {
        QTemporaryDir dir;
        BoardOnFiles board(dir.path(), BoardOnFiles::Started{});
        const QDate today = QDateTime::fromSecsSinceEpoch(board.clock.Now()).date();
        board.Charge(1, 600);
        board.Switch(0);
        QVERIFY(board.ledger.AddTime(0, 1800, today.addDays(-3)));
        QVERIFY(board.ledger.AddTime(1, 300));
        const auto report = [&](JournalReport::Unit unit) {
            Journal journal(board.journalFile);
            JournalQuery query(journal);
            QString out;
            const JournalReport::Request request{
                unit, Kelvra::ReportFormat::Csv, today.addDays(-6), today, {}};
            return journal.OpenForReading().Ok() && JournalReport::Render(query, request, today, out).Ok()
                       ? out
                       : QStringLiteral("failed");
        };
        const QString byDay = report(JournalReport::Unit::Day);
        const QString before = today.addDays(-3).toString(Qt::ISODate);
        QVERIFY2(byDay.contains(before + u",timer,1,My Project Text 1,1800,0:30:00,false"_s),
                 qPrintable(byDay));
        QVERIFY2(byDay.contains(today.toString(Qt::ISODate) + u",timer,1,My Project Text 1,600,"_s),
                 qPrintable(byDay));
        QVERIFY2(byDay.contains(today.toString(Qt::ISODate) + u",timer,2,My Project Text 2,300,"_s),
                 qPrintable(byDay));
        const QString periods = report(JournalReport::Unit::Period);
        QVERIFY2(
            periods.contains(u",,,1,My Project Text 1,1800,0:30:00,false,adjustment,"_s + before + u","_s),
            qPrintable(periods));
        QCOMPARE(periods.count(u",adjustment,"_s), 2);
        std::vector<JournalQuery::Period> week;
        Journal journal(board.journalFile);
        QVERIFY(journal.OpenForReading().Ok());
        JournalQuery query(journal);
        const QDate monday = JournalWeek::MondayOf(today.addDays(-3));
        QVERIFY(JournalReport::Fetch(query, monday, monday.addDays(6), week).Ok());
        QCOMPARE(
            JournalWeek(monday, week).Totals().seconds[static_cast<size_t>(monday.daysTo(today.addDays(-3)))],
            1800);

        board.Undo();
        board.Undo();
        QVERIFY(!report(JournalReport::Unit::Period).contains(u"adjustment"_s));
        QCOMPARE(ProfileSeconds(board.profileFile)[0], 600);
        QVERIFY(Agree(board));
    }

    // A random chain of corrections, undos and redos on a settable clock, with restarts: the journal and
    // the profile agree after every step, and undoing every change gives back the starting seconds.
    void randomChain() {
        QTemporaryDir dir;
        auto board = std::make_unique<BoardOnFiles>(dir.path());
        board->Start();
        const qint64 t0 = board->clock.Now();
        board->RunPeriods(30);
        board->Switch(0);
        const std::array<qint64, 10> start = ProfileSeconds(board->profileFile);
        QRandomGenerator random(20261207);
        int done = 0;
        for (int step = 0; step < 200; ++step) {
            const std::vector<JournalQuery::Period> periods = Periods(board->journalFile);
            QVERIFY(!periods.empty());
            const JournalQuery::Period& some = periods[random.bounded(static_cast<int>(periods.size()))];
            const qint64 now = board->clock.Now();
            const int action = random.bounded(100);
            PeriodSink::Corrected result;
            if (action < 20) {
                // The calendar clock may have been set back behind the first period.
                const qint64 from = t0 + random.bounded(static_cast<int>(std::max<qint64>(1, now - t0)));
                result = board->ledger.Correct(Change(Kind::Add, 0, random.bounded(10), from,
                                                      std::min(now, from + 1 + random.bounded(400)),
                                                      random.bounded(2) == 0));
            } else if (action < 40) {
                result = board->ledger.Correct(
                    Change(Kind::Edit, some.id, random.bounded(10), some.start + random.bounded(-100, 100),
                           some.end + random.bounded(-100, 100), random.bounded(2) == 0));
            } else if (action < 50) {
                result = board->ledger.Correct(
                    Change(Kind::Split, some.id, -1, some.start + random.bounded(-10, 100), 0));
            } else if (action < 58) {
                result = board->ledger.Correct(Change(Kind::Delete, some.id, -1, 0, 0));
            } else if (action < 75) {
                result = board->Undo();
            } else if (action < 85) {
                result = board->Undo(true);
            } else if (action < 90) {
                board->ledger.AddTime(random.bounded(10), random.bounded(-3000, 3000));
            } else if (action < 93) {
                board->ledger.ClearAllSeconds();
            } else if (action < 97) {
                board = std::make_unique<BoardOnFiles>(dir.path(), now);
                board->Start();
            } else {
                board->clock.StepWall(random.bounded(2) == 0 ? -3600 : 3600);
            }
            done += result.outcome == Outcome::Done ? 1 : 0;
            board->clock.Advance(1 + random.bounded(30));
            QVERIFY2(Agree(*board), qPrintable(QStringLiteral("step %1").arg(step)));
        }
        QVERIFY2(done > 60, qPrintable(QString::number(done))); // the chain did make corrections
        int undone = 0;
        while (board->Undo().outcome == Outcome::Done) {
            QVERIFY(Agree(*board));
            ++undone;
        }
        QVERIFY(undone > 0);
        QCOMPARE(ProfileSeconds(board->profileFile), start);
        QCOMPARE(JournalSeconds(board->journalFile), start);
    }
};

QTEST_GUILESS_MAIN(EditsTest)
#include "test_edits.moc"
