#include "commit/walk_record.h"

#include "commit/port_places.h"
#include "text/text.h"

namespace velnara {

using namespace platform;

namespace {

constexpr std::uint32_t kEveryType = 7;  // error, warning, information

std::string Lines(const std::vector<std::string>& lines, const char* separator) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : separator) + line;
  return text;
}

// The source's key, made or mended when it is missing or names another
// program file (a copy moved elsewhere): Event Viewer reads the texts from
// the file it names. False when the key cannot be read or written.
ErrorCode RegisterSource(Platform& platform) {
  const std::string program = platform.system.ModuleFileName();
  RegKey key(platform.registry);
  ValueState file;
  ValueState types;
  if (key.Open(kLocalMachine, kEventSourceKey, access::kKeyQueryValue) == error::kSuccess &&
      ReadWholeValue(key, "EventMessageFile", &file) == error::kSuccess &&
      ReadWholeValue(key, "TypesSupported", &types) == error::kSuccess && file.exists &&
      types.exists && SameName(StateText(file), program)) {
    return error::kSuccess;
  }
  // The program file's whole path: nothing in it to expand.
  ErrorCode code = key.Create(kLocalMachine, kEventSourceKey, access::kKeySetValue);
  if (code == error::kSuccess) code = key.SetString("EventMessageFile", program);
  const std::uint8_t supported[4] = {kEveryType, 0, 0, 0};
  if (code == error::kSuccess) {
    code = key.SetValue("TypesSupported", value_type::kDword, supported, sizeof supported);
  }
  return code;
}

void Report(Platform& platform, const ErrorReporter& reporter, std::uint16_t type, std::uint32_t id,
            const std::vector<std::string>& strings) {
  ErrorCode code = RegisterSource(platform);
  const char* step = "registered";
  EventSourceHandle source = nullptr;
  if (code == error::kSuccess) {
    step = "opened";
    code = platform.system.RegisterEventSource(kEventSource, &source);
  }
  if (code == error::kSuccess) {
    step = "written";
    code = platform.system.ReportEvent(source, type, id, true, strings);
    platform.system.DeregisterEventSource(source);  // result not examined
  }
  if (code != error::kSuccess) {
    std::string text = reporter.TextFor(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    reporter.NoteInLog(std::string("The Windows event log could not be ") + step + ": " +
                       std::to_string(code) + " " + text);
  }
}

std::string Account(Platform& platform) {
  std::string name;
  if (platform.system.GetProcessUserName(&name) == error::kSuccess) return name;
  std::string sid;
  platform.system.GetProcessUserSid(&sid);
  return "An account whose name could not be read (" + sid + ")";
}

std::string Restart(bool needed) {
  return needed ? "Windows must start again for the drivers to use these names."
                : "No restart is needed.";
}

}  // namespace

void RecordWalk(Platform& platform, const ErrorReporter& reporter, const WalkRecord& record) {
  const std::string how =
      record.byCommandLine ? "Velnara.exe " + record.walk : "the dialog's " + record.walk;
  Report(platform, reporter,
         record.failed.empty() ? event_type::kInformation : event_type::kWarning,
         record.failed.empty() ? kEventNamesWritten : kEventSomeWritesFailed,
         {Account(platform), how, Lines(record.ports, "\r\n"),
          record.keptFile.empty() ? "no file (none was kept)" : record.keptFile,
          Restart(record.restartNeeded), Lines(record.failed, ", ")});
}

void RecordRecovery(Platform& platform, const ErrorReporter& reporter, const Recovery& recovery,
                    bool byCommandLine) {
  const char* outcome = recovery.state == Recovery::State::kPutBack
                            ? "Velnara put every port back as it was before it"
                        : recovery.state == Recovery::State::kFinished
                            ? "It had written every name; nothing needed putting back"
                            : "Not every port could be put back; its journal stays";
  const std::vector<std::string>& ports =
      recovery.state == Recovery::State::kFinished ? recovery.walked : recovery.ports;
  Report(platform, reporter, event_type::kWarning, kEventInterruptedWalk,
         {Account(platform), byCommandLine ? "Velnara.exe /apply" : "the dialog",
          (recovery.walk == "/apply" ? "a run of /apply" : "a " + recovery.walk), outcome,
          Lines(ports, "\r\n"), Restart(recovery.NeedsRestart())});
}

}  // namespace velnara
