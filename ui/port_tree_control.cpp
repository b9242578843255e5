#include "ui/port_tree_control.h"

namespace velnara {

using namespace platform;

namespace {
constexpr std::uint32_t kKindMessageBox = 0;  // CTLCOLOR_MSGBOX
constexpr std::uint32_t kKindEdit = 1;        // CTLCOLOR_EDIT
}  // namespace

PortTreeControl::PortTreeControl(WindowSystem& windows)
    : windowSystem_(windows), brush_(windows.CreateSolidBrush(kBackColor)) {}

PortTreeControl::~PortTreeControl() {
  if (brush_ != nullptr && !brushDeleted_) windowSystem_.DeleteObject(brush_);
}

bool PortTreeControl::OnMessage(const Message& message, std::intptr_t* result) {
  if (message.message >= wm::kCtlColorMsgBox && message.message <= wm::kCtlColorStatic) {
    return OnControlColor(message, result);
  }
  if (message.message == wm::kDestroy) return OnDestroy(message, result);
  return false;
}

bool PortTreeControl::OnControlColor(const Message& message, std::intptr_t* result) {
  const std::uint32_t kind = message.message - wm::kCtlColorMsgBox;
  if (kind != kKindMessageBox && kind != kKindEdit) return false;  // the default colours
  const auto dc = reinterpret_cast<DeviceContext>(message.wParam);
  windowSystem_.SetTextColor(dc, kTextColor);
  windowSystem_.SetBkColor(dc, kBackColor);  // the background mode stays as it is
  *result = reinterpret_cast<std::intptr_t>(brush_);
  return true;
}

bool PortTreeControl::OnDestroy(const Message& message, std::intptr_t* result) {
  *result = windowSystem_.CallDefault(message);
  if (brush_ != nullptr && !brushDeleted_) {
    windowSystem_.DeleteObject(brush_);
    brushDeleted_ = true;
  }
  return true;
}

}  // namespace velnara
