#pragma once

#include <string>

// The program's options as one table, in plain C++: the command line (CommandLine::Parse) builds its
// parser from it, and the command front, which loads no Qt, prints the same help from it.
namespace Options {

struct Option {
    const char* shortName; // nullptr: none
    const char* name;
    const char* value; // nullptr: a flag
    // The value may be left out (--report, --status): such options are read before Qt's parser, which
    // cannot express them, and shown as --name[=VALUE].
    bool bOptionalValue;
    const char* description;
};

inline constexpr Option kTable[] = {
    {"h", "help", nullptr, false, "Show this help and exit."},
    {"v", "version", nullptr, false, "Show the version and exit."},
    {nullptr, "profile", "FILE", false, "Keep names and seconds in FILE instead of the user's profile."},
    {nullptr, "journal", "FILE", false, "Keep the history of periods in FILE (default: beside the profile)."},
    {nullptr, "report", "FORMAT", true,
     "Print the board from the profile, with the open period of a board that runs, and exit, without a "
     "window and without writing anything. FORMAT: text (default), csv or json."},
    {nullptr, "by", "UNIT", false,
     "With --report: the time of each timer from the journal by day (of the time zone each period was "
     "lived in), ISO week or month, with a total for each. UNIT: day, week or month."},
    {nullptr, "periods", nullptr, false,
     "With --report: every period from the journal, with its start and end."},
    {nullptr, "from", "DATE", false,
     "With --by or --periods: begin at the day DATE (YYYY-MM-DD; default: the day of the first period)."},
    {nullptr, "to", "DATE", false,
     "With --by or --periods: end with the day DATE, included (default: today)."},
    {nullptr, "tz", "ZONE", false,
     "With --by or --periods: every period in the time zone ZONE (an IANA name such as Europe/Berlin or "
     "UTC), its days cut at ZONE's midnights and its times with ZONE's offsets (default: each period in "
     "the zone it was lived in)."},
    {nullptr, "start", "N|NAME", false,
     "Switch the running board to a timer, as a click on its name does: its row (1 to 10), else its exact "
     "name, else the start of one name, in any case."},
    {nullptr, "stop", nullptr, false, "Stop the running board's timer."},
    {nullptr, "status", "FORMAT", true,
     "Print the running board's timer and its time, or \"Stopped\". FORMAT: text (default) or json."},
    {nullptr, "track", "START", false,
     "Add a period to the history: --track START END N|NAME, each time as YYYY-MM-DDTHH:MM[:SS] (local "
     "time, or ending with Z or an offset such as +02:00). Through the running board, else straight to the "
     "files."},
    {nullptr, "note", "TEXT", false,
     "Set the note of the running board's period, or with --track of the period added (at most 1,000 "
     "characters)."},
};

inline constexpr const char* kDescription =
    "Kelvra: ten project timers that tell where the working time goes.";
inline constexpr const char* kDocument = "document";
inline constexpr const char* kDocumentDescription = "A document to open (it holds no data).";

// --help's text: usage, the options with their descriptions wrapped within 80 columns, the argument.
std::string HelpText();

} // namespace Options
