#include "app/CommandLine.h"

#include "front/Options.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <initializer_list>
#include <vector>

using namespace Qt::Literals::StringLiterals;

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

// The parser's complaint, with unknown options named as typed: it names them without their dashes.
QString ParseError(const QCommandLineParser& parser, const QStringList& given) {
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty()) {
        return parser.errorText();
    }
    QStringList typed;
    for (const QString& name : unknown) {
        const bool bLong = std::any_of(given.cbegin(), given.cend(), [&](const QString& argument) {
            return argument == QStringLiteral("--") + name ||
                   argument.startsWith(QStringLiteral("--%1=").arg(name));
        });
        typed << (bLong ? QStringLiteral("--") : QStringLiteral("-")) + name;
    }
    return typed.size() == 1 ? QStringLiteral("Unknown option '%1'.").arg(typed.constFirst())
                             : QStringLiteral("Unknown options: %1.").arg(typed.join(u", "));
}

// A timer's row (1 to 10) when `value` is one in plain digits, else 0: "03" or "11" is a name, as unlikely
// as it is.
int Row(const QString& value) {
    bool bNumber = false;
    const int row = value.toInt(&bNumber);
    return bNumber && QString::number(row) == value && row >= 1 && row <= ControlMessage::kRows ? row : 0;
}

// --report[=FORMAT] and --status[=FORMAT], whose value may be left out (a lone --report also takes a
// format that follows it): true when argument `i` is one, with `i` moved past the format it took. `error`
// says what is wrong with the format, if anything.
bool TakeFormat(const QStringList& arguments, qsizetype& i, QLatin1String name, bool bCsv,
                Kelvra::ReportFormat& format, QString& error) {
    const QString& argument = arguments[i];
    const QString option = QStringLiteral("--") + name;
    if (argument != option && !argument.startsWith(option + QLatin1Char('='))) {
        return false;
    }
    using Format = Kelvra::ReportFormat;
    const auto choose = [bCsv](const QString& word) {
        const std::optional<Format> chosen = Choose<Format>(word, {{QLatin1String(""), Format::Text},
                                                                   {QLatin1String("text"), Format::Text},
                                                                   {QLatin1String("csv"), Format::Csv},
                                                                   {QLatin1String("json"), Format::Json}});
        return bCsv || chosen != Format::Csv ? chosen : std::nullopt;
    };
    QString word = argument.section(QLatin1Char('='), 1);
    if (bCsv && argument == option && i + 1 < arguments.size() && !arguments[i + 1].isEmpty() &&
        choose(arguments[i + 1])) {
        word = arguments[++i];
    }
    if (const std::optional<Format> chosen = choose(word)) {
        format = *chosen;
    } else {
        error =
            QStringLiteral("unknown %1 format '%2' (%3)")
                .arg(name == QLatin1String("report") ? QStringLiteral("report") : QStringLiteral("status"),
                     word, bCsv ? QStringLiteral("text, csv or json") : QStringLiteral("text or json"));
    }
    return true;
}

} // namespace

CommandLine CommandLine::Parse(const QStringList& arguments) {
    // The parser reads every option of the table but --report and --status, whose value may be left
    // out, which it cannot express: those are taken out of the arguments first.
    QCommandLineParser parser;
    std::vector<QCommandLineOption> table;
    for (const Options::Option& entry : Options::kTable) {
        if (!entry.bOptionalValue) {
            QStringList names{QLatin1String(entry.name)};
            if (entry.shortName != nullptr) {
                names.prepend(QLatin1String(entry.shortName));
            }
            table.emplace_back(names, QString::fromUtf8(entry.description),
                               entry.value != nullptr ? QLatin1String(entry.value) : QLatin1String());
            parser.addOption(table.back());
        }
    }
    const auto option = [&table](QLatin1String name) -> const QCommandLineOption& {
        return *std::find_if(table.cbegin(), table.cend(),
                             [name](const QCommandLineOption& o) { return o.names().constLast() == name; });
    };
    const QCommandLineOption& start = option("start"_L1);
    const QCommandLineOption& track = option("track"_L1);
    const QCommandLineOption& note = option("note"_L1);

    CommandLine result;
    const auto fail = [&result](const QString& text) {
        result.action = Action::Error;
        result.text = text;
        return result;
    };
    QStringList rest;
    int reports = 0;
    int statuses = 0;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString error;
        if (const qsizetype length = i > 0 ? QtOptionLength(arguments, i) : 0; length > 0) {
            result.qtOptions << arguments.mid(i, length);
            i += length - 1;
        } else if (TakeFormat(arguments, i, "report"_L1, true, result.reportFormat, error)) {
            ++reports;
        } else if (TakeFormat(arguments, i, "status"_L1, false, result.statusFormat, error)) {
            ++statuses;
        } else {
            rest << arguments[i];
        }
        if (!error.isEmpty()) {
            return fail(error);
        }
    }
    if (!parser.parse(rest)) {
        return fail(ParseError(parser, rest));
    }
    if (parser.isSet(option("help"_L1))) {
        result.action = Action::Help;
        result.text = QString::fromStdString(Options::HelpText());
        return result;
    }
    if (parser.isSet(option("version"_L1))) {
        result.action = Action::Version;
        return result;
    }
    // Otherwise the last value would silently win.
    if (reports > 1 || statuses > 1) {
        return fail(QStringLiteral("--%1 may be given only once").arg(reports > 1 ? u"report" : u"status"));
    }
    for (const QCommandLineOption& valued : table) {
        if (!valued.valueName().isEmpty() && parser.values(valued).size() > 1) {
            return fail(QStringLiteral("--%1 may be given only once").arg(valued.names().constLast()));
        }
    }
    // --track START END N|NAME: the two after START come as positional arguments.
    const bool bTrack = parser.isSet(track);
    const QStringList positional = parser.positionalArguments();
    if (bTrack && positional.size() != 2) {
        return fail(QStringLiteral("--track needs START, END and a timer's row or name"));
    }
    if (!bTrack && positional.size() > 1) {
        return fail(QStringLiteral("at most one document may be named"));
    }
    // Absolute, so that the lock beside it is found whatever the working folder.
    for (const auto& [name, file] :
         {std::pair{"profile"_L1, &result.profileFile}, {"journal"_L1, &result.journalFile}}) {
        if (parser.isSet(option(name))) {
            *file = QFileInfo(parser.value(option(name))).absoluteFilePath();
        }
    }
    result.document = bTrack ? QString() : positional.value(0);
    const bool reporting = reports > 0;
    const QString problem = ParseDatedReport(
        parser, {option("by"_L1), option("periods"_L1), option("from"_L1), option("to"_L1), option("tz"_L1)},
        reporting, result);
    if (!problem.isEmpty()) {
        return fail(problem);
    }
    const bool bNote = parser.isSet(note) && !bTrack;
    const bool bStop = parser.isSet(option("stop"_L1));
    if (int(reporting) + statuses + int(parser.isSet(start)) + int(bStop) + int(bTrack) + int(bNote) > 1) {
        return fail(QStringLiteral(
            "--start, --stop, --status, --note, --track and --report cannot be given together"));
    }
    if (!reporting && (statuses > 0 || parser.isSet(start) || bStop || bTrack || bNote) &&
        !result.document.isEmpty()) {
        return fail(QStringLiteral("--start, --stop and --status take no document"));
    }
    if (parser.isSet(start) && parser.value(start).isEmpty()) {
        return fail(QStringLiteral("--start needs a row from 1 to 10 or a timer's name"));
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
    // The timer of --start and --track: a row, else a name.
    const QString timer = bTrack ? positional.value(1) : parser.value(start);
    result.control.row = Row(timer);
    result.control.name = result.control.row > 0 ? std::string() : timer.toStdString();
    if (bTrack) {
        QString wrong;
        const std::optional<qint64> startAt = ParseMoment(parser.value(track), wrong);
        const std::optional<qint64> endAt = startAt ? ParseMoment(positional[0], wrong) : std::nullopt;
        if (!endAt) {
            return fail(wrong);
        }
        if (*endAt <= *startAt) {
            return fail(QStringLiteral("--track's END must come after its START"));
        }
        result.control.verb = Verb::Track;
        result.control.start = *startAt;
        result.control.end = *endAt;
    } else if (bNote || statuses > 0 || bStop) {
        result.control.verb = bNote ? Verb::Note : statuses > 0 ? Verb::Status : Verb::Stop;
    } else if (parser.isSet(start)) {
        result.control.verb = result.control.row > 0 ? Verb::Start : Verb::StartName;
    } else {
        result.action = reporting ? Action::Report : Action::Run;
        return result;
    }
    result.action = Action::Control;
    return result;
}
