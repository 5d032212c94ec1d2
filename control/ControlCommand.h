#pragma once

#include "common/Vocabulary.h"
#include "control/CommandReply.h"
#include "control/ControlMessage.h"

#include <QString>
#include <optional>
#include <variant>

class CTimerLedger;

// The commands a running board answers (--start, --stop, --status), each in a short process of its own
// without a window, and the live period that --report asks the board for.
namespace ControlCommand {

// How long a command waits for the board in all.
inline constexpr int kTimeoutMs = CommandReply::kTimeoutMs;

// A command as the command line gives it: the files (empty: the user's own), what the board is asked,
// and how --status prints the answer.
struct Command {
    QString profileFile;
    QString journalFile;
    ControlMessage::Request request;
    Kelvra::ReportFormat statusFormat = Kelvra::ReportFormat::Text;
};

// The profile as the board names it: the file given, or the user's own profile's place.
QString ProfileLocation(const QString& profileFile);

// Asks the board, prints its answer and returns the exit status: 0 done, 2 no timer or more than one fits
// the name (the candidates on stderr), 3 no board runs for the profile, 1 anything else.
int Run(const Command& command);

// The running board's open period; nothing when no board runs, none of its timers runs, or it cannot
// be asked.
std::optional<Kelvra::LivePeriod> AskLivePeriod(const QString& profileFile);

// The row (1..10) a name stands for (the ledger decides), or the reply that lists the candidates: every
// timer when none fits, those that fit when several do.
std::variant<int, ControlMessage::Reply> FindRow(const CTimerLedger& ledger, const QString& wanted);

} // namespace ControlCommand
