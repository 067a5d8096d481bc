#pragma once
// Subclassing by replacing a control's window procedure. The common controls' helpers would
// do the same, but linking them loads comctl32 at start-up: a sixth of the program's working
// set under Wine, for three small procedures.
#include "qvx/platform/Win32.h"

namespace qvx::win {

// The shape of comctl32's SUBCLASSPROC: `id` and `data` are what the subclass was set with.
using SubclassProc = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 UINT_PTR id, DWORD_PTR data);

// One subclass per window. It ends with the window: after `proc` has seen WM_NCDESTROY.
bool setSubclass(HWND window, SubclassProc proc, UINT_PTR id, DWORD_PTR data);

// The window's own procedure, for what the subclass leaves to it.
LRESULT defSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The common controls (for tool tips), loaded on first use from the system folder; false
// when they cannot be.
bool loadCommonControls();

} // namespace qvx::win
