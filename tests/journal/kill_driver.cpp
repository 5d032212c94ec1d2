// A board's ledger and journal on real files in a child process, for the kill tests: the test kills it
// at one sync call after another, then starts it again and compares the files with what the driver said.
//   kill_driver run FOLDER    one change after another; after each, "D" and the seconds a start would
//                             find had the process died then (the open period up to its last
//                             heartbeat), "F" with the open period whole; "END" once done
//   kill_driver check FOLDER [STEP]  starts on the files (reconciling, recovering) on a clock STEP
//                             seconds off the run's, stops, and prints "P" with the profile's seconds
//                             and "J" with the journal's sums
#include "BoardOnFiles.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

namespace {

using Seconds = std::array<qint64, 10>;

void Print(const char* tag, const Seconds& seconds) {
    std::printf("%s", tag);
    for (qint64 s : seconds) {
        std::printf(" %lld", static_cast<long long>(s));
    }
    std::printf("\n");
    std::fflush(stdout);
}

// What the files must say, by plain arithmetic beside the ledger.
struct Model {
    Seconds stored{};
    int running = -1;   // timer index; -1 stopped
    qint64 elapsed = 0; // of the open period
    qint64 seen = 0;    // of the open period at its last heartbeat
    std::vector<std::pair<int, qint64>> cleared;

    void Charge(int next) {
        if (running >= 0) {
            stored[running] += elapsed;
        }
        running = next;
        elapsed = seen = 0;
    }
    void Reset(const std::vector<int>& timers) {
        cleared.clear();
        for (int i : timers) {
            cleared.emplace_back(i, std::exchange(stored[i], 0));
        }
    }
    void Undo() {
        for (const auto& [i, s] : std::exchange(cleared, {})) {
            stored[i] += s;
        }
    }
    void Print() const {
        Seconds dead = stored, whole = stored;
        if (running >= 0) {
            dead[running] += seen;
            whole[running] += elapsed;
        }
        ::Print("D", dead);
        ::Print("F", whole);
    }
};

// The open period's id, read from the files.
qint64 OpenPeriod(const QString& journal) {
    Journal reader(journal);
    qint64 id = 0;
    return reader.OpenForReading().Ok() &&
                   reader.Database()
                       .QueryInt("SELECT id FROM periods WHERE end_utc IS NULL AND live = 1", id)
                       .Ok()
               ? id
               : 0;
}

int Run(const QString& folder) {
    BoardOnFiles board(folder, 1'800'000'000);
    board.Start();
    Model model;
    // Time passes, and now and then the calendar clock is set back an hour, forward an hour or forward
    // a day, which no charge may see.
    int passes = 0;
    const auto pass = [&](qint64 seconds) {
        board.clock.Advance(seconds);
        board.clock.StepWall(std::array<qint64, 4>{0, -3600, 3600, 86400}[passes++ % 4]);
        model.elapsed += seconds;
    };
    std::pair<qint64, qint64> gap;
    using Kind = PeriodSink::Correction::Kind;
    const auto correct = [&](const PeriodSink::Correction& correction) {
        if (board.ledger.Correct(correction).outcome != PeriodSink::Corrected::Outcome::Done) {
            std::printf("refused\n");
        }
    };
    const auto heartbeat = [&] {
        board.ledger.Heartbeat();
        model.seen = model.elapsed;
    };
    const auto switchTo = [&](int selector) {
        board.Switch(selector);
        model.Charge(selector - 1);
    };
    const auto beat = [&](qint64 seconds) {
        pass(seconds);
        heartbeat();
    };
    const auto switchAfter = [&](qint64 seconds, int selector) {
        pass(seconds);
        switchTo(selector);
    };
    const auto undoAfter = [&](qint64 seconds) {
        pass(seconds);
        board.Undo();
        model.Undo();
    };
    const std::vector<std::function<void()>> steps{
        [&] {}, // the first run
        [&] { switchTo(3); },
        [&] { beat(60); },
        [&] { switchAfter(2, 7); }, // 62 s to timer 3
        [&] {
            // On the running timer: charged to now, and the hand's ten minutes, in one change.
            pass(30);
            board.ledger.AddTime(6, 600);
            model.Charge(6);
            model.stored[6] += 600;
        },
        [&] { beat(45); },
        [&] { switchAfter(5, 0); }, // Reset All: the running timer charged and stopped, ...
        [&] {
            board.ledger.ClearAllSeconds(); // ... then every timer cleared
            model.Reset({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        },
        [&] { undoAfter(0); },
        [&] { switchTo(2); },
        [&] { beat(20); },
        [&] {
            // The names dialog closes with two Reset boxes, one the running timer's.
            std::array<int, 10> flags{};
            flags[1] = flags[4] = 1;
            TimerStore::ApplyFieldResets(board.ledger, flags);
            model.Reset({1, 4});
        },
        [&] { undoAfter(10); },
        [&] {
            // Away from 10 s to 5 s ago, discarded: charged to then, open again since, and seen now.
            pass(15);
            gap = {board.ledger.Now() - 10, board.ledger.Now() - 5};
            board.ledger.SettleAway(gap.first, gap.second, false);
            model.elapsed -= 10;
            model.Charge(1);
            model.elapsed = model.seen = 5;
        },
        [&] {
            // A period added where the time away was, then undone and done again.
            pass(2);
            correct(
                {Kind::Add, 0, 8, board.ledger.Name(8), gap.first, gap.second, QStringLiteral("n"), false});
            model.stored[8] += 5;
        },
        [&] {
            correct({Kind::Undo, 0, -1, {}, 0, 0, {}, false});
            model.stored[8] -= 5;
        },
        [&] {
            correct({Kind::Redo, 0, -1, {}, 0, 0, {}, false});
            model.stored[8] += 5;
        },
        [&] {
            // The running period split two seconds after it began: the part before is charged now.
            correct({Kind::Split, OpenPeriod(board.journalFile), -1, {}, gap.second + 2, 0, {}, false});
            model.stored[1] += 2;
            model.elapsed -= 2;
            model.seen = std::max<qint64>(model.seen - 2, 0);
        },
        [&] {
            pass(20);
            board.ledger.SaveRunningTimer();
            model.Charge(-1);
        }, // the board closes
    };
    for (const auto& step : steps) {
        step();
        model.Print();
    }
    std::printf("END\n");
    return 0;
}

// On a clock set `step` seconds away from the run's: a start must not care.
int Check(const QString& folder, qint64 step) {
    {
        BoardOnFiles board(folder, 1'800'000'000 + step);
        board.Start();
    }
    Print("P", ProfileSeconds(folder + QStringLiteral("/p.conf")));
    Print("J", JournalSeconds(folder + QStringLiteral("/p.conf.journal")));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc < 3) {
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    return qstrcmp(argv[1], "run") == 0 ? Run(folder) : Check(folder, argc > 3 ? std::atoll(argv[3]) : 0);
}
