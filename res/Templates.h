#pragma once

#include "platform/DialogTemplate.h"

// The dialog templates of Kelvra, as data.
namespace Templates {
const DialogTemplate& AboutBox();   // 100
const DialogTemplate& BoardForm();  // 101
const DialogTemplate& FieldNames(); // 131
} // namespace Templates
