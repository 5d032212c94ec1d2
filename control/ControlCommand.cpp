#include "control/ControlCommand.h"

#include "board/BoardDisplay.h"
#include "board/TimerLedger.h"
#include "board/TimerStore.h"
#include "control/ControlChannel.h"
#include "journal/JournalReport.h"
#include "journal/JournalSink.h"
#include "platform/Clock.h"
#include "platform/InstanceGuard.h"
#include "platform/Profile.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
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

QString Status(const ControlMessage::State& state, Kelvra::ReportFormat format) {
    const QString name = QString::fromStdString(state.name);
    const ControlMessage::Presence presence = state.presence.value_or(ControlMessage::Presence{});
    const auto local = [](qint64 utc) {
        return QDateTime::fromSecsSinceEpoch(utc)
            .toOffsetFromUtc(QDateTime::fromSecsSinceEpoch(utc).offsetFromUtc())
            .toString(Qt::ISODate);
    };
    if (format == Kelvra::ReportFormat::Json) {
        const QJsonValue null(QJsonValue::Null);
        const QJsonObject object{
            {QStringLiteral("running"), state.row > 0},
            {QStringLiteral("row"), state.row},
            {QStringLiteral("name"), name},
            {QStringLiteral("seconds"), qint64(state.seconds)},
            {QStringLiteral("time"), JournalReport::Duration(state.seconds)},
            {QStringLiteral("period_seconds"), qint64(state.row > 0 ? state.now - state.start : 0)},
            {QStringLiteral("idle_seconds"),
             presence.idleSeconds >= 0 ? QJsonValue(qint64(presence.idleSeconds)) : null},
            {QStringLiteral("away_since"),
             presence.awaySince >= 0 ? QJsonValue(local(presence.awaySince)) : null},
            {QStringLiteral("idle_source"),
             presence.source.empty() ? null : QJsonValue(QString::fromStdString(presence.source))}};
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
    }
    QString text = state.row == 0
                       ? QStringLiteral("Stopped\n")
                       : QStringLiteral("%1 \u2013 %2\n").arg(name, JournalReport::Duration(state.seconds));
    // What the board knows of the user, when it knows anything.
    if (presence.idleSeconds > 0) {
        text +=
            QStringLiteral("No input for %1 (%2)\n")
                .arg(JournalReport::Duration(presence.idleSeconds), QString::fromStdString(presence.source));
    }
    if (presence.awaySince >= 0) {
        text += QStringLiteral("Away since %1, not answered yet\n")
                    .arg(QDateTime::fromSecsSinceEpoch(presence.awaySince).toString(QStringLiteral("HH:mm")));
    }
    return text;
}

// The candidates, one a line with its row, after the line that says what is wrong.
QString Candidates(const QString& first, const std::vector<ControlMessage::Candidate>& candidates) {
    QString text = Kelvra::StderrLine(first) + QLatin1Char('\n');
    for (const ControlMessage::Candidate& candidate : candidates) {
        text += QStringLiteral("%1  %2\n").arg(candidate.row, 4).arg(QString::fromStdString(candidate.name));
    }
    return text;
}

// Exit statuses.
constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kWrongInput = 2;
constexpr int kNoBoard = 3;

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
            const QString name = QString::fromStdString(request.name);
            Print(
                stderr,
                Candidates(
                    reply->kind == Reply::Kind::Unknown
                        ? QStringLiteral("no timer's name is or begins with '%1'; the timers are:").arg(name)
                        : QStringLiteral("'%1' begins more than one timer's name:").arg(name),
                    reply->candidates));
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
    const QString location = ProfileLocation(command.profileFile);
    const ControlMessage::Request& request = command.request;
    if (ControlMessage::Encode(request).size() > ControlMessage::kMaxRequestBytes) {
        Print(stderr, Kelvra::StderrLine(QStringLiteral("the name is too long")) + QLatin1Char('\n'));
        return 1;
    }
    const ControlChannel::Answer answer = ControlChannel::Ask(location, request, kTimeoutMs);
    switch (answer.outcome) {
    case ControlChannel::Answer::Outcome::NoBoard:
        if (request.verb == ControlMessage::Request::Verb::Track) {
            return TrackWithoutBoard(command);
        }
        Print(stderr,
              Kelvra::StderrLine(QStringLiteral("no board is running for the profile %1").arg(location)) +
                  QLatin1Char('\n'));
        return kNoBoard;
    case ControlChannel::Answer::Outcome::Failed:
        Print(stderr, Kelvra::StderrLine(answer.problem) + QLatin1Char('\n'));
        return 1;
    case ControlChannel::Answer::Outcome::Replied:
        break;
    }
    const Reply& reply = answer.reply;
    const QString name = QString::fromStdString(request.name);
    switch (reply.kind) {
    case Reply::Kind::State:
        if (request.verb == ControlMessage::Request::Verb::Status) {
            Print(stdout, Status(reply.state, command.statusFormat));
        }
        return 0;
    case Reply::Kind::Unknown:
        Print(stderr,
              Candidates(QStringLiteral("no timer's name is or begins with '%1'; the timers are:").arg(name),
                         reply.candidates));
        return 2;
    case Reply::Kind::Ambiguous:
        Print(stderr, Candidates(QStringLiteral("'%1' begins more than one timer's name:").arg(name),
                                 reply.candidates));
        return 2;
    case Reply::Kind::Invalid:
        return Fail(QString::fromStdString(reply.message), kWrongInput);
    case Reply::Kind::Error:
        break;
    }
    Print(
        stderr,
        Kelvra::StderrLine(
            QStringLiteral("the board refused the request: %1").arg(QString::fromStdString(reply.message))) +
            QLatin1Char('\n'));
    return 1;
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
