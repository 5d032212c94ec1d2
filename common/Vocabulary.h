#pragma once

#include <QString>
#include <QtGlobal>

// Words every folder shares: the number of timers, the time text, the add that holds seconds within 32
// bits, a running board's open period and the forms of a report. Includes nothing of ours, so that any
// folder may use it without reaching into another.
namespace Kelvra {

inline constexpr int kTimers = 10;
// A period's note keeps this many characters; a longer one is cut, and the user told.
inline constexpr int kNoteLength = 1000;

// Hours right-aligned in at least three characters, then two-digit minutes and seconds ("  1:05:09"). A
// negative time carries its minus in front of the hours.
QString FormatSeconds(qint64 seconds);

// Stored seconds plus a charge, held within the 32-bit range instead of wrapping (about 68 years).
int SaturatingAdd(int seconds, qint64 added);

// The open period of a running board as that board sees it at one instant: what a report adds so that it
// shows what the board shows, to the second, instead of the period's last heartbeat.
struct LivePeriod {
    int index = 0; // the timer, 0-based
    QString name;
    qint64 start = 0;
    qint64 now = 0; // the board's clock when it was asked
};

enum class ReportFormat { Text, Csv, Json };

// One field of every CSV the program writes: quoted (quotes doubled) when it holds a comma, a quote, a
// control character (a tab, a line end, a NUL) or spaces at either end, so that no reader splits or trims it.
QString CsvField(const QString& value);

// A timer's name in a few words between quotes, for the label of a change ("Reset of \"Mail\"").
QString QuotedName(const QString& name);

// A message as a line for stderr (Plain::StderrLine).
QString StderrLine(const QString& message);

} // namespace Kelvra
