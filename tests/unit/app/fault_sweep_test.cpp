// Every call the program makes on the journey through the sample machine
// (start, renames and a swap, Save, Reset, a last rename, Exit and the
// restart), made to fail in turn with each error that call can really give.
// For each run: a failure the program reports is reported under its step's
// caption with that call's own code (never as success), the program goes on
// to its end, and the journey's promises hold (see journey.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "journey.h"

namespace velnara::testing {
namespace {

using platform::ErrorCode;

std::string SampleText() {
  std::ifstream file(VELNARA_SOURCE_DIR "/samples/demo-machine.reg", std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Whether a call only looks for the journal of an interrupted walk on a
// machine that has none: any answer but "not found" would make it another
// machine, not fail the call.
bool LooksForTheJournal(const sim::Call& call) {
  return call.function == "CreateFileA" && call.value == 3 &&
         JourneyInvariants::Upper(call.target).find("JOURNAL.TXT") != std::string::npos;
}

// The errors each kind of call can answer with, of access denied (5), file
// not found (2), more data (234), not enough memory (8) and invalid
// parameter (87). Closing a key is left out: nothing can be done about it.
std::vector<ErrorCode> CodesFor(const std::string& function) {
  if (function == "RegOpenKeyExA") return {2, 5, 8};
  if (function == "RegEnumKeyExA" || function == "RegEnumValueA") return {234, 5, 8};
  // A value that is there cannot answer "not found": that would be a lie
  // about the machine, not a failure of the call.
  if (function == "RegQueryValueExA") return {8, 234};
  if (function == "RegSetValueExA") return {5, 8, 87};
  if (function == "RegDeleteValueA") return {2, 5};
  if (function == "GetNamedSecurityInfoA" || function == "SetNamedSecurityInfoA") {
    return {2, 5, 8};
  }
  if (function == "GetEffectiveRightsFromAclA" || function == "SetEntriesInAclA" ||
      function == "GetSecurityDescriptorControl") {
    return {8, 87};
  }
  if (function == "GetFileAttributesA" || function == "GetTokenInformation") return {5};
  if (function == "AllocateAndInitializeSid") return {8};
  if (function == "ConvertSecurityDescriptorToStringSecurityDescriptorA") return {8, 87};
  if (function == "RegFlushKey") return {5, 8};
  // The Application log: none of its failures may change anything else.
  if (function == "RegisterEventSourceA" || function == "RegCreateKeyExA") return {5, 8};
  if (function == "ReportEventA") return {1502, 5};  // ERROR_LOG_FILE_FULL
  if (function == "LookupAccountSidA") return {1332, 8};
  if (function == "FlushFileBuffers" || function == "MoveFileExA" || function == "DeleteFileA") {
    return {5};
  }
  if (function.rfind("ComDB", 0) == 0) return {5, 87};
  if (function == "OpenProcessToken" || function == "AdjustTokenPrivileges") return {5, 87};
  if (function == "ExitWindowsEx") return {5};
  if (function == "GetVersionExA") return {87};
  if (function == "LookupPrivilegeValueA") return {87};
  // The file that keeps the names before a Save, and its folder.
  if (function == "SHGetFolderPathA" || function == "CreateDirectoryA") return {3, 5};
  if (function == "CreateFileA") return {3, 5};
  if (function == "WriteFile") return {5, 112};
  if (function == "FindFirstFileA" || function == "GetComputerNameA") return {5};
  // The lock that keeps a second copy out.
  if (function == "CreateMutexA") return {5};
  if (function == "WaitForSingleObject") return {6};
  return {};
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What the program must show when `call` fails: a report caption, one of
// its own texts with "%d" for the code, or nothing.
std::string ExpectedMessage(const sim::Call& call, bool committing) {
  const std::string& f = call.function;
  const std::string& t = call.target;
  if (f == "RegOpenKeyExA") {
    // Discovery's and the commit's opens; the name check reads the same
    // keys with other rights, and says nothing when it cannot.
    if (EndsWith(t, "\\Enum\\PCI"))
      return call.value == 0x20019 ? "Failed opening PCI Registry Key" : "";
    constexpr std::uint32_t kCommitMasks[] = {0xF003F, 0x20019, 0x20006, 0x2};
    if (!committing || std::find(std::begin(kCommitMasks), std::end(kCommitMasks), call.value) ==
                           std::end(kCommitMasks)) {
      return "";
    }
    if (t.find("SerialComm") != std::string::npos) {
      return "Failed opening 'HKLM\\Hardware\\DeviceMap\\SerialComm' Key";
    }
    if (EndsWith(t, "\\Ports")) {
      return "Failed opening 'HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports' Key";
    }
    if (t.find("PNP0501") != std::string::npos) {
      return "Failed opening 'SYSTEM\\CurrentControlSet\\Enum\\TRVX880?\\*PNP0501\\' Key";
    }
    return "";
  }
  if (f == "RegSetValueExA" && committing) {
    if (t.find("SERIALCOMM") != std::string::npos) {
      return "Failed writing '\\Hardware\\DeviceMap\\SerialComm' Key";
    }
    if (EndsWith(t, " : FriendlyName")) return "Failed writing 'FriendlyName' Key";
    if (EndsWith(t, " : PortName")) return "Failed writing 'PortName' Key";
    return "";
  }
  if (f == "CreateMutexA" || f == "WaitForSingleObject")
    return "Failed opening the lock of Velnara";
  if (f == "RegFlushKey") return "Failed flushing the Registry";
  // The journal written before a walk's first write, removed after its last.
  if (JourneyInvariants::Upper(t).find("JOURNAL.TXT") != std::string::npos) {
    return f == "DeleteFileA" ? "Failed removing Port Names Journal"
                              : "Failed writing Port Names Journal";
  }
  // The same calls on the folder of the kept names: its owner, its list.
  const bool backupFolder = EndsWith(t, "\\Velnara");
  if (backupFolder &&
      (f == "GetFileAttributesA" || f == "GetNamedSecurityInfoA" || f == "SetNamedSecurityInfoA")) {
    return "Failed writing Port Names Backup";
  }
  const bool key = t.rfind("MACHINE\\", 0) == 0;
  if (f == "GetNamedSecurityInfoA" && key) return "GetNamedSecurityInfo Failed";
  if (f == "GetSecurityDescriptorControl" ||
      f == "ConvertSecurityDescriptorToStringSecurityDescriptorA") {
    return "GetNamedSecurityInfo Failed";
  }
  if (f == "GetEffectiveRightsFromAclA" || f == "AllocateAndInitializeSid") {
    return "RegGetKeySecurity Failed";
  }
  if (f == "SetEntriesInAclA") return "SetEntriesInAcl Failed";
  if (f == "SetNamedSecurityInfoA" && key) return "SetSecurityInfo Failed";
  if (f == "OpenProcessToken") return "OpenProcessToken Failed\nError Code = %d";
  if (f == "AdjustTokenPrivileges") return "AdjustTokenPrivileges Failed\nError Code = %d";
  if (f == "ExitWindowsEx") return "ExitWindowsEx Failed\nError Code = %d";
  // The names cannot be kept: said, and the Save goes on. (Without the
  // common folder the Windows folder takes its place.)
  if (f == "CreateDirectoryA" || f == "CreateFileA" || f == "WriteFile" ||
      f == "FlushFileBuffers" || f == "MoveFileExA") {
    return "Failed writing Port Names Backup";
  }
  return "";
}

std::string Fill(std::string format, ErrorCode code) {
  return format.replace(format.find("%d"), 2, std::to_string(static_cast<int>(code)));
}

struct JourneyRun {
  sim::SimPlatform machine;
  std::vector<std::string> problems;
  std::size_t journeyBegins = 0;  // the log's size when the user starts
};

// One journey on a fresh sample machine, with call `failing` (an index of
// the log) answering `code`; its problems, with the invariants'.
void Journey(const std::string& sample, std::size_t failing, ErrorCode code, JourneyRun* run,
             bool localised = false) {
  // The sample is read once; each run starts from a copy of its registry.
  static sim::SimRegistry loaded;
  static std::string loadedFrom;
  if (loadedFrom != sample) {
    sim::SimPlatform machine;
    std::string problem;
    if (!LoadSampleMachine(machine, sample, &problem)) {
      run->problems.push_back(problem);
      return;
    }
    loaded.CopyKeysFrom(machine.registry);
    loadedFrom = sample;
  }
  run->machine.registry.CopyKeysFrom(loaded);
  // A German Windows, which names the group of every account "Jeder".
  if (localised) run->machine.security.RenameAccount(sim::kSidEveryone, "Jeder");
  const JourneyInvariants invariants(run->machine);
  if (code != 0) run->machine.calls.FailCall(failing, code);
  JourneyUser user(run->machine.windows);
  run->machine.windows.Then(
      "begin", [run](sim::SimUser&) { run->journeyBegins = run->machine.calls.calls().size(); });
  user.PlayFullJourney();
  try {
    RunApplication(run->machine.platform);
  } catch (const sim::ProcessExit& exit) {
    run->problems.push_back("the program ended itself with " + std::to_string(exit.status));
  }
  for (const std::string& error : run->machine.windows.errors()) {
    run->problems.push_back("the user met: " + error);
  }
  for (const std::string& broken : invariants.Check(run->machine)) {
    run->problems.push_back(broken);
  }
}

// The message shown first after the failed call, if any.
bool FirstMessageAfter(const JourneyRun& run, std::size_t forcedAt, sim::Shown* shown) {
  std::size_t boxes = 0;
  for (std::size_t i = 0; i < run.machine.calls.calls().size(); ++i) {
    const sim::Call& call = run.machine.calls.calls()[i];
    if (call.function != "MessageBoxA") continue;
    if (i > forcedAt) {
      *shown = run.machine.windows.MessageBoxes().at(boxes);
      return true;
    }
    ++boxes;
  }
  return false;
}

TEST(FaultSweep, EveryCallFailingInTurnIsReportedWithItsOwnCodeAndBreaksNoPromise) {
  const std::string sample = SampleText();
  ASSERT_FALSE(sample.empty());
  JourneyRun clean;
  Journey(sample, 0, 0, &clean);
  ASSERT_TRUE(clean.problems.empty()) << clean.problems.front();
  // The calls that can fail, in the order made.
  std::vector<sim::Call> calls;
  for (const sim::Call& call : clean.machine.calls.calls()) {
    if (!CodesFor(call.function).empty() || call.function == "RegCloseKey" ||
        call.function == "CloseHandle" || call.function == "DeregisterEventSource" ||
        LooksForTheJournal(call)) {
      calls.push_back(call);
    }
  }
  ASSERT_EQ(calls.size(), clean.machine.calls.Entered());
  ASSERT_EQ(clean.machine.system.RestartRequests().size(), 1u) << "the journey ends in a restart";

  // Every call, or every stride-th (VELNARA_SWEEP_STRIDE); with
  // VELNARA_SWEEP_SHARD=i/n only the i-th of every n of those, so that n
  // runs side by side share the sweep (CTest runs four).
  // VELNARA_SWEEP_TRACE=k prints the calls of the runs in which call k fails.
  const char* strideText = std::getenv("VELNARA_SWEEP_STRIDE");
  const std::size_t stride =
      strideText != nullptr ? std::max(1ul, std::strtoul(strideText, nullptr, 10)) : 1;
  std::size_t shard = 0;
  std::size_t shards = 1;
  if (const char* shardText = std::getenv("VELNARA_SWEEP_SHARD")) {
    char* slash = nullptr;
    shard = std::strtoul(shardText, &slash, 10);
    if (*slash == '/') shards = std::max(1ul, std::strtoul(slash + 1, nullptr, 10));
  }
  const char* traceText = std::getenv("VELNARA_SWEEP_TRACE");
  const std::size_t traced = traceText != nullptr ? std::strtoul(traceText, nullptr, 10) : SIZE_MAX;
  int runs = 0;
  int reported = 0;
  std::vector<std::string> failures;
  for (std::size_t k = stride * shard; k < calls.size() && failures.size() < 20;
       k += stride * shards) {
    if (LooksForTheJournal(calls[k])) continue;
    for (const ErrorCode code : CodesFor(calls[k].function)) {
      JourneyRun run;
      Journey(sample, k, code, &run);
      ++runs;
      const std::string where = "call " + std::to_string(k) + " " + calls[k].function + " " +
                                calls[k].target + " failing with " + std::to_string(code) + ": ";
      // Find the forced call in this run's log (the course may differ after
      // it, never before).
      std::size_t forcedAt = 0;
      const std::vector<sim::Call>& log = run.machine.calls.calls();
      while (forcedAt < log.size() && log[forcedAt].forced == 0) ++forcedAt;
      if (forcedAt == log.size()) {
        failures.push_back(where + "the call was not made");
        continue;
      }
      const std::string expected = ExpectedMessage(log[forcedAt], forcedAt >= run.journeyBegins);
      sim::Shown shown;
      if (!expected.empty()) {
        ++reported;
        std::string text;
        run.machine.system.FormatSystemMessage(code, &text);
        if (!FirstMessageAfter(run, forcedAt, &shown)) {
          failures.push_back(where + "nothing was shown");
        } else if (expected.find("%d") != std::string::npos) {
          if (shown.text != Fill(expected, code)) {
            failures.push_back(where + "showed \"" + shown.text + "\"");
          }
        } else if (shown.caption != expected || shown.text != text) {
          failures.push_back(where + "showed \"" + shown.text + "\" under \"" + shown.caption +
                             "\"");
        }
      }
      for (const std::string& problem : run.problems) failures.push_back(where + problem);
      if (k == traced) {
        for (const sim::Call& call : log) {
          std::printf("%s %s %u %u\n", call.function.c_str(), call.target.c_str(), call.value,
                      call.forced);
        }
      }
    }
  }
  for (const std::string& failure : failures) ADD_FAILURE() << failure;
  RecordProperty("calls", static_cast<int>(calls.size()));
  RecordProperty("runs", runs);
  std::printf(
      "fault sweep: %zu calls, every %zu-th from %zu failing in turn: %d runs, %d with a "
      "report\n",
      calls.size(), stride * shards, stride * shard, runs, reported);
}

// On a Windows in another language the journey ends exactly as on an
// English one: every place of every port written, without a report, and no
// entry left for the group of every account (the promises check that).
TEST(Journey, ALocalisedSystemEndsItAsAnEnglishOne) {
  const std::string sample = SampleText();
  JourneyRun english;
  JourneyRun german;
  Journey(sample, 0, 0, &english);
  Journey(sample, 0, 0, &german, true);
  for (const std::string& problem : german.problems) ADD_FAILURE() << problem;
  EXPECT_EQ(sim::ExportRegText(german.machine.registry, "HKEY_LOCAL_MACHINE"),
            sim::ExportRegText(english.machine.registry, "HKEY_LOCAL_MACHINE"));
  std::vector<std::string> texts;
  for (const sim::Shown& box : german.machine.windows.MessageBoxes()) texts.push_back(box.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Are you sure you want to lose your changes",
                                             "The System must be rebooted.\n\nDo you want to "
                                             "Reboot now ?"}));
}

}  // namespace
}  // namespace velnara::testing
