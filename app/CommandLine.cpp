#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>

CommandLine CommandLine::Parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Kelvra: ten project timers that tell where the working time goes."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption profile(
        QStringLiteral("profile"),
        QStringLiteral("Keep names and seconds in FILE instead of the user's profile."),
        QStringLiteral("FILE"));
    const QCommandLineOption journal(
        QStringLiteral("journal"),
        QStringLiteral("Keep the history of periods in FILE (default: beside the profile)."),
        QStringLiteral("FILE"));
    // Shown in the help only: "--report" takes an optional value, which the parser cannot express, so
    // it is taken out of the arguments before they are parsed.
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("Print the board from the profile and exit, without a window and "
                       "without writing anything. FORMAT: text (default), csv or json."),
        QStringLiteral("FORMAT"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(profile);
    parser.addOption(journal);
    parser.addOption(report);
    parser.addPositionalArgument(QStringLiteral("document"),
                                 QStringLiteral("A document to open (it holds no data)."),
                                 QStringLiteral("[document]"));

    CommandLine result;
    QStringList rest;
    bool reporting = false;
    const QStringList formats{QStringLiteral("text"), QStringLiteral("csv"), QStringLiteral("json")};
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QStringLiteral("--report") || argument.startsWith(QStringLiteral("--report="))) {
            reporting = true;
            QString format = argument.section(QLatin1Char('='), 1);
            if (argument == QStringLiteral("--report") && i + 1 < arguments.size() &&
                formats.contains(arguments[i + 1])) {
                format = arguments[++i];
            }
            if (format.isEmpty() || format == QStringLiteral("text")) {
                result.reportFormat = BoardReport::Format::Text;
            } else if (format == QStringLiteral("csv")) {
                result.reportFormat = BoardReport::Format::Csv;
            } else if (format == QStringLiteral("json")) {
                result.reportFormat = BoardReport::Format::Json;
            } else {
                result.action = Action::Error;
                result.text = QStringLiteral("unknown report format '%1' (text, csv or json)").arg(format);
                return result;
            }
        } else {
            rest << argument;
        }
    }
    if (!parser.parse(rest)) {
        result.action = Action::Error;
        result.text = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.action = Action::Help;
        result.text = parser.helpText()
                          .replace(QStringLiteral("<executable_name>"), QStringLiteral("kelvra"))
                          .replace(QStringLiteral("--report <FORMAT>"), QStringLiteral("--report[=FORMAT]"));
        return result;
    }
    if (parser.isSet(version)) {
        result.action = Action::Version;
        return result;
    }
    if (parser.positionalArguments().size() > 1) {
        result.action = Action::Error;
        result.text = QStringLiteral("at most one document may be named");
        return result;
    }
    // Absolute, so that the lock beside it is found whatever the working folder.
    if (parser.isSet(profile)) {
        result.profileFile = QFileInfo(parser.value(profile)).absoluteFilePath();
    }
    if (parser.isSet(journal)) {
        result.journalFile = QFileInfo(parser.value(journal)).absoluteFilePath();
    }
    result.document = parser.positionalArguments().value(0);
    if (reporting) {
        result.action = Action::Report;
    }
    return result;
}
