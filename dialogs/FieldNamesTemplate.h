#pragma once

#include "platform/DialogTemplate.h"

// The names dialog's template (131), as data.
namespace Templates {
const DialogTemplate& FieldNames();
} // namespace Templates
