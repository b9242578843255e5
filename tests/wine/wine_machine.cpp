#include "tests/wine/wine_machine.h"

#include <algorithm>

#include "tests/wine/ui_automation.h"

namespace velnara::wine_test {
namespace {

constexpr char kEnum[] = "SYSTEM\\CurrentControlSet\\Enum";
constexpr char kPorts[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
constexpr char kArbiter[] = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
// Lets an administrator rewrite and remove a port device key.
constexpr char kOpenPortKey[] = "D:(A;;KA;;;SY)(A;;KA;;;BA)(A;;KR;;;BU)";

std::vector<std::string> Subkeys(const std::string& path) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return names;
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD chars = sizeof name;
    if (RegEnumKeyExA(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name);
  }
  RegCloseKey(key);
  return names;
}

bool LockAll(const char* sddl, std::string* problem) {
  for (const std::string& key : PortDeviceKeys()) {
    if (!SetDaclSddl(key, sddl)) {
      *problem = "cannot set the access list of " + key;
      return false;
    }
  }
  return true;
}

bool RunAndWait(const std::string& commandLine, std::string* problem) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!StartProcess(commandLine, FALSE, &startup, &process)) {
    *problem = "cannot start " + commandLine;
    return false;
  }
  const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!ended) *problem = commandLine + " did not end";
  return ended;
}

}  // namespace

bool SetDaclSddl(const std::string& path, const std::string& sddl) {
  return SetObjectDaclSddl("MACHINE\\" + path, sddl);
}

bool SetObjectDaclSddl(const std::string& objectName, const std::string& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return false;
  }
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  const SECURITY_INFORMATION which =
      DACL_SECURITY_INFORMATION |
      ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                     : UNPROTECTED_DACL_SECURITY_INFORMATION);
  std::string object = objectName;
  const bool set = GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
                   SetNamedSecurityInfoA(object.data(), SE_REGISTRY_KEY, which, nullptr, nullptr,
                                         dacl, nullptr) == ERROR_SUCCESS;
  LocalFree(descriptor);
  return set;
}

std::string DaclSddl(const std::string& path) {
  return ObjectDaclSddl("MACHINE\\" + path);
}

std::string ObjectDaclSddl(const std::string& objectName) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(objectName.c_str(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return "<unreadable>";
  }
  char* text = nullptr;
  std::string sddl = "<unreadable>";
  if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    sddl = text;
  }
  LocalFree(text);
  LocalFree(descriptor);
  return sddl;
}

std::string ReadValue(const std::string& path, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return "<none>";
  }
  char data[1024];
  DWORD size = sizeof data;
  const LONG read =
      RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return read == ERROR_SUCCESS ? std::string(data, size) : "<none>";
}

std::vector<std::string> ValueNames(const std::string& path) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return names;
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD chars = sizeof name;
    if (RegEnumValueA(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name);
  }
  RegCloseKey(key);
  return names;
}

std::vector<int> ClaimedNumbers() {
  std::vector<int> numbers;
  const std::string bitmap = ReadValue(kArbiter, "ComDB");
  if (bitmap == "<none>") return numbers;
  for (std::size_t i = 0; i < bitmap.size() * 8 && i < 4096; ++i) {
    if ((static_cast<unsigned char>(bitmap[i / 8]) >> (i % 8)) & 1) {
      numbers.push_back(static_cast<int>(i + 1));
    }
  }
  return numbers;
}

std::vector<std::string> PortDeviceKeys() {
  std::vector<std::string> keys;
  for (const char* letter : {"A", "S", "U"}) {
    const std::string enumerator = std::string(kEnum) + "\\TRVX880" + letter + "\\*PNP0501";
    for (const std::string& instance : Subkeys(enumerator))
      keys.push_back(enumerator + "\\" + instance);
  }
  return keys;
}
std::map<std::string, std::string> PortDeviceKeysByName() {
  std::map<std::string, std::string> keys;
  for (const std::string& key : PortDeviceKeys()) {
    std::string name = ReadValue(key + "\\Device Parameters", "PortName");
    if (name == "<none>") continue;
    name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
    keys[name] = key;
  }
  return keys;
}

bool ResetSampleMachine(const std::string& sampleReg, std::string* problem) {
  if (!LockAll(kOpenPortKey, problem)) return false;
  HKEY ports = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPorts, 0, KEY_ALL_ACCESS, &ports) == ERROR_SUCCESS) {
    for (const std::string& name : ValueNames(kPorts)) RegDeleteValueA(ports, name.c_str());
    RegCloseKey(ports);
  }
  if (!RunAndWait("regedit.exe /S \"" + ToWindowsPath(sampleReg) + "\"", problem)) return false;
  if (ReadValue(kArbiter, "ComDB") == "<none>") {
    *problem = "regedit did not import " + sampleReg;
    return false;
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPorts, 0, KEY_ALL_ACCESS, &ports) != ERROR_SUCCESS) {
    *problem = "no port settings key after the import";
    return false;
  }
  for (const std::string& name : ValueNames(kPorts)) {
    if (name.rfind("COM", 0) != 0) continue;
    const std::string data = "settings of " + name.substr(0, name.size() - 1);
    RegSetValueExA(ports, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
  }
  RegCloseKey(ports);
  return LockAll(kLockedPortKey, problem);
}

CapturedRun::~CapturedRun() {
  if (process_ != nullptr) {
    TerminateProcess(process_, 1);
    CloseHandle(process_);
  }
  if (!file_.empty()) DeleteFileA(file_.c_str());
}

bool CapturedRun::Start(const std::string& commandLine, std::string* problem) {
  static unsigned runs = 0;
  CreateDirectoryA("C:\\velnara-e2e", nullptr);
  file_ = "C:\\velnara-e2e\\output-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(++runs) + ".txt";
  commandLine_ = commandLine;
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  const HANDLE file = CreateFileA(file_.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *problem = "cannot make " + file_ + ": error " + std::to_string(GetLastError());
    return false;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = file;
  startup.hStdError = file;
  PROCESS_INFORMATION process = {};
  const BOOL started = StartProcess(commandLine, TRUE, &startup, &process);
  CloseHandle(file);
  if (!started) {
    *problem = "cannot start " + commandLine + ": error " + std::to_string(GetLastError());
    return false;
  }
  CloseHandle(process.hThread);
  process_ = process.hProcess;
  return true;
}

bool CapturedRun::Wait(DWORD timeoutMs, DWORD* status, std::string* output, std::string* problem) {
  const bool ended = WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
  if (!ended) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 10000);
    *problem = commandLine_ + " did not end by itself";
  }
  GetExitCodeProcess(process_, status);
  CloseHandle(process_);
  process_ = nullptr;
  if (output != nullptr) *output = ReadFileText(file_);
  return ended;
}

bool RunCaptured(const std::string& commandLine, DWORD* status, std::string* output,
                 std::string* problem, DWORD timeoutMs) {
  CapturedRun run;
  return run.Start(commandLine, problem) && run.Wait(timeoutMs, status, output, problem);
}

std::string ReadFileText(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<none>";
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    text.append(buffer, read);
  CloseHandle(file);
  return text;
}

std::string MachineSnapshot() {
  std::string snapshot;
  std::vector<std::string> keys = PortDeviceKeys();
  std::sort(keys.begin(), keys.end());
  for (const std::string& key : keys) {
    // The entries of the list; Wine drops its protected flag when it is
    // stored, which a Windows list keeps.
    const std::string sddl = DaclSddl(key);
    snapshot += key + " FriendlyName=" + ReadValue(key, "FriendlyName") +
                " PortName=" + ReadValue(key + "\\Device Parameters", "PortName") + " " +
                sddl.substr(std::min(sddl.find('('), sddl.size())) + "\n";
  }
  for (const char* path : {"HARDWARE\\DEVICEMAP\\SERIALCOMM",
                           "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"}) {
    std::vector<std::string> names = ValueNames(path);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      snapshot += std::string(path) + " " + name + "=" + ReadValue(path, name) + "\n";
    }
  }
  return snapshot + "ComDB=" + ReadValue(kArbiter, "ComDB") + "\n";
}

}  // namespace velnara::wine_test
