#include "control/RemoteControl.h"

#include "away/AwayPrompt.h"
#include "board/KelvraView.h"
#include "board/TimerLedger.h"
#include "control/ControlChannel.h"
#include "control/ControlCommand.h"
#include "platform/Clock.h"
#include "platform/WaylandActivation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <variant>

static_assert(ControlMessage::kRows == Kelvra::kTimers, "the wire names every timer and no other");

namespace RemoteControl {

namespace {

using ControlMessage::Reply;
using Verb = ControlMessage::Request::Verb;

// The board that holds the lock may be starting still: a cold start on a slow disk can keep it from
// listening, or from answering, for some seconds (under wine it took more than the one second once
// allowed). Only a board that does not answer makes a second start wait this long.
constexpr int kFrontTimeoutMs = 10000;
constexpr int kFrontRetryMs = 50;
constexpr int kAskTimeoutMs = 1000;

// What the board shows now.
Reply StateOf(const CKelvraView& view, const AwayPrompt* away, const Clock& clock) {
    const CTimerLedger& ledger = view.Ledger();
    Reply reply;
    reply.kind = Reply::Kind::State;
    ControlMessage::State& state = reply.state;
    const int running = ledger.Running();
    state.now = running == 0 ? clock.Now() : ledger.Now();
    state.row = running;
    state.start = running == 0 ? state.now : ledger.Start();
    if (state.row > 0) {
        const int index = state.row - 1;
        state.seconds =
            static_cast<int>(std::min<qint64>(ledger.ShownSeconds(index), std::numeric_limits<int>::max()));
        state.name = ledger.Name(index).toStdString();
    }
    // Made after the first paint: until then no source is known and nothing waits.
    ControlMessage::Presence presence;
    if (away != nullptr) {
        presence.idleSeconds = away->InactiveSeconds().value_or(-1);
        presence.awaySince = away->AwaySince().value_or(-1);
        presence.source = away->InactivitySource().toStdString();
    }
    state.presence = presence;
    return reply;
}

} // namespace

ControlServer::Response Answer(const ControlMessage::Request& request, QWidget& window, CKelvraView& view,
                               const AwayPrompt* away, const Clock& clock) {
    if (request.verb == Verb::Raise) {
        window.showNormal();
        window.raise();
        // On Wayland the focus comes only with the second start's token; Qt's own request, without one,
        // is refused there.
        if (!WaylandActivation::Activate(window, QByteArray::fromStdString(request.token))) {
            window.activateWindow();
        }
    }
    if (request.verb == Verb::Raise || request.verb == Verb::Status) {
        return {StateOf(view, away, clock)};
    }
    // The board takes no click while a dialog waits for the user (names, Reset All), nor a command.
    if (QApplication::activeModalWidget() != nullptr) {
        return {ControlMessage::Refusal("the board is waiting for an answer in a dialog")};
    }
    if (request.verb == Verb::Note) {
        if (view.Ledger().Running() == 0) {
            return {ControlMessage::Refusal("no timer is running, so there is no period for a note")};
        }
        PeriodSink::Correction note;
        note.kind = PeriodSink::Correction::Kind::Note;
        note.note = QString::fromStdString(request.note);
        const PeriodSink::Corrected result = view.Correct(note);
        if (result.outcome != PeriodSink::Corrected::Outcome::Done) {
            return {ControlMessage::Refusal(result.problem.toStdString())};
        }
        return {StateOf(view, away, clock)};
    }
    if (request.verb == Verb::Track) {
        int row = request.row;
        if (row == 0) {
            auto found = ControlCommand::FindRow(view.Ledger(), QString::fromStdString(request.name));
            if (auto* reply = std::get_if<Reply>(&found)) {
                return {std::move(*reply)};
            }
            row = std::get<int>(found);
        }
        PeriodSink::Correction add;
        add.kind = PeriodSink::Correction::Kind::Add;
        add.index = row - 1;
        add.name = view.Ledger().Name(row - 1);
        add.start = request.start;
        add.end = request.end;
        add.note = QString::fromStdString(request.note);
        // Made before the answer, which says whether it was.
        const PeriodSink::Corrected result = view.Correct(add);
        using Outcome = PeriodSink::Corrected::Outcome;
        if (result.outcome != Outcome::Done) {
            return {ControlMessage::Refusal(result.problem.toStdString(), result.outcome == Outcome::Failed
                                                                              ? Reply::Kind::Error
                                                                              : Reply::Kind::Invalid)};
        }
        return {StateOf(view, away, clock)};
    }
    int row = request.verb == Verb::Start ? request.row : 0;
    if (request.verb == Verb::StartName) {
        auto found = ControlCommand::FindRow(view.Ledger(), QString::fromStdString(request.name));
        if (auto* reply = std::get_if<Reply>(&found)) {
            return {std::move(*reply)};
        }
        row = std::get<int>(found);
    }
    // Switched before the answer: once the command returns, the profile and the journal hold the change,
    // so a report run right after it sees it.
    view.SelectRow(row);
    return {StateOf(view, away, clock)};
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
                 qPrintable(Kelvra::StderrLine(
                     QStringLiteral("--start, --stop and --status cannot reach this board: ") + problem)));
    return nullptr;
}

bool AskToTheFront(const QString& profileLocation, const QByteArray& activationToken,
                   const std::function<bool()>& profileFree, QString& problem) {
    ControlMessage::Request raise{Verb::Raise};
    // A token the wire cannot carry is left out: the board comes up as it would without one.
    if (ControlMessage::IsActivationToken(activationToken.toStdString())) {
        raise.token = activationToken.toStdString();
    }
    QElapsedTimer waited;
    waited.start();
    const auto left = [&waited] { return std::max(1, kFrontTimeoutMs - static_cast<int>(waited.elapsed())); };
    // Each ask waits a second at most, and one that went unanswered is made again on a new connection
    // (a raise twice does no harm): a connection made at the moment the board begins to listen can go
    // unseen (wine's pipes, one start in a few), and a board still starting takes the next.
    ControlChannel::Answer answer;
    for (;;) {
        answer = ControlChannel::Ask(profileLocation, raise, std::min(kAskTimeoutMs, left()));
        const bool bNoBoard = answer.outcome == ControlChannel::Answer::Outcome::NoBoard;
        if ((!bNoBoard && !answer.bSilent) || waited.elapsed() >= kFrontTimeoutMs) {
            break;
        }
        if (bNoBoard && profileFree()) {
            problem.clear();
            return false;
        }
        if (bNoBoard) {
            QThread::msleep(kFrontRetryMs);
        }
    }
    // A board from before tokens refuses one: it is asked again without.
    if (!raise.token.empty() && answer.outcome == ControlChannel::Answer::Outcome::Replied &&
        answer.reply.kind == Reply::Kind::Error) {
        raise.token.clear();
        answer = ControlChannel::Ask(profileLocation, raise, left());
    }
    problem = QString::fromLocal8Bit(answer.problem);
    return answer.outcome == ControlChannel::Answer::Outcome::Replied;
}

} // namespace RemoteControl
