#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <initializer_list>

namespace {

struct DatedOptions {
    const QCommandLineOption& by;
    const QCommandLineOption& periods;
    const QCommandLineOption& from;
    const QCommandLineOption& to;
    const QCommandLineOption& tz;
};

// The value that `word` names among `choices`, if any.
template <typename Value>
std::optional<Value> Choose(const QString& word,
                            std::initializer_list<std::pair<QLatin1String, Value>> choices) {
    for (const auto& [name, value] : choices) {
        if (word == name) {
            return value;
        }
    }
    return std::nullopt;
}

// How many arguments from `i` on are one of Qt's own options (QGuiApplication's, QApplication's and
// X11's): 0 if none. An option with a value takes the next argument with it, as Qt does, unless it
// carries it after '='.
qsizetype QtOptionLength(const QStringList& arguments, qsizetype i) {
    static constexpr QLatin1String kWithValue[] = {
        QLatin1String("-platform"),      QLatin1String("-platformpluginpath"),
        QLatin1String("-platformtheme"), QLatin1String("-plugin"),
        QLatin1String("-qmljsdebugger"), QLatin1String("-qwindowgeometry"),
        QLatin1String("-qwindowicon"),   QLatin1String("-qwindowtitle"),
        QLatin1String("-session"),       QLatin1String("-style"),
        QLatin1String("-stylesheet"),    QLatin1String("-display"),
        QLatin1String("-geometry"),      QLatin1String("-icon"),
        QLatin1String("-name"),          QLatin1String("-title"),
        QLatin1String("-visual"),        QLatin1String("-ncols")};
    static constexpr QLatin1String kFlags[] = {QLatin1String("-reverse"), QLatin1String("-widgetcount"),
                                               QLatin1String("-nograb"), QLatin1String("-dograb"),
                                               QLatin1String("-cmap")};
    const QString& argument = arguments[i];
    const QStringView name = QStringView(argument).left(argument.indexOf(QLatin1Char('=')));
    for (const QLatin1String option : kWithValue) {
        if (name == option) {
            return name.size() == argument.size() && i + 1 < arguments.size() ? 2 : 1;
        }
    }
    for (const QLatin1String flag : kFlags) {
        if (argument == flag) {
            return 1;
        }
    }
    return 0;
}

// Exactly YYYY-MM-DD in ASCII digits: Qt's own ISO reading also takes "2026/04/05".
bool IsDateForm(const QString& text) {
    if (text.size() != 10) {
        return false;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool bDigit = text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9');
        if (i == 4 || i == 7 ? text[i] != QLatin1Char('-') : !bDigit) {
            return false;
        }
    }
    return true;
}

// What is wrong with `text` as the date of `option`, or nothing.
QString ParseDate(const QString& text, const QString& option, QDate& date) {
    if (!IsDateForm(text)) {
        return QStringLiteral("invalid date '%1' for --%2 (YYYY-MM-DD)").arg(text, option);
    }
    date = QDate(text.left(4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt());
    return date.isValid() ? QString()
                          : QStringLiteral("invalid date '%1' for --%2: no such day").arg(text, option);
}

// A zone of the IANA database ("Europe/Berlin", "UTC"). Qt also takes any word it does not know, such as
// "CEST", as a zone of offset 0, which would make a report in UTC without a word: only a name with a '/'
// or one of Qt's list is taken, and never a POSIX rule.
QTimeZone NamedZone(const QString& name) {
    const bool bName = std::all_of(name.begin(), name.end(), [](QChar c) {
        return c.unicode() < 0x80 && (c.isLetterOrNumber() || QLatin1String("/_+-").contains(c));
    });
    const QByteArray id = name.toLatin1();
    if (!bName || (!name.contains(QLatin1Char('/')) && !QTimeZone::isTimeZoneIdAvailable(id))) {
        return {};
    }
    return QTimeZone(id);
}

// A moment of --track: YYYY-MM-DDTHH:MM[:SS], local time unless it ends with Z or an offset (+02:00).
// Nothing, and `problem` says why, for any other form, a day or time that does not exist, or a local
// time the clocks skipped.
std::optional<qint64> ParseMoment(const QString& text, QString& problem) {
    static const QRegularExpression kMoment(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2})(?::(\\d{2}))?(Z|[+-]\\d{2}:\\d{2})?$"));
    const QRegularExpressionMatch match = kMoment.match(text);
    if (!match.hasMatch()) {
        problem = QStringLiteral("'%1' is not a time of the form YYYY-MM-DDTHH:MM[:SS]").arg(text);
        return std::nullopt;
    }
    const auto number = [&](int group) { return match.captured(group).toInt(); };
    const QDate day(number(1), number(2), number(3));
    const QTime time(number(4), number(5), number(6));
    if (!day.isValid() || !time.isValid()) {
        problem = QStringLiteral("'%1' names a day or a time that does not exist").arg(text);
        return std::nullopt;
    }
    const QString zone = match.captured(7);
    QDateTime moment;
    if (zone.isEmpty()) {
        moment = QDateTime(day, time, Qt::LocalTime);
        // A time in the hour the clocks skip is moved by Qt: taken as given, it names no moment.
        if (!moment.isValid() || moment.time() != time || moment.date() != day) {
            problem = QStringLiteral("'%1' is a local time the clocks skipped").arg(text);
            return std::nullopt;
        }
    } else {
        const int offset = zone == QStringLiteral("Z")
                               ? 0
                               : (zone.mid(1, 2).toInt() * 3600 + zone.mid(4, 2).toInt() * 60) *
                                     (zone.startsWith(QLatin1Char('-')) ? -1 : 1);
        moment = QDateTime(day, time, QTimeZone(offset));
    }
    return moment.toSecsSinceEpoch();
}

// Fills in the dated report's options; returns what is wrong with them, or nothing.
QString ParseDatedReport(const QCommandLineParser& parser, const DatedOptions& options, bool reporting,
                         CommandLine& result) {
    const bool bBy = parser.isSet(options.by);
    const bool bPeriods = parser.isSet(options.periods);
    const bool bRange = parser.isSet(options.from) || parser.isSet(options.to) || parser.isSet(options.tz);
    if (!reporting && (bBy || bPeriods || bRange)) {
        return QStringLiteral("--by, --periods, --from, --to and --tz go with --report");
    }
    if (bBy && bPeriods) {
        return QStringLiteral("--by and --periods cannot be given together");
    }
    if (bRange && !bBy && !bPeriods) {
        return QStringLiteral("--from, --to and --tz go with --by or --periods");
    }
    if (parser.isSet(options.tz)) {
        result.reportZone = NamedZone(parser.value(options.tz));
        if (!result.reportZone.isValid()) {
            return QStringLiteral(
                       "unknown time zone '%1' for --tz (an IANA name such as Europe/Berlin or UTC)")
                .arg(parser.value(options.tz));
        }
    }
    if (bPeriods) {
        result.reportUnit = JournalReport::Unit::Period;
    } else if (bBy) {
        using Unit = JournalReport::Unit;
        const QString unit = parser.value(options.by);
        result.reportUnit = Choose<Unit>(unit, {{QLatin1String("day"), Unit::Day},
                                                {QLatin1String("week"), Unit::Week},
                                                {QLatin1String("month"), Unit::Month}});
        if (!result.reportUnit) {
            return QStringLiteral("unknown unit '%1' for --by (day, week or month)").arg(unit);
        }
    }
    for (const auto& [option, date] :
         {std::pair{&options.from, &result.reportFrom}, std::pair{&options.to, &result.reportTo}}) {
        if (parser.isSet(*option)) {
            if (QString wrong = ParseDate(parser.value(*option), option->names().constFirst(), *date);
                !wrong.isEmpty()) {
                return wrong;
            }
        }
    }
    if (result.reportFrom.isValid() && result.reportTo.isValid() && result.reportFrom > result.reportTo) {
        return QStringLiteral("--from %1 comes after --to %2")
            .arg(result.reportFrom.toString(Qt::ISODate), result.reportTo.toString(Qt::ISODate));
    }
    return {};
}

} // namespace

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
        QStringLiteral("Print the board from the profile, with the open period of a board that runs, and "
                       "exit, without a window and without writing anything. FORMAT: text (default), csv "
                       "or json."),
        QStringLiteral("FORMAT"));
    const QCommandLineOption by(
        QStringLiteral("by"),
        QStringLiteral("With --report: the time of each timer from the journal by day (of the time zone "
                       "each period was lived in), ISO week or month, with a total for each. UNIT: day, "
                       "week or month."),
        QStringLiteral("UNIT"));
    const QCommandLineOption periods(
        QStringLiteral("periods"),
        QStringLiteral("With --report: every period from the journal, with its start and end."));
    const QCommandLineOption from(
        QStringLiteral("from"),
        QStringLiteral("With --by or --periods: begin at the day DATE (YYYY-MM-DD; default: the day "
                       "of the first period)."),
        QStringLiteral("DATE"));
    const QCommandLineOption to(
        QStringLiteral("to"),
        QStringLiteral("With --by or --periods: end with the day DATE, included (default: today)."),
        QStringLiteral("DATE"));
    const QCommandLineOption tz(
        QStringLiteral("tz"),
        QStringLiteral("With --by or --periods: every period in the time zone ZONE (an IANA name such as "
                       "Europe/Berlin or UTC), its days cut at ZONE's midnights and its times with ZONE's "
                       "offsets (default: each period in the zone it was lived in)."),
        QStringLiteral("ZONE"));
    const QCommandLineOption start(
        QStringLiteral("start"),
        QStringLiteral("Switch the running board to a timer, as a click on its name does: its row (1 to 10), "
                       "else its exact name, else the start of one name, in any case."),
        QStringLiteral("N|NAME"));
    const QCommandLineOption stop(QStringLiteral("stop"), QStringLiteral("Stop the running board's timer."));
    const QCommandLineOption track(
        QStringLiteral("track"),
        QStringLiteral("Add a period to the history: --track START END N|NAME, each time as "
                       "YYYY-MM-DDTHH:MM[:SS] (local time, or ending with Z or an offset such as +02:00). "
                       "Through the running board, else straight to the files."),
        QStringLiteral("START"));
    const QCommandLineOption note(
        QStringLiteral("note"),
        QStringLiteral("Set the note of the running board's period, or with --track of the period added "
                       "(at most 1,000 characters)."),
        QStringLiteral("TEXT"));
    // Shown in the help only, like --report.
    const QCommandLineOption status(
        QStringLiteral("status"),
        QStringLiteral("Print the running board's timer and its time, or \"Stopped\". FORMAT: text "
                       "(default) or json."),
        QStringLiteral("FORMAT"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(profile);
    parser.addOption(journal);
    parser.addOption(report);
    parser.addOption(by);
    parser.addOption(periods);
    parser.addOption(from);
    parser.addOption(to);
    parser.addOption(tz);
    parser.addOption(start);
    parser.addOption(stop);
    parser.addOption(status);
    parser.addOption(track);
    parser.addOption(note);
    parser.addPositionalArgument(QStringLiteral("document"),
                                 QStringLiteral("A document to open (it holds no data)."),
                                 QStringLiteral("[document]"));

    CommandLine result;
    QStringList rest;
    bool reporting = false;
    bool bStatus = false;
    QString twice; // the first option with one value given more than once
    const auto once = [&twice](bool& bSeen, const char* name) {
        if (bSeen && twice.isEmpty()) {
            twice = QLatin1String(name);
        }
        bSeen = true;
    };
    const QStringList formats{QStringLiteral("text"), QStringLiteral("csv"), QStringLiteral("json")};
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (const qsizetype length = i > 0 ? QtOptionLength(arguments, i) : 0; length > 0) {
            result.qtOptions << arguments.mid(i, length);
            i += length - 1;
        } else if (argument == QStringLiteral("--report") ||
                   argument.startsWith(QStringLiteral("--report="))) {
            once(reporting, "report");
            QString format = argument.section(QLatin1Char('='), 1);
            if (argument == QStringLiteral("--report") && i + 1 < arguments.size() &&
                formats.contains(arguments[i + 1])) {
                format = arguments[++i];
            }
            using Format = Kelvra::ReportFormat;
            const std::optional<Format> chosen =
                Choose<Format>(format, {{QLatin1String(""), Format::Text},
                                        {QLatin1String("text"), Format::Text},
                                        {QLatin1String("csv"), Format::Csv},
                                        {QLatin1String("json"), Format::Json}});
            if (chosen) {
                result.reportFormat = *chosen;
            } else {
                result.action = Action::Error;
                result.text = QStringLiteral("unknown report format '%1' (text, csv or json)").arg(format);
                return result;
            }
        } else if (argument == QStringLiteral("--status") ||
                   argument.startsWith(QStringLiteral("--status="))) {
            const QString format = argument.section(QLatin1Char('='), 1);
            using Format = Kelvra::ReportFormat;
            const std::optional<Format> chosen =
                Choose<Format>(format, {{QLatin1String(""), Format::Text},
                                        {QLatin1String("text"), Format::Text},
                                        {QLatin1String("json"), Format::Json}});
            if (!chosen) {
                result.action = Action::Error;
                result.text = QStringLiteral("unknown status format '%1' (text or json)").arg(format);
                return result;
            }
            result.statusFormat = *chosen;
            once(bStatus, "status");
        } else {
            rest << argument;
        }
    }
    if (!parser.parse(rest)) {
        result.action = Action::Error;
        result.text = parser.errorText();
        if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty()) {
            // As typed: the parser names them without their dashes.
            QStringList typed;
            for (const QString& name : unknown) {
                const bool bLong = std::any_of(rest.cbegin(), rest.cend(), [&](const QString& argument) {
                    return argument == QStringLiteral("--") + name ||
                           argument.startsWith(QStringLiteral("--%1=").arg(name));
                });
                typed << (bLong ? QStringLiteral("--") : QStringLiteral("-")) + name;
            }
            result.text = typed.size() == 1 ? QStringLiteral("Unknown option '%1'.").arg(typed.constFirst())
                                            : QStringLiteral("Unknown options: %1.").arg(typed.join(u", "));
        }
        return result;
    }
    if (parser.isSet(help)) {
        result.action = Action::Help;
        result.text = parser.helpText()
                          .replace(QStringLiteral("<executable_name>"), QStringLiteral("kelvra"))
                          .replace(QStringLiteral("--report <FORMAT>"), QStringLiteral("--report[=FORMAT]"))
                          .replace(QStringLiteral("--status <FORMAT>"), QStringLiteral("--status[=FORMAT]"));
        return result;
    }
    if (parser.isSet(version)) {
        result.action = Action::Version;
        return result;
    }
    // Otherwise the last value would silently win.
    for (const QCommandLineOption* option :
         {&profile, &journal, &by, &from, &to, &tz, &start, &track, &note}) {
        if (twice.isEmpty() && parser.values(*option).size() > 1) {
            twice = option->names().constLast();
        }
    }
    if (!twice.isEmpty()) {
        result.action = Action::Error;
        result.text = QStringLiteral("--%1 may be given only once").arg(twice);
        return result;
    }
    // --track START END N|NAME: the two after START come as positional arguments.
    const bool bTrack = parser.isSet(track);
    if (bTrack && parser.positionalArguments().size() != 2) {
        result.action = Action::Error;
        result.text = QStringLiteral("--track needs START, END and a timer's row or name");
        return result;
    }
    if (!bTrack && parser.positionalArguments().size() > 1) {
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
    result.document = bTrack ? QString() : parser.positionalArguments().value(0);
    const QString problem = ParseDatedReport(parser, {by, periods, from, to, tz}, reporting, result);
    if (!problem.isEmpty()) {
        result.action = Action::Error;
        result.text = problem;
        return result;
    }
    const bool bNote = parser.isSet(note) && !bTrack;
    const int commands = int(reporting) + int(bStatus) + int(parser.isSet(start)) + int(parser.isSet(stop)) +
                         int(bTrack) + int(bNote);
    QString wrong;
    if (commands > 1) {
        wrong = QStringLiteral(
            "--start, --stop, --status, --note, --track and --report cannot be given together");
    } else if (commands > int(reporting) && !result.document.isEmpty()) {
        wrong = QStringLiteral("--start, --stop and --status take no document");
    } else if (parser.isSet(start) && parser.value(start).isEmpty()) {
        wrong = QStringLiteral("--start needs a row from 1 to 10 or a timer's name");
    }
    if (!wrong.isEmpty()) {
        result.action = Action::Error;
        result.text = wrong;
        return result;
    }
    using Verb = ControlMessage::Request::Verb;
    if (parser.isSet(note)) {
        QString text = parser.value(note);
        if (text.size() > Kelvra::kNoteLength) {
            result.notice = QStringLiteral("the note was cut to %L1 characters").arg(Kelvra::kNoteLength);
            text.truncate(Kelvra::kNoteLength);
        }
        result.control.note = text.toStdString();
    }
    if (bTrack) {
        const QStringList rest = parser.positionalArguments();
        std::optional<qint64> startAt = ParseMoment(parser.value(track), wrong);
        std::optional<qint64> endAt = startAt ? ParseMoment(rest[0], wrong) : std::nullopt;
        if (startAt && endAt && *endAt <= *startAt) {
            wrong = QStringLiteral("--track's END must come after its START");
            endAt.reset();
        }
        if (!endAt) {
            result.action = Action::Error;
            result.text = wrong;
            return result;
        }
        result.action = Action::Control;
        result.control.verb = Verb::Track;
        result.control.start = *startAt;
        result.control.end = *endAt;
        bool bNumber = false;
        const int row = rest[1].toInt(&bNumber);
        const bool bRow =
            bNumber && QString::number(row) == rest[1] && row >= 1 && row <= ControlMessage::kRows;
        result.control.row = bRow ? row : 0;
        result.control.name = bRow ? std::string() : rest[1].toStdString();
        return result;
    }
    if (bNote) {
        result.action = Action::Control;
        result.control.verb = Verb::Note;
        return result;
    }
    if (reporting) {
        result.action = Action::Report;
    } else if (bStatus || parser.isSet(stop)) {
        result.action = Action::Control;
        result.control.verb = bStatus ? Verb::Status : Verb::Stop;
    } else if (parser.isSet(start)) {
        result.action = Action::Control;
        // Only plain digits make a row; "03" or "11" is a name, as unlikely as it is.
        const QString value = parser.value(start);
        bool bNumber = false;
        const int row = value.toInt(&bNumber);
        const bool bRow =
            bNumber && QString::number(row) == value && row >= 1 && row <= ControlMessage::kRows;
        result.control = bRow ? ControlMessage::Request{Verb::Start, row, {}, 0, 0, {}}
                              : ControlMessage::Request{Verb::StartName, 0, value.toStdString(), 0, 0, {}};
    }
    return result;
}
