#include "control/ControlCommand.h"

#include "board/BoardDisplay.h"
#include "board/TimerLedger.h"
#include "board/TimerStore.h"
#include "control/CommandReply.h"
#include "control/ControlChannel.h"
#include "journal/JournalReport.h"
#include "journal/JournalSink.h"
#include "platform/Clock.h"
#include "platform/InstanceGuard.h"
#include "platform/Profile.h"

#include <QFile>
#include <QSettings>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace ControlCommand {

namespace {

using ControlMessage::Reply;

void Print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

using CommandReply::kDone;
using CommandReply::kFailed;
using CommandReply::kWrongInput;

int Fail(const QString& message, int status) {
    Print(stderr, Kelvra::StderrLine(message) + QLatin1Char('\n'));
    return status;
}

// --track with no board running: the command does what the board would, on the same files, holding the
// profile's lock meanwhile so that no board starts in between.
int TrackWithoutBoard(const Command& command) {
    const ControlMessage::Request& request = command.request;
    const auto profile = command.profileFile.isEmpty() ? std::make_unique<Profile>()
                                                       : std::make_unique<Profile>(command.profileFile);
    InstanceGuard guard(profile->Location());
    switch (guard.TryAcquire()) {
    case InstanceGuard::Result::Acquired:
        break;
    case InstanceGuard::Result::Held:
        return Fail(
            QStringLiteral("a board holds the profile %1 but did not answer").arg(profile->Location()),
            kFailed);
    case InstanceGuard::Result::Unavailable:
        return Fail(
            QStringLiteral("cannot lock the profile %1: %2").arg(profile->Location(), guard.Problem()),
            kFailed);
    }
    SystemClock clock;
    JournalSink sink(command.journalFile.isEmpty() ? JournalSink::PathFor(command.profileFile)
                                                   : command.journalFile,
                     clock, *profile);
    const JournalSink::Attached& attached = sink.Attach();
    if (!sink.IsRecording()) {
        return Fail(attached.problem.isEmpty() ? QStringLiteral("the history journal cannot be written")
                                               : attached.problem,
                    kFailed);
    }
    NoBoardDisplay display;
    CTimerLedger ledger(*profile, clock, display, sink);
    TimerStore::InitProfile(*profile, clock, ledger);
    ledger.StartStopped();
    ledger.LoadTimers();
    // What a board's start would have told goes to stderr instead.
    if (const auto reconciled = ledger.Reconcile()) {
        for (const PeriodSink::Period& period : reconciled->recovered) {
            Print(stderr, Kelvra::StderrLine(
                              QStringLiteral("a period of %1 left open by a board that ended was charged")
                                  .arg(Kelvra::QuotedName(period.name))) +
                              QLatin1Char('\n'));
        }
        for (const PeriodSink::Dated& balance : reconciled->balances) {
            Print(stderr,
                  Kelvra::StderrLine(QStringLiteral("the profile held %1 more for timer %2 than the history "
                                                    "explains; recorded as a balance")
                                         .arg(JournalReport::Duration(balance.seconds))
                                         .arg(balance.index + 1)) +
                      QLatin1Char('\n'));
        }
    }
    int index = request.row - 1;
    if (request.row == 0) {
        const auto found = FindRow(ledger, QString::fromStdString(request.name));
        if (const auto* reply = std::get_if<Reply>(&found)) {
            const std::string& name = request.name;
            std::fputs(CommandReply::Candidates(reply->kind == Reply::Kind::Unknown
                                                    ? "no timer's name is or begins with '" + name +
                                                          "'; the timers are:"
                                                    : "'" + name + "' begins more than one timer's name:",
                                                reply->candidates)
                           .c_str(),
                       stderr);
            return kWrongInput;
        }
        index = std::get<int>(found) - 1;
    }
    PeriodSink::Correction correction;
    correction.kind = PeriodSink::Correction::Kind::Add;
    correction.index = index;
    correction.name = ledger.Name(index);
    correction.start = request.start;
    correction.end = request.end;
    correction.note = QString::fromStdString(request.note);
    const PeriodSink::Corrected result = ledger.Correct(correction);
    using Outcome = PeriodSink::Corrected::Outcome;
    if (result.outcome == Outcome::Done) {
        return kDone;
    }
    return Fail(result.problem, result.outcome == Outcome::Failed ? kFailed : kWrongInput);
}

} // namespace

std::variant<int, Reply> FindRow(const CTimerLedger& ledger, const QString& wanted) {
    const std::vector<int> fitting = ledger.MatchName(wanted);
    if (fitting.size() == 1) {
        return fitting.front() + 1;
    }
    std::vector<ControlMessage::Candidate> candidates;
    for (int i = 0; i < CTimerLedger::kTimers; ++i) {
        if (fitting.empty() || std::find(fitting.begin(), fitting.end(), i) != fitting.end()) {
            candidates.push_back({i + 1, ledger.Name(i).toStdString()});
        }
    }
    return ControlMessage::Candidates(fitting.empty() ? Reply::Kind::Unknown : Reply::Kind::Ambiguous,
                                      candidates);
}

QString ProfileLocation(const QString& profileFile) {
    if (!profileFile.isEmpty()) {
        return profileFile;
    }
    // The place the board's own profile has. QSettings reads the file on the way (it is small); it
    // makes nothing.
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelvra"),
                     QStringLiteral("Kelvra"))
        .fileName();
}

int Run(const Command& command) {
    const bool bTrack = command.request.verb == ControlMessage::Request::Verb::Track;
    const QString location = ProfileLocation(command.profileFile);
    return CommandReply::Run(
        QFile::encodeName(location).toStdString(), command.request,
        command.statusFormat == Kelvra::ReportFormat::Json ? CommandReply::Form::Json
                                                           : CommandReply::Form::Text,
        [&] { return ControlChannel::Ask(location, command.request, kTimeoutMs); },
        bTrack ? std::function<int()>([&command] { return TrackWithoutBoard(command); }) : nullptr);
}

std::optional<Kelvra::LivePeriod> AskLivePeriod(const QString& profileFile) {
    const ControlChannel::Answer answer = ControlChannel::Ask(
        ProfileLocation(profileFile), {ControlMessage::Request::Verb::Status}, kTimeoutMs);
    if (answer.outcome != ControlChannel::Answer::Outcome::Replied ||
        answer.reply.kind != Reply::Kind::State || answer.reply.state.row == 0) {
        return std::nullopt;
    }
    const ControlMessage::State& state = answer.reply.state;
    return Kelvra::LivePeriod{state.row - 1, QString::fromStdString(state.name), state.start, state.now};
}

} // namespace ControlCommand
