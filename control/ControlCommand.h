#pragma once

#include "common/Vocabulary.h"
#include "control/ControlMessage.h"

#include <QString>
#include <optional>
#include <variant>

class CTimerLedger;
struct CommandLine;

// The commands a running board answers (--start, --stop, --status), each in a short process of its own
// without a window, and the live period that --report asks the board for.
namespace ControlCommand {

// How long a command waits for the board in all.
inline constexpr int kTimeoutMs = 3000;

// The profile of the command line as the board names it: the file, or the user's own profile's place.
QString ProfileLocation(const CommandLine& commandLine);

// Asks the board, prints its answer and returns the exit status: 0 done, 2 no timer or more than one fits
// the name (the candidates on stderr), 3 no board runs for the profile, 1 anything else.
int Run(const CommandLine& commandLine);

// The running board's open period; nothing when no board runs, none of its timers runs, or it cannot
// be asked.
std::optional<Kelvra::LivePeriod> AskLivePeriod(const CommandLine& commandLine);

// The row (1..10) a name stands for (the ledger decides), or the reply that lists the candidates: every
// timer when none fits, those that fit when several do.
std::variant<int, ControlMessage::Reply> FindRow(const CTimerLedger& ledger, const QString& wanted);

} // namespace ControlCommand
