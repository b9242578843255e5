// The journal of a walk that writes port names (a Save, a Reset, an
// /apply): for every place the walk writes, what it held before the walk
// and what the walk writes there. It is on the disk before the walk's first
// write and removed after its last one has reached the disk; one found at
// a start means a walk was interrupted, and says how to finish or undo it.
// Windows NT 5.x has no registry transactions; this is the program's own,
// after SQLite's rollback journal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace velnara {

// What a registry value holds: nothing, or data of a type.
struct ValueState {
  bool exists = false;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};
bool operator==(const ValueState& a, const ValueState& b);
inline bool operator!=(const ValueState& a, const ValueState& b) {
  return !(a == b);
}

// A value the walk writes, in a key below HKEY_LOCAL_MACHINE.
struct ValuePlace {
  std::string key;   // "HARDWARE\DEVICEMAP\SERIALCOMM"
  std::string name;  // "\Device\TrvxSerial2"
  ValueState before;
  ValueState after;
};

// A port device key whose access list the walk opens for a moment and sets
// back: the list as it was read before the walk, protection included.
struct ListPlace {
  std::string key;   // below HKEY_LOCAL_MACHINE
  std::string sddl;  // "D:P(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)"
};

// A COM number whose claim in the COM port database the walk changes.
struct ClaimPlace {
  long number = 0;
  bool before = false;  // claimed before the walk
  bool after = false;   // claimed once it is done
};

// A port of the walk, for what is said of it.
struct JournalPort {
  std::string address;  // "PCI 2.9.0 port 1"
  std::string before;   // the name the registry held for it
  std::string after;    // the name the walk gives it
};

struct Journal {
  std::string walk;  // what was walking: "Save", "Reset" or "/apply"
  std::vector<JournalPort> ports;
  std::vector<ValuePlace> values;
  std::vector<ListPlace> lists;
  std::vector<ClaimPlace> claims;
};

// The journal as its file holds it: a line for each place, every text
// written so that no line break or blank in a name or in data can shift a
// field, and a last line that counts the lines before it and sums their
// bytes, so that a file cut short or changed is known.
std::string FormatJournal(const Journal& journal);
// False, with *problem saying what is wrong, for a text FormatJournal did
// not write.
bool ParseJournal(const std::string& text, Journal* journal, std::string* problem);

// The journal's file: journal.txt in the folder of the kept names.
platform::ErrorCode JournalPath(platform::Platform& platform, std::string* path);

// Writes the journal as a new file: flushed, then moved into place with
// MOVEFILE_WRITE_THROUGH, never over a journal that is there already (that
// one's walk is not finished: ERROR_ALREADY_EXISTS). The folder must be
// there.
platform::ErrorCode WriteJournal(platform::Platform& platform, const std::string& path,
                                 const Journal& journal);

// What a start finds: no journal, one it can read, or one it cannot.
struct FoundJournal {
  enum class State { kNone, kReadable, kUnreadable };
  State state = State::kNone;
  std::string path;
  Journal journal;
  std::string problem;           // kUnreadable: why, one line
  platform::ErrorCode code = 0;  // kUnreadable: the failed call's, when one failed
};
FoundJournal FindJournal(platform::Platform& platform);

}  // namespace velnara
