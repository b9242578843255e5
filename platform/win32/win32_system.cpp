#include "platform/win32/win32_system.h"

#include <cstdlib>
#include <cstring>

#include "platform/win32/win32_dynamic.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/windows_api.h"

namespace velnara::platform::win32 {

ErrorCode Win32System::GetVersion(OsVersionInfo* info) {
  // The caller's record goes through a real OSVERSIONINFOEXA of the same
  // layout. The copy in keeps the bytes a 148-byte query does not write.
  OSVERSIONINFOEXA record;
  std::memcpy(&record, info, sizeof(record));
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record))) return LastErrorCode();
  std::memcpy(info, &record, sizeof(record));
  return error::kSuccess;
}

ErrorCode Win32System::FormatSystemMessage(ErrorCode code, std::string* text) {
  constexpr DWORD kFlags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
  static_assert(kFlags == 0x1300);
  constexpr DWORD kUserDefaultLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
  static_assert(kUserDefaultLanguage == 0x400);

  LocalMemory buffer;
  const DWORD length = FormatMessageA(kFlags, nullptr, code, kUserDefaultLanguage,
                                      buffer.receive_as<char>(), 0, nullptr);
  if (length == 0) {
    const DWORD failure = GetLastError();
    return failure != ERROR_SUCCESS ? failure : ERROR_MR_MID_NOT_FOUND;
  }
  text->assign(static_cast<const char*>(buffer.get()), length);
  return error::kSuccess;
}

namespace {

std::string ProgramFileName() {
  // GetModuleFileNameA truncates silently when the buffer is too small (and
  // on XP leaves the result unterminated), so grow until the name fits.
  std::string name(MAX_PATH, '\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(name.size());
    const DWORD length = GetModuleFileNameA(nullptr, name.data(), size);
    if (length == 0) return std::string();
    if (length < size || size >= 32768) {
      name.resize(length < size ? length : size);
      return name;
    }
    name.resize(static_cast<std::size_t>(size) * 2);
  }
}

}  // namespace

std::string Win32System::ModuleFileName() {
  return ProgramFileName();
}

LocalTime Win32System::GetLocalTime() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  LocalTime time;
  std::memcpy(&time, &now, sizeof time);  // the same layout (windows_api.h checks)
  return time;
}

ErrorCode Win32System::GetComputerName(std::string* name) {
  char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof buffer;
  if (!::GetComputerNameA(buffer, &size)) return LastErrorCode();
  name->assign(buffer, size < sizeof buffer ? size : sizeof buffer - 1);
  return ERROR_SUCCESS;
}

ErrorCode Win32System::OpenProcessToken(AccessMask access, TokenHandle* token) {
  *token = nullptr;
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(GetCurrentProcess(), access, &opened)) return LastErrorCode();
  *token = opened;
  return ERROR_SUCCESS;
}

ErrorCode Win32System::LookupPrivilegeValue(const char* systemName, const char* name, Luid* luid) {
  LUID found = {};
  if (!::LookupPrivilegeValueA(systemName, name, &found)) return LastErrorCode();
  luid->lowPart = found.LowPart;
  luid->highPart = found.HighPart;
  return ERROR_SUCCESS;
}

ErrorCode Win32System::AdjustTokenPrivileges(TokenHandle token, bool disableAll,
                                             const TokenPrivileges& newState) {
  // Laid out as TOKEN_PRIVILEGES (windows_api.h checks); the call does not
  // change it.
  TOKEN_PRIVILEGES privileges;
  std::memcpy(&privileges, &newState, sizeof privileges);
  if (!::AdjustTokenPrivileges(token, disableAll ? TRUE : FALSE, &privileges, 0, nullptr,
                               nullptr)) {
    return LastErrorCode();
  }
  return ERROR_SUCCESS;
}

ErrorCode Win32System::CloseToken(TokenHandle token) {
  if (!CloseHandle(token)) return LastErrorCode();
  return ERROR_SUCCESS;
}

namespace {

// TOKEN_USER and the SID it points at, in one buffer.
struct ProcessUser {
  alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  PSID sid() { return reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid; }
};

ErrorCode ReadProcessUser(ProcessUser* user) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return LastErrorCode();
  DWORD length = 0;
  const BOOL read =
      GetTokenInformation(token, TokenUser, user->buffer, sizeof user->buffer, &length);
  const ErrorCode code = read ? ERROR_SUCCESS : LastErrorCode();
  CloseHandle(token);
  return code;
}

// The event log calls, looked up: Windows 98 and NT 4.0 must still load
// the program far enough to hear its gate.
struct EventLog {
  decltype(&::RegisterEventSourceA) registerSource = nullptr;
  decltype(&::ReportEventA) report = nullptr;
  decltype(&::DeregisterEventSource) deregister = nullptr;
  decltype(&::LookupAccountSidA) lookupAccount = nullptr;
};

const EventLog& EventLogFunctions() {
  static const EventLog functions = [] {
    constexpr const char* kDll = "advapi32.dll";
    EventLog found;
    found.registerSource =
        LookUpFunction<decltype(found.registerSource)>(kDll, "RegisterEventSourceA");
    found.report = LookUpFunction<decltype(found.report)>(kDll, "ReportEventA");
    found.deregister = LookUpFunction<decltype(found.deregister)>(kDll, "DeregisterEventSource");
    found.lookupAccount = LookUpFunction<decltype(found.lookupAccount)>(kDll, "LookupAccountSidA");
    return found;
  }();
  return functions;
}

}  // namespace

ErrorCode Win32System::GetProcessUserSid(std::string* sid) {
  ProcessUser user;
  if (const ErrorCode code = ReadProcessUser(&user); code != ERROR_SUCCESS) return code;
  *sid = SidText(user.sid());
  return ERROR_SUCCESS;
}

ErrorCode Win32System::GetProcessUserName(std::string* name) {
  if (EventLogFunctions().lookupAccount == nullptr) return ERROR_PROC_NOT_FOUND;
  ProcessUser user;
  if (const ErrorCode code = ReadProcessUser(&user); code != ERROR_SUCCESS) return code;
  char account[256] = {};
  char domain[256] = {};
  DWORD accountChars = sizeof account;
  DWORD domainChars = sizeof domain;
  SID_NAME_USE use = SidTypeUnknown;
  if (!EventLogFunctions().lookupAccount(nullptr, user.sid(), account, &accountChars, domain,
                                         &domainChars, &use)) {
    return LastErrorCode();
  }
  *name = std::string(domain) + (domain[0] != '\0' ? "\\" : "") + account;
  return ERROR_SUCCESS;
}

ErrorCode Win32System::RegisterEventSource(const char* source, EventSourceHandle* handle) {
  *handle = nullptr;
  if (EventLogFunctions().registerSource == nullptr) return ERROR_PROC_NOT_FOUND;
  const HANDLE made = EventLogFunctions().registerSource(nullptr, source);
  if (made == nullptr) return LastErrorCode();
  *handle = made;
  return ERROR_SUCCESS;
}

ErrorCode Win32System::ReportEvent(EventSourceHandle source, std::uint16_t type, std::uint32_t id,
                                   bool asProcessUser, const std::vector<std::string>& strings) {
  if (EventLogFunctions().report == nullptr) return ERROR_PROC_NOT_FOUND;
  ProcessUser user;
  PSID sid = nullptr;
  if (asProcessUser && ReadProcessUser(&user) == ERROR_SUCCESS) sid = user.sid();
  std::vector<LPCSTR> inserts;
  for (const std::string& text : strings) inserts.push_back(text.c_str());
  if (!EventLogFunctions().report(source, type, 0, id, sid, static_cast<WORD>(inserts.size()), 0,
                                  inserts.data(), nullptr)) {
    return LastErrorCode();
  }
  return ERROR_SUCCESS;
}

ErrorCode Win32System::DeregisterEventSource(EventSourceHandle source) {
  if (EventLogFunctions().deregister == nullptr) return ERROR_PROC_NOT_FOUND;
  if (!EventLogFunctions().deregister(source)) return LastErrorCode();
  return ERROR_SUCCESS;
}

ErrorCode Win32System::ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) {
  if (!::ExitWindowsEx(flags, reason)) return LastErrorCode();
  return ERROR_SUCCESS;
}

void Win32System::SetErrorMode(std::uint32_t mode) {
  ::SetErrorMode(mode);  // answers the previous mode; there is no failure
}

ErrorCode Win32System::CreateMutex(const char* name, const char* sddl, MutexHandle* mutex) {
  *mutex = nullptr;
  SddlAttributes attributes;
  if (const ErrorCode code = attributes.Make(sddl); code != ERROR_SUCCESS) return code;
  // An existing mutex of that name is opened (the last error then says
  // ERROR_ALREADY_EXISTS, which is no failure) and keeps its own list.
  const HANDLE made = ::CreateMutexA(attributes.get(), FALSE, name);
  if (made == nullptr) return LastErrorCode();
  *mutex = made;
  return ERROR_SUCCESS;
}

ErrorCode Win32System::WaitForMutex(MutexHandle mutex, std::uint32_t milliseconds,
                                    bool* abandoned) {
  *abandoned = false;
  switch (WaitForSingleObject(mutex, milliseconds)) {
    case WAIT_OBJECT_0:
      return ERROR_SUCCESS;
    case WAIT_ABANDONED:  // its holder ended without giving it back: ours now
      *abandoned = true;
      return ERROR_SUCCESS;
    case WAIT_TIMEOUT:
      return WAIT_TIMEOUT;
    default:
      return LastErrorCode();
  }
}

ErrorCode Win32System::ReleaseMutex(MutexHandle mutex) {
  if (!::ReleaseMutex(mutex)) return LastErrorCode();
  return ERROR_SUCCESS;
}

ErrorCode Win32System::CloseMutex(MutexHandle mutex) {
  if (!CloseHandle(mutex)) return LastErrorCode();
  return ERROR_SUCCESS;
}

void Win32System::ExitProcess(int status) {
  // The runtime's exit() rather than the kernel's ExitProcess: the static
  // objects' destructors and atexit handlers run first.
  std::exit(status);
}

bool IsWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace velnara::platform::win32
