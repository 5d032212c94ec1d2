#include "app/CommandLine.h"

#include <QCommandLineParser>

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
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(profile);
    parser.addPositionalArgument(QStringLiteral("document"),
                                 QStringLiteral("A document to open (it holds no data)."),
                                 QStringLiteral("[document]"));

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.action = Action::Error;
        result.text = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.action = Action::Help;
        result.text =
            parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("kelvra"));
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
    result.profileFile = parser.value(profile);
    result.document = parser.positionalArguments().value(0);
    return result;
}
