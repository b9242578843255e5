#include "platform/win32/win32_window_system.h"

#include "platform/win32/win32_dynamic.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_message_routing.h"
#include "platform/win32/windows_api.h"

namespace velnara::platform::win32 {
namespace {

HINSTANCE ProgramInstance() {
  return GetModuleHandleA(nullptr);
}

HTREEITEM ToItem(TreeItem item) {
  return static_cast<HTREEITEM>(item);
}

LRESULT Send(WindowHandle window, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(ToHwnd(window), message, wParam, lParam);
}

bool GetItem(WindowHandle tree, TVITEMA* item) {
  return Send(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(item)) != FALSE;
}

bool SetItem(WindowHandle tree, TVITEMA* item) {
  return Send(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(item)) != FALSE;
}

}  // namespace

struct Win32WindowSystem::PaintState {
  WindowHandle window;
  PAINTSTRUCT paint;
};

Win32WindowSystem::Win32WindowSystem() {
  // The dialog templates name SysTreeView32, which exists only once
  // comctl32 has registered its classes.
  // InitCommonControlsEx arrived with comctl32 4.70 (Internet Explorer
  // 3); where it is missing, InitCommonControls registers every class.
  const auto initEx =
      LookUpFunction<decltype(&InitCommonControlsEx)>("comctl32.dll", "InitCommonControlsEx");
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES};
  if (initEx == nullptr || !initEx(&controls)) InitCommonControls();
}

Win32WindowSystem::~Win32WindowSystem() = default;

bool Win32WindowSystem::Enable3dControls() {
  // Dialog controls on NT 5 are drawn three-dimensional by the system; there
  // is nothing to ask for.
  return true;
}

// --- Dialogs ---------------------------------------------------------------

std::intptr_t Win32WindowSystem::RunModalDialog(int templateId, WindowHandle owner,
                                                MessageTarget& dialog) {
  return DialogBoxParamA(ProgramInstance(), MAKEINTRESOURCEA(templateId), ToHwnd(owner),
                         DialogProcedure, reinterpret_cast<LPARAM>(&dialog));
}

bool Win32WindowSystem::EndDialog(WindowHandle dialog, std::intptr_t result) {
  return ::EndDialog(ToHwnd(dialog), result) != FALSE;
}

WindowHandle Win32WindowSystem::GetDlgItem(WindowHandle dialog, int id) {
  return ::GetDlgItem(ToHwnd(dialog), id);
}

bool Win32WindowSystem::Subclass(WindowHandle control, MessageTarget& target) {
  return SubclassWindow(ToHwnd(control), target);
}

std::intptr_t Win32WindowSystem::CallDefault(const Message& message) {
  return CallOriginalProcedure(message);
}

// --- Windows ---------------------------------------------------------------

bool Win32WindowSystem::EnableWindow(WindowHandle window, bool enable) {
  // EnableWindow answers whether the window was disabled before, not whether
  // it worked; only a window that does not exist makes it fail.
  if (!::IsWindow(ToHwnd(window))) return false;
  ::EnableWindow(ToHwnd(window), enable ? TRUE : FALSE);
  return true;
}

bool Win32WindowSystem::IsWindowEnabled(WindowHandle window) {
  return ::IsWindowEnabled(ToHwnd(window)) != FALSE;
}

bool Win32WindowSystem::IsWindowVisible(WindowHandle window) {
  return ::IsWindowVisible(ToHwnd(window)) != FALSE;
}

bool Win32WindowSystem::IsIconic(WindowHandle window) {
  return ::IsIconic(ToHwnd(window)) != FALSE;
}

bool Win32WindowSystem::SetWindowText(WindowHandle window, const char* text) {
  return SetWindowTextA(ToHwnd(window), text) != FALSE;
}

std::string Win32WindowSystem::GetWindowText(WindowHandle window) {
  const int length = GetWindowTextLengthA(ToHwnd(window));
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(ToHwnd(window), text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

std::intptr_t Win32WindowSystem::SendMessage(WindowHandle window, std::uint32_t message,
                                             std::uintptr_t wParam, std::intptr_t lParam) {
  return Send(window, message, wParam, lParam);
}

// --- Message boxes ---------------------------------------------------------

int Win32WindowSystem::MessageBox(WindowHandle owner, const char* text, const char* caption,
                                  std::uint32_t type) {
  return MessageBoxA(ToHwnd(owner), text, caption, type);
}

// --- Menus and resources ---------------------------------------------------

MenuHandle Win32WindowSystem::GetSystemMenu(WindowHandle window) {
  return ::GetSystemMenu(ToHwnd(window), FALSE);
}

bool Win32WindowSystem::AppendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                                   const char* text) {
  return AppendMenuA(static_cast<HMENU>(menu), flags, id, text) != FALSE;
}

std::string Win32WindowSystem::LoadString(int id) {
  char text[256] = {};
  const int length = LoadStringA(ProgramInstance(), static_cast<UINT>(id), text, sizeof(text));
  return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

IconHandle Win32WindowSystem::LoadIcon(int id) {
  return LoadIconA(ProgramInstance(), MAKEINTRESOURCEA(id));
}

// --- Painting --------------------------------------------------------------

DeviceContext Win32WindowSystem::BeginPaint(WindowHandle window) {
  auto state = std::make_unique<PaintState>();
  state->window = window;
  const HDC dc = ::BeginPaint(ToHwnd(window), &state->paint);
  if (dc == nullptr) return nullptr;
  painting_.push_back(std::move(state));
  return dc;
}

void Win32WindowSystem::EndPaint(WindowHandle window) {
  // The last one first: a window paints inside another's paint only nested.
  for (std::size_t i = painting_.size(); i-- > 0;) {
    if (painting_[i]->window != window) continue;
    ::EndPaint(ToHwnd(window), &painting_[i]->paint);
    painting_.erase(painting_.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
}

int Win32WindowSystem::GetSystemMetrics(int index) {
  return ::GetSystemMetrics(index);
}

Rect Win32WindowSystem::GetClientRect(WindowHandle window) {
  RECT rect = {};
  if (!::GetClientRect(ToHwnd(window), &rect)) return Rect{0, 0, 0, 0};
  return Rect{rect.left, rect.top, rect.right, rect.bottom};
}

bool Win32WindowSystem::DrawIcon(DeviceContext dc, int x, int y, IconHandle icon) {
  return ::DrawIcon(static_cast<HDC>(dc), x, y, static_cast<HICON>(icon)) != FALSE;
}

// --- Colours ---------------------------------------------------------------

BrushHandle Win32WindowSystem::CreateSolidBrush(ColorRef color) {
  return ::CreateSolidBrush(color);
}

bool Win32WindowSystem::DeleteObject(BrushHandle brush) {
  return ::DeleteObject(static_cast<HBRUSH>(brush)) != FALSE;
}

ColorRef Win32WindowSystem::SetTextColor(DeviceContext dc, ColorRef color) {
  return ::SetTextColor(static_cast<HDC>(dc), color);
}

ColorRef Win32WindowSystem::SetBkColor(DeviceContext dc, ColorRef color) {
  return ::SetBkColor(static_cast<HDC>(dc), color);
}

// --- Tree view -------------------------------------------------------------

TreeItem Win32WindowSystem::TreeInsertItem(WindowHandle tree, TreeItem parent, TreeItem insertAfter,
                                           const char* text) {
  TVINSERTSTRUCTA insert = {};
  insert.hParent = parent != nullptr ? ToItem(parent) : TVI_ROOT;
  insert.hInsertAfter = insertAfter != nullptr ? ToItem(insertAfter) : TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<char*>(text);  // read only on insert
  return reinterpret_cast<TreeItem>(
      Send(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

bool Win32WindowSystem::TreeSetItemText(WindowHandle tree, TreeItem item, const char* text) {
  TVITEMA entry = {};
  entry.mask = TVIF_TEXT;
  entry.hItem = ToItem(item);
  entry.pszText = const_cast<char*>(text);  // read only on set
  return SetItem(tree, &entry);
}

bool Win32WindowSystem::TreeSetItemData(WindowHandle tree, TreeItem item, std::intptr_t data) {
  TVITEMA entry = {};
  entry.mask = TVIF_PARAM;
  entry.hItem = ToItem(item);
  entry.lParam = data;
  return SetItem(tree, &entry);
}

bool Win32WindowSystem::TreeGetItemText(WindowHandle tree, TreeItem item, char* buffer,
                                        int capacity) {
  if (buffer == nullptr || capacity <= 0) return false;
  buffer[0] = '\0';
  TVITEMA entry = {};
  entry.mask = TVIF_TEXT;
  entry.hItem = ToItem(item);
  entry.pszText = buffer;
  entry.cchTextMax = capacity;
  const bool read = GetItem(tree, &entry);
  // The control may answer with a pointer to its own copy of the text
  // instead of filling the buffer.
  if (read && entry.pszText != buffer && entry.pszText != nullptr) {
    lstrcpynA(buffer, entry.pszText, capacity);
  }
  // Wine's tree view fills a buffer that is too small to the last byte and
  // leaves it unterminated; Windows cuts the text short. Cut it here too.
  buffer[capacity - 1] = '\0';
  return read;
}

bool Win32WindowSystem::TreeGetItemData(WindowHandle tree, TreeItem item, std::intptr_t* data) {
  TVITEMA entry = {};
  entry.mask = TVIF_PARAM;
  entry.hItem = ToItem(item);
  if (!GetItem(tree, &entry)) return false;
  *data = entry.lParam;
  return true;
}

bool Win32WindowSystem::TreeGetItemChildren(WindowHandle tree, TreeItem item, int* children) {
  TVITEMA entry = {};
  entry.mask = TVIF_CHILDREN;
  entry.hItem = ToItem(item);
  if (!GetItem(tree, &entry)) return false;
  *children = entry.cChildren;
  return true;
}

TreeItem Win32WindowSystem::TreeGetNextItem(WindowHandle tree, TreeItem item, std::uint32_t code) {
  return reinterpret_cast<TreeItem>(
      Send(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(ToItem(item))));
}

bool Win32WindowSystem::TreeExpand(WindowHandle tree, TreeItem item, std::uint32_t action) {
  return Send(tree, TVM_EXPAND, action, reinterpret_cast<LPARAM>(ToItem(item))) != FALSE;
}

bool Win32WindowSystem::TreeSelectItem(WindowHandle tree, TreeItem item) {
  return Send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(ToItem(item))) != FALSE;
}

bool Win32WindowSystem::TreeDeleteAllItems(WindowHandle tree) {
  return Send(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)) != FALSE;
}

// --- Combo box -------------------------------------------------------------

int Win32WindowSystem::ComboAddString(WindowHandle combo, const char* text) {
  return static_cast<int>(Send(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

int Win32WindowSystem::ComboSetCurSel(WindowHandle combo, int index) {
  const int result = static_cast<int>(Send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0));
  // Windows clears the selection and the edit field when the index is out
  // of range; Wine keeps both. Clearing explicitly gives the same state on
  // either.
  if (result == CB_ERR && index != -1) Send(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  return result;
}

int Win32WindowSystem::ComboGetCurSel(WindowHandle combo) {
  return static_cast<int>(Send(combo, CB_GETCURSEL, 0, 0));
}

int Win32WindowSystem::ComboGetCount(WindowHandle combo) {
  return static_cast<int>(Send(combo, CB_GETCOUNT, 0, 0));
}

bool Win32WindowSystem::ComboLimitText(WindowHandle combo, int limit) {
  // CB_LIMITTEXT's answer tells nothing (always TRUE on Windows, 0 on Wine
  // for a combo box with an edit field): it worked if the combo box exists.
  if (!::IsWindow(ToHwnd(combo))) return false;
  Send(combo, CB_LIMITTEXT, static_cast<WPARAM>(limit), 0);
  return true;
}

}  // namespace velnara::platform::win32
