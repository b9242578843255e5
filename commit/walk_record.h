// Who renamed what, and when: every walk that wrote (a Save, Exit's Save, a
// Reset, an /apply, the putting back of an interrupted walk) leaves one
// event in the Windows Application log, where administrators look first
// and their fleet tools collect from. The texts are the message table in
// the program's resources; the event gives the inserts. Nothing of it ever
// stands in the way: a failure to register the source or to report is said
// in the log file, when there is one, and changes nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "commit/recovery.h"
#include "messages/message_boxes.h"
#include "platform/platform.h"

namespace velnara {

// The event source, and the key Event Viewer finds its message file by:
// the only key the program writes besides the places of the ports.
constexpr const char* kEventSource = "Velnara";
constexpr const char* kEventSourceKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Velnara";

// The events, numbered as the message table numbers them (the severity in
// the top two bits).
constexpr std::uint32_t kEventNamesWritten = 0x40000001;      // Informational
constexpr std::uint32_t kEventSomeWritesFailed = 0x80000002;  // Warning
constexpr std::uint32_t kEventInterruptedWalk = 0x80000003;   // Warning

// A walk that wrote, as its event tells it.
struct WalkRecord {
  bool byCommandLine = false;
  std::string walk;                 // "Save", "Reset", "/apply"
  std::vector<std::string> ports;   // "PCI 2.9.0 port 1: COM3 -> COM47"
  std::vector<std::string> failed;  // the ports some of whose writes failed
  std::string keptFile;             // the file of the names before; empty: none
  bool restartNeeded = false;
};

void RecordWalk(platform::Platform& platform, const ErrorReporter& reporter,
                const WalkRecord& record);

// A start that found an interrupted walk and finished with it (put back,
// found whole, or could not put back).
void RecordRecovery(platform::Platform& platform, const ErrorReporter& reporter,
                    const Recovery& recovery, bool byCommandLine);

}  // namespace velnara
