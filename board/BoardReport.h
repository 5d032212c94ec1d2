#pragma once

#include "common/Vocabulary.h"

#include <QString>
#include <optional>

class Profile;

// The board as text for scripts and terminals: names, times and shares exactly as the board shows them,
// and the total. Reads the profile only; the open period of a running board, which the profile does not
// hold until it is charged, comes from that board as `live`.
namespace BoardReport {

using Format = Kelvra::ReportFormat;

QString Render(Profile& profile, Format format, const std::optional<Kelvra::LivePeriod>& live = std::nullopt);

} // namespace BoardReport
