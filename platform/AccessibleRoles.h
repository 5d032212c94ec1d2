#pragma once

// Roles that Qt's default accessible interfaces get wrong for the board: a radio button kept exclusive by
// its button group rather than by auto-exclusion is told as a check box, and a top-level window that is
// a plain widget as a filler. Screen readers hear a radio button and a frame instead.
namespace AccessibleRoles {

// Once, before any interface is asked for (before the first window is shown).
void Install();

} // namespace AccessibleRoles
