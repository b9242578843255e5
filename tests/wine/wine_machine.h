// The sample machine in a Wine prefix, as the end-to-end tests of Save and
// Reset need it: put back to the sample before each run (the program
// changes it), its port device keys locked as Windows locks them, and read
// back afterwards. Works within one wineserver's life: HKLM\HARDWARE and
// the keys' access lists do not outlive it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace velnara::wine_test {

// SYSTEM full control, Administrators and Users read: FriendlyName cannot
// be written until the access list is opened.
constexpr char kLockedPortKey[] = "D:P(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)";

// Puts the machine back to `sampleReg` (a Linux or Windows path): unlocks
// the port device keys, removes the port settings key, imports the sample
// with regedit, gives every "COMn:" settings value data of its own
// ("settings of COMn") and locks the port device keys again. False with
// *problem set when a step fails.
bool ResetSampleMachine(const std::string& sampleReg, std::string* problem);

// Every port device key below HKLM (SYSTEM\...\TRVX880<letter>\*PNP0501\...).
std::vector<std::string> PortDeviceKeys();

// The same keys by the PortName each holds now.
std::map<std::string, std::string> PortDeviceKeysByName();

// A value of a key below HKLM: its bytes, "<none>" when it cannot be read.
std::string ReadValue(const std::string& path, const std::string& name);
// The names of a key's values below HKLM.
std::vector<std::string> ValueNames(const std::string& path);
// The COM numbers the database's bitmap claims.
std::vector<int> ClaimedNumbers();
// A key's access list as the system writes it in SDDL; "<unreadable>".
// The key is named below HKLM, or as the security calls name objects
// ("CURRENT_USER\Software\...") by the Object forms.
std::string DaclSddl(const std::string& path);
std::string ObjectDaclSddl(const std::string& objectName);
// Sets a key's access list from SDDL (protected when the text says "P").
bool SetDaclSddl(const std::string& path, const std::string& sddl);
bool SetObjectDaclSddl(const std::string& objectName, const std::string& sddl);

// A program started with its standard output and error going to a file of
// its own: a new one for every run, shared for reading, writing and
// deleting, so that no handle another process still holds on an earlier
// run's file (Wine's own helper processes may keep one) spoils the next.
class CapturedRun {
 public:
  CapturedRun() = default;
  CapturedRun(const CapturedRun&) = delete;
  CapturedRun& operator=(const CapturedRun&) = delete;
  ~CapturedRun();

  bool Start(const std::string& commandLine, std::string* problem);
  // Waits up to `timeoutMs` for the end: its status and what it wrote.
  // False with *problem when it did not end (it is ended then, having
  // waited for a click no one gives).
  bool Wait(DWORD timeoutMs, DWORD* status, std::string* output, std::string* problem);

 private:
  std::string file_;
  std::string commandLine_;
  HANDLE process_ = nullptr;
};

// Runs `commandLine` to its end within `timeoutMs`: its exit status and
// what it wrote to standard output and error.
bool RunCaptured(const std::string& commandLine, DWORD* status, std::string* output,
                 std::string* problem, DWORD timeoutMs = 60000);
// A file's contents; "<none>" when it cannot be read.
std::string ReadFileText(const std::string& path);

// What the program may change, one line each: every port device key's
// FriendlyName, PortName and access list, every serial device map and port
// settings value, and the COM port database's bitmap.
std::string MachineSnapshot();

}  // namespace velnara::wine_test
