#pragma once

#include "platform/DialogTemplate.h"

// The board form's template (101), as data.
namespace Templates {
const DialogTemplate& BoardForm();
} // namespace Templates
