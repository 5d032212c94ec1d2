#pragma once

#include <QString>

class Profile;

// The board as text for scripts and terminals: names, times and shares exactly as the board shows them
// (without a period that a running board has not charged yet), and the total. Reads the profile only.
namespace BoardReport {

enum class Format { Text, Csv, Json };

QString Render(Profile& profile, Format format);

} // namespace BoardReport
