#pragma once

#include <QString>

// Sections and entries of the profile. The timer sections use the timer index ("0".."9") as entry.
namespace ProfileLayout {
inline const QString kTimer = QStringLiteral("Timer");
inline const QString kTimerSec = QStringLiteral("TimerSec");
inline const QString kTimerText = QStringLiteral("TimerText");

inline const QString kInit = QStringLiteral("Init");
inline const QString kRandomId = QStringLiteral("RandomID");
inline const QString kCc = QStringLiteral("CC");
inline const QString kCountryCode = QStringLiteral("CountryCode");

// Settings of the Options dialog.
inline const QString kOptions = QStringLiteral("Options");
inline const QString kAwayMinutes = QStringLiteral("AwayMinutes");
inline const QString kIdleMinutes = QStringLiteral("IdleMinutes");
inline const QString kRemindStoppedMinutes = QStringLiteral("RemindStoppedMinutes");
inline const QString kRemindLongMinutes = QStringLiteral("RemindLongMinutes");
inline const QString kCountryLookup = QStringLiteral("CountryLookup");

inline QString IndexEntry(int index) {
    return QString::number(index);
}
} // namespace ProfileLayout
