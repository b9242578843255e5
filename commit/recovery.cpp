#include "commit/recovery.h"

#include <map>

#include "commit/commit_texts.h"
#include "commit/key_access.h"
#include "commit/port_places.h"
#include "discovery/port_enumeration.h"
#include "safety/journal.h"
#include "text/text.h"

namespace velnara {

using namespace platform;

namespace {

constexpr const char* kParameters = "\\Device Parameters";
// The most ports a box names; a machine of many cards gets the rest counted.
constexpr std::size_t kMostPortsInABox = 16;

bool EndsWithName(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && SameName(text.substr(text.size() - end.size()), end);
}

// A port device key: SYSTEM\CurrentControlSet\Enum\TRVX880<letter>\*PNP0501\<key>.
bool IsPortDeviceKey(const std::string& key) {
  const std::string root = std::string(kEnumRoot) + "\\TRVX880";
  const std::string middle = "\\*PNP0501\\";
  if (!StartsWithName(key, root) || key.size() <= root.size() + 1 + middle.size()) return false;
  if (!StartsWithName(key.substr(root.size() + 1), middle)) return false;
  return key.find('\\', root.size() + 1 + middle.size()) == std::string::npos;
}

// Whether a journal's place is one a walk writes. The journal lives in a
// folder of the administrators' own; one that names anything else is not
// Velnara's and is not followed.
bool IsWalkPlace(const ValuePlace& place) {
  if (SameName(place.key, kSerialMapPath)) return true;
  if (SameName(place.key, kPortSettingsPath)) return EndsWithName(place.name, ":");
  if (IsPortDeviceKey(place.key)) return SameName(place.name, "FriendlyName");
  return EndsWithName(place.key, kParameters) &&
         IsPortDeviceKey(place.key.substr(0, place.key.size() - std::string(kParameters).size())) &&
         SameName(place.name, "PortName");
}

// The access a key is opened with to put a value back: what the commit
// opens it with.
AccessMask WriteAccess(const std::string& key) {
  if (IsPortDeviceKey(key)) return access::kKeySetValue;
  if (EndsWithName(key, kParameters)) return access::kKeyWrite;
  return access::kKeyAllAccess;
}

const char* WriteCaption(const ValuePlace& place) {
  if (SameName(place.key, kSerialMapPath)) return kSerialMapWriteFailedCaption;
  if (SameName(place.name, "FriendlyName")) return kFriendlyNameWriteFailedCaption;
  if (SameName(place.name, "PortName")) return kPortNameWriteFailedCaption;
  return kPortSettingsOpenFailedCaption;
}

const char* OpenCaption(const std::string& key) {
  if (SameName(key, kSerialMapPath)) return kSerialMapOpenFailedCaption;
  if (SameName(key, kPortSettingsPath)) return kPortSettingsOpenFailedCaption;
  return kPortKeyOpenFailedCaption;
}

// What the places of a journal hold now.
struct Now {
  std::vector<ValueState> values;     // as the journal's values
  std::vector<std::string> lists;     // as its lists; empty: unknown
  std::vector<std::uint8_t> claimed;  // the database; empty: unknown
  bool complete = true;               // everything was read
};

// Reads what every place holds now. False with *problem for a journal that
// does not fit this PC: a place a walk never writes, a key that is not here.
bool ReadNow(Platform& platform, const Journal& journal, Now* now, std::string* problem) {
  for (const ValuePlace& place : journal.values) {
    if (!IsWalkPlace(place)) {
      *problem = "it names a place Velnara never writes (" + place.key + " : " + place.name + ")";
      return false;
    }
    RegKey key(platform.registry);
    ValueState state;
    ErrorCode code = key.Open(kLocalMachine, place.key.c_str(), access::kKeyQueryValue);
    if (code == error::kFileNotFound || code == error::kPathNotFound) {
      *problem = "it names a key this PC does not have (" + place.key + ")";
      return false;
    }
    if (code == error::kSuccess) code = ReadWholeValue(key, place.name, &state);
    now->complete = now->complete && code == error::kSuccess;
    now->values.push_back(code == error::kSuccess ? state : place.before);
  }
  for (const ListPlace& place : journal.lists) {
    if (!IsPortDeviceKey(place.key)) {
      *problem = "it names a key Velnara never opens (" + place.key + ")";
      return false;
    }
    KeyList list(platform.security);
    const ErrorCode code = list.Read(place.key);
    now->complete = now->complete && code == error::kSuccess;
    now->lists.push_back(code == error::kSuccess ? list.sddl() : std::string());
  }
  if (!journal.claims.empty()) {
    ComDb database(platform.comPorts);
    ErrorCode code = database.Open();
    if (code == error::kSuccess) code = database.ClaimedNumbers(&now->claimed);
    if (code != error::kSuccess) now->claimed.clear();
    now->complete = now->complete && !now->claimed.empty();
  }
  return true;
}

bool Claimed(const std::vector<std::uint8_t>& claimed, long number) {
  return number >= 1 && static_cast<std::size_t>(number) <= claimed.size() &&
         claimed[static_cast<std::size_t>(number) - 1] != 0;
}

// Whether every place holds what the walk was writing there.
bool WalkFinished(const Journal& journal, const Now& now) {
  if (!now.complete) return false;
  for (std::size_t i = 0; i < journal.values.size(); ++i) {
    if (now.values[i] != journal.values[i].after) return false;
  }
  for (std::size_t i = 0; i < journal.lists.size(); ++i) {
    if (now.lists[i] != journal.lists[i].sddl) return false;
  }
  for (const ClaimPlace& claim : journal.claims) {
    if (Claimed(now.claimed, claim.number) != claim.after) return false;
  }
  return true;
}

// Puts the values back, those that are to exist before those that are to
// go (the settings are always somewhere), FriendlyName through the window
// of the key's list as the journal holds it.
bool PutValuesBack(Platform& platform, const ErrorReporter& reporter, const Journal& journal,
                   const Now& now) {
  bool ok = true;
  std::map<std::string, std::size_t> lists;  // by key, folded: the last list of each
  for (std::size_t i = 0; i < journal.lists.size(); ++i) {
    lists[FoldCase(journal.lists[i].key)] = i;
  }
  for (const bool making : {true, false}) {
    for (std::size_t i = 0; i < journal.values.size(); ++i) {
      const ValuePlace& place = journal.values[i];
      if (place.before.exists != making || now.values[i] == place.before) continue;
      const auto list = lists.find(FoldCase(place.key));
      KeyList read(platform.security);
      const bool windowed =
          list != lists.end() && read.Parse(journal.lists[list->second].sddl) == error::kSuccess;
      KeyAccessWindow window(platform.security, reporter, place.key, read);
      if (windowed) window.Open();
      RegKey key(platform.registry);
      ErrorCode code = key.Open(kLocalMachine, place.key.c_str(), WriteAccess(place.key));
      if (code != error::kSuccess) {
        reporter.Report(OpenCaption(place.key), code);
      } else if ((code = WriteValueState(key, place.name, place.before)) != error::kSuccess) {
        reporter.Report(WriteCaption(place), code);
      }
      ok = ok && code == error::kSuccess;
      // The list is set back below, as the journal holds it.
    }
  }
  return ok;
}

bool PutListsBack(Platform& platform, const ErrorReporter& reporter, const Journal& journal) {
  bool ok = true;
  for (const ListPlace& place : journal.lists) {
    KeyList list(platform.security);
    ErrorCode code = list.Read(place.key);
    if (code == error::kSuccess && list.sddl() == place.sddl) continue;
    code = list.Parse(place.sddl);
    if (code == error::kSuccess) code = StoreKeyList(platform.security, place.key, list);
    if (code != error::kSuccess) reporter.Report(kSetSecurityFailedCaption, code);
    ok = ok && code == error::kSuccess;
  }
  return ok;
}

bool PutClaimsBack(Platform& platform, const ErrorReporter& reporter, const Journal& journal,
                   const Now& now) {
  if (journal.claims.empty()) return true;
  ComDb database(platform.comPorts);
  ErrorCode code = database.Open();
  if (code != error::kSuccess) {
    reporter.Report(kDatabaseOpenFailedCaption, code);
    return false;
  }
  bool ok = true;
  for (const ClaimPlace& claim : journal.claims) {
    if (!now.claimed.empty() && Claimed(now.claimed, claim.number) == claim.before) continue;
    bool forced = false;
    const auto number = static_cast<std::uint32_t>(claim.number);
    code = claim.before ? database.ClaimPort(number, false, &forced) : database.ReleasePort(number);
    // Claimed already is claimed.
    if (code == error::kSharingViolation && claim.before) code = error::kSuccess;
    if (code != error::kSuccess) {
      reporter.Report(claim.before ? kClaimFailedCaption : kReleaseFailedCaption, code);
    }
    ok = ok && code == error::kSuccess;
  }
  return ok;
}

bool FlushAll(Platform& platform, const ErrorReporter& reporter) {
  ErrorCode code = error::kSuccess;
  for (const char* path : {kPortSettingsPath, kEnumRoot}) {
    RegKey key(platform.registry);
    if (code == error::kSuccess) code = key.Open(kLocalMachine, path, access::kKeyQueryValue);
    if (code == error::kSuccess) code = key.Flush();
  }
  if (code != error::kSuccess) reporter.Report(kRegistryFlushFailedCaption, code);
  return code == error::kSuccess;
}

bool RemoveJournal(Platform& platform, const ErrorReporter& reporter, const std::string& path) {
  const ErrorCode code = platform.files.DeleteFile(path.c_str());
  if (code == error::kSuccess) return true;
  reporter.SetSubject(path);
  reporter.Report(kJournalRemoveFailedCaption, code);
  reporter.SetSubject(std::string());
  return false;
}

std::string WalkPhrase(const std::string& walk) {
  return walk == "/apply" ? "A run of /apply" : "A " + walk;
}

}  // namespace

bool Recovery::NeedsRestart() const {
  return state == State::kPutBack || (state == State::kFinished && walk != "Reset");
}

Recovery RecoverInterruptedWalk(Platform& platform, const ErrorReporter& reporter, bool putBack) {
  Recovery recovery;
  const FoundJournal found = FindJournal(platform);
  recovery.path = found.path;
  if (found.state == FoundJournal::State::kNone) return recovery;
  recovery.state = Recovery::State::kUnreadable;
  recovery.problem = found.problem;
  if (found.state == FoundJournal::State::kUnreadable) {
    if (found.code != error::kSuccess) {
      std::string text = ErrorReporter(platform).TextFor(found.code);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
        text.pop_back();
      }
      recovery.problem += " (" + std::to_string(found.code) + " " + text + ")";
    }
    return recovery;
  }
  const Journal& journal = found.journal;
  recovery.walk = journal.walk;
  for (const JournalPort& port : journal.ports) {
    recovery.ports.push_back(port.address + ": " + port.before);
    recovery.walked.push_back(port.address + ": " + port.before + " -> " + port.after);
  }
  Now now;
  if (!ReadNow(platform, journal, &now, &recovery.problem)) return recovery;
  if (WalkFinished(journal, now)) {
    recovery.state = Recovery::State::kFinished;
    // What the walk wrote reaches the disk before the journal goes.
    if (putBack &&
        !(FlushAll(platform, reporter) && RemoveJournal(platform, reporter, found.path))) {
      recovery.state = Recovery::State::kFailed;
    }
    return recovery;
  }
  if (!putBack) {
    recovery.state = Recovery::State::kPending;
    return recovery;
  }
  bool ok = PutValuesBack(platform, reporter, journal, now);
  ok = PutListsBack(platform, reporter, journal) && ok;
  ok = PutClaimsBack(platform, reporter, journal, now) && ok;
  ok = ok && FlushAll(platform, reporter) && RemoveJournal(platform, reporter, found.path);
  recovery.state = ok ? Recovery::State::kPutBack : Recovery::State::kFailed;
  return recovery;
}

std::string RecoveryBoxText(const Recovery& recovery) {
  const std::string walk = WalkPhrase(recovery.walk);
  switch (recovery.state) {
    case Recovery::State::kNone:
      return std::string();
    case Recovery::State::kPending:
      return walk + " of Velnara was interrupted before it had written every name.";
    case Recovery::State::kFinished:
      return walk +
             " of Velnara was interrupted after it had written every name; nothing needed "
             "putting back." +
             (recovery.NeedsRestart()
                  ? "\n\nThe drivers take the new names up when Windows starts again."
                  : "");
    case Recovery::State::kPutBack: {
      std::string ports;
      for (std::size_t i = 0; i < recovery.ports.size() && i < kMostPortsInABox; ++i) {
        ports += "\n" + recovery.ports[i];
      }
      if (recovery.ports.size() > kMostPortsInABox) {
        ports +=
            "\n... and " + std::to_string(recovery.ports.size() - kMostPortsInABox) + " more ports";
      }
      return walk +
             " of Velnara was interrupted before it had written every name (the program was "
             "ended, or Windows stopped).\n\nVelnara has put every port back as it was before "
             "that " +
             recovery.walk + ":" + ports +
             "\n\nThe drivers take these names up when Windows starts again.";
    }
    case Recovery::State::kFailed:
      return walk +
             " of Velnara was interrupted, and Velnara could not put every port back (the "
             "messages before say why). Its journal stays in\n" +
             recovery.path + "\n\nVelnara writes nothing until a start can put the ports back.";
    case Recovery::State::kUnreadable:
      return "Velnara found the journal of an interrupted walk, but " + recovery.problem + ":\n" +
             recovery.path +
             "\n\nVelnara writes nothing while it is there. An administrator may compare the "
             "ports with the names kept in that folder, then remove the file.";
  }
  return std::string();
}

std::vector<std::string> RecoveryLines(const Recovery& recovery) {
  const std::string walk = WalkPhrase(recovery.walk);
  const std::string journal = " (its journal: " + recovery.path + ")";
  std::vector<std::string> lines;
  switch (recovery.state) {
    case Recovery::State::kNone:
      break;
    case Recovery::State::kFinished:
      lines.push_back(walk + " of Velnara was interrupted after it had written every name" +
                      journal + "; nothing needed putting back.");
      break;
    case Recovery::State::kPending:
      lines.push_back(walk + " of Velnara was interrupted before it had written every name" +
                      journal + ".");
      for (const std::string& port : recovery.ports) lines.push_back("To put back: " + port);
      lines.push_back(
          "The dialog or /apply puts these ports back; /check and /list write nothing.");
      break;
    case Recovery::State::kPutBack:
      lines.push_back(walk + " of Velnara was interrupted before it had written every name" +
                      journal + ".");
      for (const std::string& port : recovery.ports) lines.push_back("Put back: " + port);
      break;
    case Recovery::State::kFailed:
      lines.push_back(walk +
                      " of Velnara was interrupted, and not every port could be put "
                      "back (the lines above say why); its journal stays in " +
                      recovery.path + ". Nothing more was written.");
      break;
    case Recovery::State::kUnreadable:
      lines.push_back("The journal of an interrupted walk, " + recovery.path +
                      ", cannot be used: " + recovery.problem +
                      ". Nothing was written: compare the ports with the kept names, then "
                      "remove the file.");
      break;
  }
  return lines;
}

}  // namespace velnara
