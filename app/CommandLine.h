#pragma once

#include "board/BoardReport.h"
#include "control/ControlMessage.h"
#include "journal/JournalReport.h"

#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <optional>

// What the command line asks for. Parsed before any window system is touched, so that --help, --version,
// --report and the commands to a running board work without a display.
struct CommandLine {
    enum class Action { Run, Help, Version, Report, Control, Error };

    Action action = Action::Run;
    QString profileFile; // empty: the user's own profile
    QString journalFile; // empty: beside the profile
    QString document;    // empty: a new document
    Kelvra::ReportFormat reportFormat = Kelvra::ReportFormat::Text;
    // Set: a dated report from the journal (--by or --periods) instead of the board's totals.
    std::optional<JournalReport::Unit> reportUnit;
    QDate reportFrom;     // invalid: from the first period
    QDate reportTo;       // invalid: through today
    QTimeZone reportZone; // valid (--tz): every period in this zone instead of the one it was lived in
    QString text;         // the help text, or the error message
    QString notice;       // said on stderr before the command runs (a note that was cut)
    // Action::Control: what the running board is asked (--start, --stop, --status, --note, --track), and
    // how --status prints its answer (Text or Json).
    ControlMessage::Request control;
    Kelvra::ReportFormat statusFormat = Kelvra::ReportFormat::Text;
    // Qt's own options with their values, in order: QApplication takes them out of argv itself.
    QStringList qtOptions;

    static CommandLine Parse(const QStringList& arguments);
};
