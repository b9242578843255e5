#include "platform/win32/win32_message_routing.h"

namespace velnara::platform::win32 {
namespace {

// Window properties of a subclassed control.
constexpr char kTargetProperty[] = "Velnara.MessageTarget";
constexpr char kOriginalProperty[] = "Velnara.OriginalProcedure";

Message ToMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Message{window, message, wParam, lParam};
}

// A dialog procedure answers most messages with TRUE/FALSE and puts the
// real result in DWLP_MSGRESULT; these few take their result as the return
// value itself (a brush, an index, an icon, the focus decision).
bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return true;
    default:
      return false;
  }
}

WNDPROC OriginalProcedure(HWND window) {
  return reinterpret_cast<WNDPROC>(GetPropA(window, kOriginalProperty));
}

LRESULT CALLBACK SubclassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* target = static_cast<MessageTarget*>(GetPropA(window, kTargetProperty));
  const WNDPROC original = OriginalProcedure(window);
  if (original == nullptr) return DefWindowProcA(window, message, wParam, lParam);

  std::intptr_t result = 0;
  const bool handled = target != nullptr &&
                       target->HandleMessage(ToMessage(window, message, wParam, lParam), &result);
  if (message == WM_NCDESTROY) {
    // The last message the window gets: hand the control its own procedure
    // back and drop the properties before the control frees itself.
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropA(window, kTargetProperty);
    RemovePropA(window, kOriginalProperty);
  }
  if (handled) return result;
  return CallWindowProcA(original, window, message, wParam, lParam);
}

}  // namespace

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(window, DWLP_USER, lParam);
  // Messages before WM_INITDIALOG (WM_SETFONT, WM_NCCREATE...) find no
  // target yet and get the default handling.
  auto* target = reinterpret_cast<MessageTarget*>(GetWindowLongPtrA(window, DWLP_USER));
  if (target == nullptr) return FALSE;

  std::intptr_t result = 0;
  const bool handled = target->HandleMessage(ToMessage(window, message, wParam, lParam), &result);
  if (message == WM_NCDESTROY) SetWindowLongPtrA(window, DWLP_USER, 0);
  if (!handled) return FALSE;
  if (ReturnsResultDirectly(message)) return result;
  // Everything else (WM_NOTIFY above all) reaches the dialog manager only
  // through DWLP_MSGRESULT.
  SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
  return TRUE;
}

bool SubclassWindow(HWND control, MessageTarget& target) {
  if (!IsWindow(control)) return false;
  if (OriginalProcedure(control) != nullptr) {
    return SetPropA(control, kTargetProperty, &target) != FALSE;
  }
  // The properties are in place before the new procedure can see a message.
  const LONG_PTR original = GetWindowLongPtrA(control, GWLP_WNDPROC);
  if (original == 0 || !SetPropA(control, kOriginalProperty, reinterpret_cast<HANDLE>(original)) ||
      !SetPropA(control, kTargetProperty, &target)) {
    RemovePropA(control, kOriginalProperty);
    RemovePropA(control, kTargetProperty);
    return false;
  }
  if (SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProcedure)) ==
      0) {
    RemovePropA(control, kOriginalProperty);
    RemovePropA(control, kTargetProperty);
    return false;
  }
  return true;
}

LRESULT CallOriginalProcedure(const Message& message) {
  const HWND window = static_cast<HWND>(message.window);
  const WNDPROC original = OriginalProcedure(window);
  if (original == nullptr) {
    return DefWindowProcA(window, message.message, message.wParam, message.lParam);
  }
  return CallWindowProcA(original, window, message.message, message.wParam, message.lParam);
}

}  // namespace velnara::platform::win32
