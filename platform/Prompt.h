#pragma once

#include <QString>

class QWidget;

namespace Prompt {
// A Yes/No question captioned with the application's name, No being the default; no icon.
// Returns true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);
} // namespace Prompt
