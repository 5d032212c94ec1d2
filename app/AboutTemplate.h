#pragma once

#include "platform/DialogTemplate.h"

// The About box's template (100), as data.
namespace Templates {
const DialogTemplate& AboutBox();
} // namespace Templates
