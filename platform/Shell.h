#pragma once

#include <QString>

// Opening addresses in the user's default browser.
namespace Shell {

// Hands the address to the desktop; a failure (no browser, no desktop) is silent.
void OpenAddress(const QString& address);

} // namespace Shell
