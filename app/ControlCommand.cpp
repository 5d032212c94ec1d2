#include "app/ControlCommand.h"

#include "app/CommandLine.h"
#include "journal/JournalReport.h"
#include "platform/ControlChannel.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <cstdio>

namespace ControlCommand {

namespace {

using ControlMessage::Reply;

void Print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

QString Status(const ControlMessage::State& state, Kelvra::ReportFormat format) {
    const QString name = QString::fromStdString(state.name);
    if (format == Kelvra::ReportFormat::Json) {
        const QJsonObject object{
            {QStringLiteral("running"), state.row > 0},
            {QStringLiteral("row"), state.row},
            {QStringLiteral("name"), name},
            {QStringLiteral("seconds"), qint64(state.seconds)},
            {QStringLiteral("time"), JournalReport::Duration(state.seconds)},
            {QStringLiteral("period_seconds"), qint64(state.row > 0 ? state.now - state.start : 0)}};
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
    }
    if (state.row == 0) {
        return QStringLiteral("Stopped\n");
    }
    return QStringLiteral("%1 \u2013 %2\n").arg(name, JournalReport::Duration(state.seconds));
}

// The candidates, one a line with its row, after the line that says what is wrong.
QString Candidates(const QString& first, const std::vector<ControlMessage::Candidate>& candidates) {
    QString text = StderrLine(first) + QLatin1Char('\n');
    for (const ControlMessage::Candidate& candidate : candidates) {
        text += QStringLiteral("%1  %2\n").arg(candidate.row, 4).arg(QString::fromStdString(candidate.name));
    }
    return text;
}

} // namespace

QString ProfileLocation(const CommandLine& commandLine) {
    if (!commandLine.profileFile.isEmpty()) {
        return commandLine.profileFile;
    }
    // The place the board's own profile has. QSettings reads the file on the way (it is small); it
    // makes nothing.
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelvra"),
                     QStringLiteral("Kelvra"))
        .fileName();
}

int Run(const CommandLine& commandLine) {
    const QString location = ProfileLocation(commandLine);
    const ControlMessage::Request& request = commandLine.control;
    if (ControlMessage::Encode(request).size() > ControlMessage::kMaxRequestBytes) {
        Print(stderr, StderrLine(QStringLiteral("the name is too long")) + QLatin1Char('\n'));
        return 1;
    }
    const ControlChannel::Answer answer = ControlChannel::Ask(location, request, kTimeoutMs);
    switch (answer.outcome) {
    case ControlChannel::Answer::Outcome::NoBoard:
        Print(stderr, StderrLine(QStringLiteral("no board is running for the profile %1").arg(location)) +
                          QLatin1Char('\n'));
        return 3;
    case ControlChannel::Answer::Outcome::Failed:
        Print(stderr, StderrLine(answer.problem) + QLatin1Char('\n'));
        return 1;
    case ControlChannel::Answer::Outcome::Replied:
        break;
    }
    const Reply& reply = answer.reply;
    const QString name = QString::fromStdString(request.name);
    switch (reply.kind) {
    case Reply::Kind::State:
        if (request.verb == ControlMessage::Request::Verb::Status) {
            Print(stdout, Status(reply.state, commandLine.statusFormat));
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
    case Reply::Kind::Error:
        break;
    }
    Print(
        stderr,
        StderrLine(
            QStringLiteral("the board refused the request: %1").arg(QString::fromStdString(reply.message))) +
            QLatin1Char('\n'));
    return 1;
}

std::optional<Kelvra::LivePeriod> AskLivePeriod(const CommandLine& commandLine) {
    const ControlChannel::Answer answer = ControlChannel::Ask(
        ProfileLocation(commandLine), {ControlMessage::Request::Verb::Status, 0, {}}, kTimeoutMs);
    if (answer.outcome != ControlChannel::Answer::Outcome::Replied ||
        answer.reply.kind != Reply::Kind::State || answer.reply.state.row == 0) {
        return std::nullopt;
    }
    const ControlMessage::State& state = answer.reply.state;
    return Kelvra::LivePeriod{state.row - 1, QString::fromStdString(state.name), state.start, state.now};
}

} // namespace ControlCommand
