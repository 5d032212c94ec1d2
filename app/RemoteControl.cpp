#include "app/RemoteControl.h"

#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "board/KelvraView.h"
#include "board/TimerLedger.h"
#include "platform/Clock.h"
#include "platform/ControlChannel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <optional>
#include <variant>

namespace RemoteControl {

namespace {

using ControlMessage::Reply;
using Verb = ControlMessage::Request::Verb;

// The board that holds the lock may be a moment away from listening.
constexpr int kFrontTimeoutMs = 1000;
constexpr int kFrontRetryMs = 50;

// What the board shows now, or, with `switchTo`, once it has switched to that row (0: Stop) now: the
// row that ran is charged, and the new one starts.
Reply StateOf(const CTimerLedger& ledger, const Clock& clock, std::optional<int> switchTo = std::nullopt) {
    Reply reply;
    reply.kind = Reply::Kind::State;
    ControlMessage::State& state = reply.state;
    state.now = clock.Now();
    const int running =
        ledger.m_nRunning > 0 && ledger.m_nRunning <= CTimerLedger::kTimers ? ledger.m_nRunning : 0;
    state.row = switchTo.value_or(running);
    state.start = switchTo || running == 0 ? state.now : ledger.m_timeStart;
    if (state.row > 0) {
        const int index = state.row - 1;
        const qint64 charged = running == state.row ? state.now - ledger.m_timeStart : 0;
        state.seconds = CTimerLedger::AddSeconds(ledger.m_nSeconds[index], charged);
        state.name = ledger.m_strName[index].toStdString();
    }
    return reply;
}

// The row whose name is `wanted`, else the one whose name is it in another case ("mail" is "Mail", not
// also "Mailing"), else the one row whose name begins with it in any case; otherwise the reply that
// lists the candidates: every timer when none fits, those that fit when several do.
std::variant<int, Reply> Find(const CTimerLedger& ledger, const QString& wanted) {
    std::vector<ControlMessage::Candidate> exact;
    std::vector<ControlMessage::Candidate> anyCase;
    std::vector<ControlMessage::Candidate> prefix;
    std::vector<ControlMessage::Candidate> all;
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        const QString& name = ledger.m_strName[i];
        const ControlMessage::Candidate candidate{i + 1, name.toStdString()};
        all.push_back(candidate);
        if (name == wanted) {
            exact.push_back(candidate);
        }
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            anyCase.push_back(candidate);
        }
        if (name.startsWith(wanted, Qt::CaseInsensitive)) {
            prefix.push_back(candidate);
        }
    }
    const std::vector<ControlMessage::Candidate>& fitting = !exact.empty()     ? exact
                                                            : !anyCase.empty() ? anyCase
                                                                               : prefix;
    if (fitting.size() == 1) {
        return fitting.front().row;
    }
    return fitting.empty() ? ControlMessage::Candidates(Reply::Kind::Unknown, all)
                           : ControlMessage::Candidates(Reply::Kind::Ambiguous, fitting);
}

} // namespace

ControlServer::Response Answer(const ControlMessage::Request& request, CMainFrame& frame,
                               const Clock& clock) {
    CKelvraView& view = *frame.View();
    if (request.verb == Verb::Raise) {
        frame.showNormal();
        frame.raise();
        frame.activateWindow();
    }
    if (request.verb == Verb::Raise || request.verb == Verb::Status) {
        return {StateOf(view.Ledger(), clock), {}};
    }
    // The board takes no click while a dialog waits for the user (names, Reset All), nor a command.
    if (QApplication::activeModalWidget() != nullptr) {
        return {ControlMessage::Refusal("the board is waiting for an answer in a dialog"), {}};
    }
    int row = request.verb == Verb::Start ? request.row : 0;
    if (request.verb == Verb::StartName) {
        auto found = Find(view.Ledger(), QString::fromStdString(request.name));
        if (auto* reply = std::get_if<Reply>(&found)) {
            return {std::move(*reply), {}};
        }
        row = std::get<int>(found);
    }
    return {StateOf(view.Ledger(), clock, row), [&view, row] { view.SelectRow(row); }};
}

std::unique_ptr<ControlServer> Listen(const QString& profileLocation, bool bTakeOver,
                                      ControlServer::Handler handler) {
    QString problem;
    const QString name = ControlChannel::ServerName(profileLocation, true, problem);
    auto server = std::make_unique<ControlServer>(std::move(handler));
    if (!name.isEmpty() && server->Listen(name, bTakeOver)) {
        return server;
    }
    if (problem.isEmpty()) {
        problem = server->Problem();
    }
    std::fprintf(stderr, "%s\n",
                 qPrintable(StderrLine(
                     QStringLiteral("--start, --stop and --status cannot reach this board: ") + problem)));
    return nullptr;
}

bool AskToTheFront(const QString& profileLocation) {
    QElapsedTimer waited;
    waited.start();
    ControlChannel::Answer::Outcome outcome = ControlChannel::Answer::Outcome::NoBoard;
    while ((outcome = ControlChannel::Ask(profileLocation, {Verb::Raise, 0, {}}, kFrontTimeoutMs).outcome) ==
               ControlChannel::Answer::Outcome::NoBoard &&
           waited.elapsed() < kFrontTimeoutMs) {
        QThread::msleep(kFrontRetryMs);
    }
    return outcome == ControlChannel::Answer::Outcome::Replied;
}

} // namespace RemoteControl
