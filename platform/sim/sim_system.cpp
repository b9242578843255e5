#include "platform/sim/sim_system.h"

#include <cstring>
#include <map>

namespace velnara::platform::sim {
namespace {

constexpr std::uint8_t kProductWorkstation = 1;  // VER_NT_WORKSTATION

// Windows's English texts as FormatMessageA hands them out, closing line
// break included.
const std::map<ErrorCode, std::string>& EnglishTexts() {
  static const std::map<ErrorCode, std::string> texts = {
      {0, "The operation completed successfully.\r\n"},
      {1, "Incorrect function.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {3, "The system cannot find the path specified.\r\n"},
      {5, "Access is denied.\r\n"},
      {6, "The handle is invalid.\r\n"},
      {8, "Not enough storage is available to process this command.\r\n"},
      {13, "The data is invalid.\r\n"},
      {31, "A device attached to the system is not functioning.\r\n"},
      {39, "The disk is full.\r\n"},
      {80, "The file exists.\r\n"},
      {112, "There is not enough space on the disk.\r\n"},
      {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
      {183, "Cannot create a file when that file already exists.\r\n"},
      {223, "The file size exceeds the limit allowed and cannot be saved.\r\n"},
      {127, "The specified procedure could not be found.\r\n"},
      {206, "The filename or extension is too long.\r\n"},
      {32,
       "The process cannot access the file because it is being used by another "
       "process.\r\n"},
      {87, "The parameter is incorrect.\r\n"},
      {122, "The data area passed to a system call is too small.\r\n"},
      {161, "The specified path is invalid.\r\n"},
      {234, "More data is available.\r\n"},
      {259, "No more data is available.\r\n"},
      {998, "Invalid access to memory location.\r\n"},
      {1018,
       "Illegal operation attempted on a registry key that has been marked for "
       "deletion.\r\n"},
      {1300, "Not all privileges or groups referenced are assigned to the caller.\r\n"},
      {1313, "A specified privilege does not exist.\r\n"},
      {1314, "A required privilege is not held by the client.\r\n"},
      {1332, "No mapping between account names and security IDs was done.\r\n"},
      {1336, "The access control list (ACL) structure is invalid.\r\n"},
      {1337, "The security ID structure is invalid.\r\n"},
      {1400, "Invalid window handle.\r\n"},
  };
  return texts;
}

// The build each NT version shipped as; other versions report 0.
std::uint32_t BuildOf(std::uint32_t major, std::uint32_t minor) {
  if (major == 4 && minor == 0) return 1381;
  if (major == 5 && minor == 0) return 2195;
  if (major == 5 && minor == 1) return 2600;
  if (major == 5 && minor == 2) return 3790;
  if (major == 6 && minor == 0) return 6002;
  if (major == 6 && minor == 1) return 7601;
  return 0;
}

}  // namespace

SimSystem::SimSystem() {
  SetVersion(ver::kPlatformNt, 5, 2, 2);
}

void SimSystem::SetVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                           std::uint16_t servicePackMajor) {
  version_ = OsVersionInfo{};
  version_.size = kOsVersionInfoExSize;
  version_.majorVersion = major;
  version_.minorVersion = minor;
  version_.buildNumber = BuildOf(major, minor);
  version_.platformId = platformId;
  if (servicePackMajor != 0) {
    const std::string csd = "Service Pack " + std::to_string(servicePackMajor);
    std::memcpy(version_.csdVersion, csd.c_str(), csd.size() + 1);
  }
  version_.servicePackMajor = servicePackMajor;
  version_.productType = kProductWorkstation;
}

ErrorCode SimSystem::GetVersion(OsVersionInfo* info) {
  ++versionQueries_;
  if (log_ != nullptr) {
    if (const ErrorCode forced =
            log_->Enter("GetVersionExA", std::string(), info != nullptr ? info->size : 0)) {
      return forced;
    }
  }
  if (info == nullptr) return error::kInvalidParameter;
  const std::uint32_t size = info->size;
  if (size != kOsVersionInfoBasicSize && size != kOsVersionInfoExSize) {
    return error::kInsufficientBuffer;
  }
  // A forced failure answers as a system that does not know that record
  // size: the same ERROR_INSUFFICIENT_BUFFER as any unknown size (an NT 4
  // before service pack 6 does this for the 156-byte record).
  if ((size == kOsVersionInfoExSize && failExtended_) ||
      (size == kOsVersionInfoBasicSize && failBasic_)) {
    return error::kInsufficientBuffer;
  }
  // Only the bytes the caller's record has are written; `size` stays.
  constexpr std::size_t kSizeField = sizeof(info->size);
  std::memcpy(reinterpret_cast<char*>(info) + kSizeField,
              reinterpret_cast<const char*>(&version_) + kSizeField, size - kSizeField);
  return error::kSuccess;
}

ErrorCode SimSystem::FormatSystemMessage(ErrorCode code, std::string* text) {
  const auto found = EnglishTexts().find(code);
  if (found == EnglishTexts().end() || removedTexts_.count(code) != 0) {
    return error::kMessageNotFound;
  }
  if (text != nullptr) *text = found->second;
  return error::kSuccess;
}

// --- Token, privileges and restart ---------------------------------------------

namespace {

struct Privilege {
  const char* name;
  std::uint32_t luid;
};
// The LUIDs Windows gives its privileges.
constexpr Privilege kPrivileges[] = {
    {"SeSecurityPrivilege", 8}, {"SeTakeOwnershipPrivilege", 9},   {"SeSystemtimePrivilege", 12},
    {"SeBackupPrivilege", 17},  {"SeRestorePrivilege", 18},        {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},   {"SeRemoteShutdownPrivilege", 24},
};
constexpr std::uint32_t kShutdownLuid = 19;

bool SameText(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(*a) != lower(*b)) return false;
  }
  return *a == *b;
}

}  // namespace

LocalTime SimSystem::GetLocalTime() {
  return LocalTime{2026, 12, 3, 9, 5, 12, 0, 0};
}

ErrorCode SimSystem::GetComputerName(std::string* name) {
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter("GetComputerNameA")) return forced;
  }
  *name = "BENCH-07";
  return error::kSuccess;
}

ErrorCode SimSystem::OpenProcessToken(AccessMask access, TokenHandle* token) {
  if (token != nullptr) *token = nullptr;
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter("OpenProcessToken", std::string(), access)) {
      return forced;
    }
  }
  if (token == nullptr) return error::kInvalidParameter;
  const auto handle = reinterpret_cast<TokenHandle>(nextToken_);
  nextToken_ += 4;
  tokens_[handle] = access;
  *token = handle;
  return error::kSuccess;
}

ErrorCode SimSystem::LookupPrivilegeValue(const char* systemName, const char* name, Luid* luid) {
  if (log_ != nullptr) {
    if (const ErrorCode forced =
            log_->Enter("LookupPrivilegeValueA", name != nullptr ? name : "<null>")) {
      return forced;
    }
  }
  if (luid == nullptr || name == nullptr) return error::kInvalidParameter;
  // Only the local system is known here.
  if (systemName != nullptr && systemName[0] != '\0') return 1722;  // RPC_S_SERVER_UNAVAILABLE
  for (const Privilege& privilege : kPrivileges) {
    if (SameText(privilege.name, name)) {
      *luid = Luid{privilege.luid, 0};
      return error::kSuccess;
    }
  }
  return error::kNoSuchPrivilege;
}

ErrorCode SimSystem::AdjustTokenPrivileges(TokenHandle token, bool disableAll,
                                           const TokenPrivileges& newState) {
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter(
            "AdjustTokenPrivileges",
            "luid=" + std::to_string(newState.luid.lowPart) + ":" +
                std::to_string(newState.luid.highPart) + " count=" +
                std::to_string(newState.privilegeCount) + (disableAll ? " disable-all" : ""),
            newState.attributes)) {
      return forced;
    }
  }
  const auto found = tokens_.find(token);
  if (found == tokens_.end()) return error::kInvalidHandle;
  if ((found->second & token::kAdjustPrivileges) == 0) return error::kAccessDenied;
  if (disableAll) {
    shutdownEnabled_ = false;
    return error::kSuccess;
  }
  if (newState.privilegeCount != 1) return error::kInvalidParameter;
  // A privilege the token does not hold is left alone; the call succeeds.
  const bool shutdown = newState.luid.lowPart == kShutdownLuid && newState.luid.highPart == 0;
  if (shutdown && holdsShutdown_) {
    shutdownEnabled_ = (newState.attributes & token::kPrivilegeEnabled) != 0;
  }
  return error::kSuccess;
}

ErrorCode SimSystem::CloseToken(TokenHandle token) {
  if (log_ != nullptr) log_->Enter("CloseHandle");
  return tokens_.erase(token) != 0 ? error::kSuccess : error::kInvalidHandle;
}

ErrorCode SimSystem::GetProcessUserSid(std::string* sid) {
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter("GetTokenInformation")) return forced;
  }
  if (sid == nullptr) return error::kInvalidParameter;
  *sid = kUserSid;
  return error::kSuccess;
}

ErrorCode SimSystem::GetProcessUserName(std::string* name) {
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter("LookupAccountSidA")) return forced;
  }
  if (name == nullptr) return error::kInvalidParameter;
  *name = kUserName;
  return error::kSuccess;
}

ErrorCode SimSystem::RegisterEventSource(const char* source, EventSourceHandle* handle) {
  if (handle != nullptr) *handle = nullptr;
  if (log_ != nullptr) {
    if (const ErrorCode forced =
            log_->Enter("RegisterEventSourceA", source != nullptr ? source : "<null>")) {
      return forced;
    }
  }
  if (source == nullptr || handle == nullptr) return error::kInvalidParameter;
  *handle = reinterpret_cast<EventSourceHandle>(nextToken_);
  nextToken_ += 4;
  eventSources_[*handle] = source;
  return error::kSuccess;
}

ErrorCode SimSystem::ReportEvent(EventSourceHandle source, std::uint16_t type, std::uint32_t id,
                                 bool asProcessUser, const std::vector<std::string>& strings) {
  const auto found = eventSources_.find(source);
  if (log_ != nullptr) {
    std::string target = found != eventSources_.end() ? found->second : std::string();
    for (const std::string& text : strings) target += " | " + text;
    if (const ErrorCode forced = log_->Enter("ReportEventA", target, id)) return forced;
  }
  if (found == eventSources_.end()) return error::kInvalidHandle;
  events_.push_back({found->second, type, id, asProcessUser ? kUserSid : "", strings});
  return error::kSuccess;
}

ErrorCode SimSystem::DeregisterEventSource(EventSourceHandle source) {
  const auto found = eventSources_.find(source);
  if (log_ != nullptr) {
    log_->Enter("DeregisterEventSource", found != eventSources_.end() ? found->second : "");
  }
  if (found == eventSources_.end()) return error::kInvalidHandle;
  eventSources_.erase(found);
  return error::kSuccess;
}

ErrorCode SimSystem::ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) {
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter("ExitWindowsEx", std::to_string(reason), flags)) {
      return forced;
    }
  }
  const bool endsSystem = (flags & (ewx::kReboot | ewx::kShutdown)) != 0;
  if (endsSystem && !shutdownEnabled_) return error::kPrivilegeNotHeld;
  restarts_.push_back(flags);
  return error::kSuccess;
}

void SimSystem::SetErrorMode(std::uint32_t mode) {
  if (log_ != nullptr) log_->Note("SetErrorMode", std::string(), mode);
  errorMode_ = mode;
}

// --- Named mutexes ------------------------------------------------------------

ErrorCode SimSystem::CreateMutex(const char* name, const char* sddl, MutexHandle* mutex) {
  if (mutex != nullptr) *mutex = nullptr;
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter("CreateMutexA", name != nullptr ? name : "<null>")) {
      return forced;
    }
  }
  if (mutex == nullptr || name == nullptr) return error::kInvalidParameter;
  // Made when it is not there yet; one that exists keeps its list.
  if (const auto made = mutexes_.try_emplace(name); made.second && sddl != nullptr) {
    made.first->second.sddl = sddl;
  }
  const auto handle = reinterpret_cast<MutexHandle>(nextToken_);
  nextToken_ += 4;
  mutexHandles_[handle] = name;
  *mutex = handle;
  return error::kSuccess;
}

ErrorCode SimSystem::WaitForMutex(MutexHandle mutex, std::uint32_t milliseconds, bool* abandoned) {
  *abandoned = false;
  const auto found = mutexHandles_.find(mutex);
  if (log_ != nullptr) {
    const std::string name = found != mutexHandles_.end() ? found->second : std::string();
    if (const ErrorCode forced = log_->Enter("WaitForSingleObject", name, milliseconds)) {
      return forced;
    }
  }
  if (found == mutexHandles_.end()) return error::kInvalidHandle;
  Mutex& held = mutexes_[found->second];
  if (held.holder != 0 && held.holder != process_ && whileWaiting_) {
    // The other processes go on meanwhile; this one waits.
    const std::function<void()> meanwhile = whileWaiting_;
    const int waiting = process_;
    meanwhile();
    process_ = waiting;
  }
  if (held.holder != 0 && held.holder != process_) return error::kWaitTimeout;
  held.holder = process_;
  ++held.count;
  *abandoned = held.abandoned;
  held.abandoned = false;
  return error::kSuccess;
}

ErrorCode SimSystem::ReleaseMutex(MutexHandle mutex) {
  if (log_ != nullptr) log_->Note("ReleaseMutex");
  // A killed process gives nothing back: its mutexes are abandoned.
  if (log_ != nullptr && log_->Killed()) return error::kInvalidHandle;
  const auto found = mutexHandles_.find(mutex);
  if (found == mutexHandles_.end()) return error::kInvalidHandle;
  Mutex& held = mutexes_[found->second];
  if (held.holder != process_) return 288;  // ERROR_NOT_OWNER
  if (--held.count == 0) held.holder = 0;
  return error::kSuccess;
}

ErrorCode SimSystem::CloseMutex(MutexHandle mutex) {
  const auto found = mutexHandles_.find(mutex);
  if (log_ != nullptr) {
    log_->Enter("CloseHandle", found != mutexHandles_.end() ? found->second : std::string());
  }
  if (found == mutexHandles_.end()) return error::kInvalidHandle;
  mutexHandles_.erase(found);
  return error::kSuccess;
}

void SimSystem::RunAs(int process, const std::function<void()>& run) {
  const int before = process_;
  process_ = process;
  run();
  process_ = before;
}

void SimSystem::HoldMutex(const std::string& name, int process) {
  Mutex& held = mutexes_[name];
  held.holder = process;
  ++held.count;
}

void SimSystem::ReleaseMutexOf(const std::string& name, int process) {
  Mutex& held = mutexes_[name];
  if (held.holder == process && --held.count == 0) held.holder = 0;
}

void SimSystem::AbandonMutexesOf(int process) {
  for (auto& [name, mutex] : mutexes_) {
    if (mutex.holder != process) continue;
    mutex.holder = 0;
    mutex.count = 0;
    mutex.abandoned = true;
  }
}

bool SimSystem::HoldsMutex(const std::string& name, int process) const {
  const auto found = mutexes_.find(name);
  return found != mutexes_.end() && found->second.holder == process;
}

std::string SimSystem::MutexSddl(const std::string& name) const {
  const auto found = mutexes_.find(name);
  return found != mutexes_.end() ? found->second.sddl : std::string();
}

void SimSystem::ExitProcess(int status) {
  throw ProcessExit{status};
}

}  // namespace velnara::platform::sim
