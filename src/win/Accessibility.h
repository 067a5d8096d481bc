#pragma once

#include "qvx/core/Design.h"
#include "qvx/platform/Win32.h"

namespace qvx::win {

// Lets a control answer a screen reader (WM_GETOBJECT) as its design says: the system's own
// object for it, with the design's name and description, and no presence for decoration.
// A combo's field is named as the combo. The accessibility library loads only when a reader
// first asks, never at start-up. The design's entries live as long as the program.
void describeControl(HWND control, const design::Form &form, const design::Control &design);

} // namespace qvx::win
