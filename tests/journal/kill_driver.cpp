// A board's ledger and journal on real files in a child process, for the kill tests: the test kills it
// at one sync call after another, then starts it again and compares what the files say with what the
// driver said they would hold had it died at that moment.
//
//   kill_driver run FOLDER    the scenario: one change after another. After each it prints "D" and the
//                             seconds a start would find if the process died now (the open period
//                             counted up to its last heartbeat), and "F" with the open period counted
//                             whole; "END" once done.
//   kill_driver check FOLDER  starts on the files (reconciling and recovering), stops, prints "P" with
//                             the profile's seconds and "J" with the journal's sums.
#include "../board/RecordingDisplay.h"
#include "board/TimerLedger.h"
#include "board/TimerStore.h"
#include "journal/JournalQuery.h"
#include "journal/JournalSink.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/ProfileLayout.h"

#include <QCoreApplication>
#include <array>
#include <cstdio>
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

struct Board {
    explicit Board(const QString& folder)
        : profile(folder + QStringLiteral("/p.conf")),
          sink(profile.Location() + QStringLiteral(".journal"), clock, profile),
          ledger(profile, clock, display, sink) {
        sink.Attach();
        TimerStore::InitProfile(profile, clock, ledger);
        ledger.StartStopped();
        ledger.LoadTimers();
        ledger.ShowTimers();
        ledger.Reconcile();
    }
    void Switch(int selector) {
        display.m_checkedRadio = selector;
        ledger.SwitchTimer();
    }
    SettableClock clock{1'800'000'000};
    Profile profile;
    RecordingDisplay display;
    JournalSink sink;
    CTimerLedger ledger;
};

// What the files must say, worked out by plain arithmetic beside the ledger.
struct Model {
    Seconds stored{};
    int running = -1;                            // timer index, -1 stopped
    qint64 elapsed = 0;                          // of the open period
    qint64 seen = 0;                             // of the open period, at its last heartbeat
    std::vector<std::pair<int, qint64>> cleared; // what the last reset took

    void Pass(qint64 seconds) { elapsed += seconds; }
    void Charge() {
        if (running >= 0) {
            stored[running] += elapsed;
        }
        elapsed = seen = 0;
    }
    void Print() const {
        Seconds dead = stored;
        Seconds whole = stored;
        if (running >= 0) {
            dead[running] += seen;
            whole[running] += elapsed;
        }
        ::Print("D", dead);
        ::Print("F", whole);
    }
};

int Run(const QString& folder) {
    Board board(folder);
    Model model;
    model.Print();
    const auto pass = [&](qint64 seconds) {
        board.clock.Advance(seconds);
        model.Pass(seconds);
    };
    const auto heartbeat = [&] {
        board.ledger.Heartbeat();
        model.seen = model.elapsed;
    };
    const auto resetGroup = [&](const std::vector<int>& timers) {
        model.cleared.clear();
        for (int i : timers) {
            model.cleared.emplace_back(i, model.stored[i]);
            model.stored[i] = 0;
        }
    };
    const auto undo = [&] {
        board.ledger.RestoreSeconds(board.sink.UndoPlan());
        for (const auto& [i, s] : model.cleared) {
            model.stored[i] += s;
        }
        model.cleared.clear();
    };

    board.Switch(3); // a switch from Stop
    model.running = 2;
    model.Print();
    pass(60);
    heartbeat();
    model.Print();
    pass(2);
    board.Switch(7); // 62 s to timer 3
    model.Charge();
    model.running = 6;
    model.Print();
    pass(30);
    board.ledger.AddTime(6, 600); // on the running timer: charged to now, then the hand's 10 minutes
    model.Charge();
    model.stored[6] += 600;
    model.Print();
    pass(45);
    heartbeat();
    model.Print();
    pass(5);
    board.Switch(0); // Reset All: the running timer is charged and stopped, then every timer cleared
    model.Charge();
    model.running = -1;
    model.Print();
    board.ledger.ClearAllSeconds();
    board.ledger.LoadTimers();
    resetGroup({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    model.Print();
    undo();
    model.Print();
    board.Switch(2);
    model.running = 1;
    model.Print();
    pass(20);
    heartbeat();
    model.Print();
    std::array<int, 10> flags{};
    flags[1] = flags[4] = 1; // the names dialog closes with two Reset boxes, the running timer's one
    TimerStore::ApplyFieldResets(board.ledger, flags);
    resetGroup({1, 4});
    model.Print();
    pass(10);
    undo();
    model.Print();
    pass(15);
    // Away from 10 s to 5 s ago, discarded: charged up to then, open again since, and seen now.
    board.ledger.SettleAway(board.ledger.Now() - 10, board.ledger.Now() - 5, false);
    model.elapsed -= 10;
    model.Charge();
    model.elapsed = model.seen = 5;
    model.Print();
    pass(20);
    board.ledger.SaveRunningTimer(); // the board closes
    model.Charge();
    model.running = -1;
    model.Print();
    std::printf("END\n");
    return 0;
}

int Check(const QString& folder) {
    Seconds profile{};
    {
        Board board(folder);
        board.ledger.SaveRunningTimer();
        for (int i = 0; i < 10; ++i) {
            profile[i] = board.ledger.Seconds(i);
        }
    }
    Print("P", profile);
    Journal journal(folder + QStringLiteral("/p.conf.journal"));
    std::array<qint64, JournalQuery::kTimers> sums{};
    if (!journal.OpenForReading().Ok() || !JournalQuery(journal).SecondsSinceReset(sums).Ok()) {
        std::printf("J unreadable\n");
        return 1;
    }
    Print("J", sums);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kill_driver run|check FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    return qstrcmp(argv[1], "run") == 0 ? Run(folder) : Check(folder);
}
