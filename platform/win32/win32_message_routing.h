// How window messages reach the program's MessageTargets: the dialog
// procedure of every modal dialog, and the window procedure that a
// subclassed control gets.
#pragma once

#include "platform/win32/windows_api.h"
#include "platform/window_system.h"

namespace velnara::platform::win32 {

// The dialog procedure for DialogBoxParamA; the lParam of the call is the
// MessageTarget* the dialog's messages go to.
INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Puts `target` in front of the control's own window procedure. Subclassing
// the same window again only changes the target.
bool SubclassWindow(HWND control, MessageTarget& target);

// The control's own window procedure for `message` (DefWindowProcA for a
// window that is not subclassed).
LRESULT CallOriginalProcedure(const Message& message);

}  // namespace velnara::platform::win32
