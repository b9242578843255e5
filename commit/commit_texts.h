// The fixed texts of the commit: FriendlyName's form and the captions of
// its reports, and the capacities of its reads.
#pragma once

#include <cstdint>
#include <string>

namespace velnara {

constexpr const char* kFriendlyNameFormat = "Tarvex 880 Port (%s)";

constexpr const char* kSerialMapOpenFailedCaption =
    "Failed opening 'HKLM\\Hardware\\DeviceMap\\SerialComm' Key";
constexpr const char* kSerialMapWriteFailedCaption =
    "Failed writing '\\Hardware\\DeviceMap\\SerialComm' Key";
constexpr const char* kPortSettingsOpenFailedCaption =
    "Failed opening 'HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports' Key";
constexpr const char* kPortKeyOpenFailedCaption =
    "Failed opening 'SYSTEM\\CurrentControlSet\\Enum\\TRVX880?\\*PNP0501\\' Key";
constexpr const char* kFriendlyNameWriteFailedCaption = "Failed writing 'FriendlyName' Key";
constexpr const char* kPortNameWriteFailedCaption = "Failed writing 'PortName' Key";

// The walk's own steps around the commits: the journal that makes it safe
// to end at any moment, and the flush that puts what it wrote on the disk.
constexpr const char* kJournalWriteFailedCaption = "Failed writing Port Names Journal";
constexpr const char* kJournalRemoveFailedCaption = "Failed removing Port Names Journal";
constexpr const char* kRegistryFlushFailedCaption = "Failed flushing the Registry";

// What the COM port database answers: the dialog has never shown them; the
// command line, which promises more, says them.
constexpr const char* kDatabaseOpenFailedCaption = "ComDBOpen Failed";
constexpr const char* kReleaseFailedCaption = "ComDBReleasePort Failed";
constexpr const char* kClaimFailedCaption = "ComDBClaimPort Failed";

// The capacities of the serial device map's reads: value names of 63
// characters and their terminator, value data of 32 bytes. Port settings
// values are read into 32 bytes as well.
constexpr std::uint32_t kSerialValueNameCapacity = 64;
constexpr std::uint32_t kValueDataCapacity = 32;

// "Tarvex 880 Port (COM7)".
inline std::string FriendlyName(const std::string& name) {
  std::string text = kFriendlyNameFormat;
  return text.replace(text.find("%s"), 2, name);
}

}  // namespace velnara
