#include "safety/backup.h"

#include <algorithm>

#include "portmap/port_map.h"
#include "safety/durable_file.h"
#include "text/text.h"

namespace velnara {

using namespace platform;

namespace {

constexpr const char* kPrefix = "names-";
constexpr const char* kSuffix = ".txt";
// What an administrator does about a folder that is not the program's.
constexpr const char* kMendFolder =
    " An administrator may remove or rename it; the next Save makes it anew.";
// Saves of one second beyond this many are refused rather than numbered on.
constexpr unsigned kMostInOneSecond = 999;

// "20261209-051200".
std::string Stamp(const LocalTime& time) {
  return ZeroPadded(time.year, 4) + ZeroPadded(time.month, 2) + ZeroPadded(time.day, 2) + "-" +
         ZeroPadded(time.hour, 2) + ZeroPadded(time.minute, 2) + ZeroPadded(time.second, 2);
}

std::string Readable(const LocalTime& time) {
  return ZeroPadded(time.year, 4) + "-" + ZeroPadded(time.month, 2) + "-" +
         ZeroPadded(time.day, 2) + " " + ZeroPadded(time.hour, 2) + ":" +
         ZeroPadded(time.minute, 2) + ":" + ZeroPadded(time.second, 2);
}

// The order of a file this program wrote: its stamp and its number within
// the second (1 for none); false for any other file name.
bool BackupOrder(const std::string& name, std::string* stamp, unsigned* number) {
  const std::string prefix = kPrefix;
  const std::string suffix = kSuffix;
  const std::size_t stampLength = 15;  // YYYYMMDD-HHMMSS
  if (name.size() < prefix.size() + stampLength + suffix.size()) return false;
  if (!StartsWithName(name, prefix) ||
      !SameName(name.substr(name.size() - suffix.size()), suffix)) {
    return false;
  }
  *stamp = name.substr(prefix.size(), stampLength);
  for (std::size_t i = 0; i < stampLength; ++i) {
    const bool digit = (*stamp)[i] >= '0' && (*stamp)[i] <= '9';
    if (i == 8 ? (*stamp)[i] != '-' : !digit) return false;
  }
  const std::string rest = name.substr(prefix.size() + stampLength,
                                       name.size() - prefix.size() - stampLength - suffix.size());
  *number = 1;
  if (rest.empty()) return true;
  if (rest.size() < 2 || rest.size() > 4 || rest[0] != '-' || rest[1] == '0') return false;
  const DecimalNumber value = ParseDecimal(rest.c_str() + 1, DecimalForm::kDigitsOnly);
  if (!value.found || value.length != rest.size() - 1 || value.value < 2) return false;
  *number = static_cast<unsigned>(value.value);
  return true;
}

struct Kept {
  std::string name;
  std::string stamp;
  unsigned number;
  bool operator<(const Kept& other) const {  // older
    return stamp != other.stamp ? stamp < other.stamp : number < other.number;
  }
};

// The accounts a kept file or its folder may belong to: the administrators,
// the system, and the administrator running the program (Windows makes an
// administrator's folders his own where the system is set up so, and under
// Wine).
std::vector<std::string> TrustedOwners(Platform& platform) {
  std::vector<std::string> owners = {"S-1-5-32-544", "S-1-5-18"};
  std::string user;
  if (platform.system.GetProcessUserSid(&user) == error::kSuccess) owners.push_back(user);
  return owners;
}

// On a volume without security (FAT) nothing has an owner, and any user
// may write anywhere: there is nothing to tell apart.
bool Trusted(const std::vector<std::string>& owners, const std::string& owner) {
  if (owner.empty()) return true;
  for (const std::string& trusted : owners) {
    if (trusted == owner) return true;
  }
  return false;
}

// The files of `folder` this program wrote, newest first: of the name
// form, and owned by a trusted account (a file another user left there
// while the folder was open to him is not taken for one).
ErrorCode KeptFiles(Platform& platform, const std::string& folder, std::vector<Kept>* kept) {
  std::vector<std::string> names;
  const std::string pattern = folder + "\\" + kPrefix + "*" + kSuffix;
  if (const ErrorCode code = platform.files.FindFiles(pattern.c_str(), &names);
      code != error::kSuccess) {
    return code;
  }
  const std::vector<std::string> owners = TrustedOwners(platform);
  for (const std::string& name : names) {
    Kept file{name, std::string(), 0};
    if (!BackupOrder(name, &file.stamp, &file.number)) continue;
    std::string owner;
    if (platform.files.GetOwner((folder + "\\" + name).c_str(), &owner) != error::kSuccess ||
        !Trusted(owners, owner)) {
      continue;
    }
    kept->push_back(file);
  }
  std::sort(kept->begin(), kept->end(), [](const Kept& a, const Kept& b) { return b < a; });
  return error::kSuccess;
}

std::string Header(Platform& platform, const LocalTime& now, const std::string& path) {
  std::string computer;
  if (platform.system.GetComputerName(&computer) != error::kSuccess) computer = "(unknown)";
  const char* end = "\r\n";
  return std::string("; Velnara: the names of the ports before a Save") + end +
         "; Computer: " + computer + end + "; Saved: " + Readable(now) + end +
         "; Program: Velnara " VELNARA_SHOWN_VERSION + end + "; To put these names back: \"" +
         platform.system.ModuleFileName() + "\" /apply \"" + path + "\"" + end + end;
}

}  // namespace

ErrorCode KeptNamesFolder(Platform& platform, std::string* folder) {
  std::string base;
  if (platform.files.GetFolderPath(file::kCsidlCommonAppData, &base) != error::kSuccess) {
    if (const ErrorCode code = platform.files.GetWindowsDirectory(&base); code != error::kSuccess) {
      return code;
    }
  }
  while (!base.empty() && base.back() == '\\') base.pop_back();
  *folder = base + "\\Velnara";
  return error::kSuccess;
}

namespace {

bool Fail(BackupProblem* problem, ErrorCode code, const std::string& path,
          const std::string& reason = std::string()) {
  *problem = BackupProblem{code, reason, path};
  return false;
}

// A folder that is there already: the program's only when it is a folder
// itself (not a file, not a link to elsewhere) and a trusted account owns
// it. False with *problem otherwise; *owner is its owner (empty on a volume
// without security).
bool CheckFolder(Platform& platform, const std::string& folder, BackupProblem* problem,
                 std::string* owner) {
  std::uint32_t attributes = 0;
  if (const ErrorCode code = platform.files.GetFileAttributes(folder.c_str(), &attributes);
      code != error::kSuccess) {
    return Fail(problem, code, folder);
  }
  if ((attributes & file::kAttributeDirectory) == 0) {
    return Fail(problem, error::kAccessDenied, folder,
                folder + " is a file, not a folder: the names are not kept there." + kMendFolder);
  }
  if ((attributes & file::kAttributeReparsePoint) != 0) {
    return Fail(problem, error::kAccessDenied, folder,
                folder + " leads elsewhere (a junction or a link): the names are not kept there." +
                    kMendFolder);
  }
  if (const ErrorCode code = platform.files.GetOwner(folder.c_str(), owner);
      code != error::kSuccess) {
    return Fail(problem, code, folder);
  }
  if (!Trusted(TrustedOwners(platform), *owner)) {
    return Fail(problem, error::kAccessDenied, folder,
                folder + " belongs to " + *owner +
                    ", not to the administrators: the names are not kept there." + kMendFolder);
  }
  return true;
}

}  // namespace

bool PrepareKeptNamesFolder(Platform& platform, std::string* folder, BackupProblem* problem) {
  if (const ErrorCode code = KeptNamesFolder(platform, folder); code != error::kSuccess) {
    return Fail(problem, code, std::string());
  }
  const ErrorCode made = platform.files.CreateDirectory(folder->c_str(), kBackupFolderSddl);
  if (made == error::kSuccess) return true;
  if (made != error::kAlreadyExists) return Fail(problem, made, *folder);
  std::string owner;
  if (!CheckFolder(platform, *folder, problem, &owner)) return false;
  if (owner.empty()) return true;  // no access list to set on this volume
  if (const ErrorCode code = platform.files.SetSecurity(folder->c_str(), kBackupFolderSddl);
      code != error::kSuccess) {
    return Fail(problem, code, *folder);
  }
  return true;
}

bool WriteBackup(Platform& platform, const std::string& folder, const PortRecord* boards,
                 std::string* path, BackupProblem* problem) {
  const LocalTime now = platform.system.GetLocalTime();
  const std::string body = FormatPortMap(boards);
  ErrorCode code = error::kAlreadyExists;
  Kept written{std::string(), Stamp(now), 0};
  for (unsigned number = 1; code == error::kAlreadyExists && number <= kMostInOneSecond; ++number) {
    written.number = number;
    *path = folder + "\\" + kPrefix + Stamp(now) +
            (number > 1 ? "-" + std::to_string(number) : std::string()) + kSuffix;
    // A name an earlier Save of this second took costs no write.
    std::uint32_t attributes = 0;
    if (platform.files.GetFileAttributes(path->c_str(), &attributes) == error::kSuccess) continue;
    code = WriteNewFileWhole(platform.files, *path, Header(platform, now, *path) + body);
  }
  if (code != error::kSuccess) return Fail(problem, code, *path);

  // Of the files older than this one, only the newest are kept; a file
  // dated later (a clock put back, or a planted one) counts for nothing
  // and is left alone. A file that will not go stays: the Save has what it
  // needs.
  std::vector<Kept> kept;
  if (KeptFiles(platform, folder, &kept) == error::kSuccess) {
    std::size_t older = 0;
    for (const Kept& file : kept) {
      if (!(file < written)) continue;
      if (++older >= kBackupsKept) platform.files.DeleteFile((folder + "\\" + file.name).c_str());
    }
  }
  return true;
}

bool ListBackups(Platform& platform, std::vector<std::string>* paths, BackupProblem* problem) {
  std::string folder;
  if (const ErrorCode code = KeptNamesFolder(platform, &folder); code != error::kSuccess) {
    return Fail(problem, code, std::string());
  }
  std::uint32_t attributes = 0;
  const ErrorCode there = platform.files.GetFileAttributes(folder.c_str(), &attributes);
  if (there == error::kFileNotFound || there == error::kPathNotFound) return true;  // no Save yet
  std::string owner;
  if (!CheckFolder(platform, folder, problem, &owner)) return false;
  std::vector<Kept> kept;
  if (const ErrorCode code = KeptFiles(platform, folder, &kept); code != error::kSuccess) {
    return Fail(problem, code, folder);
  }
  for (const Kept& file : kept) paths->push_back(folder + "\\" + file.name);
  return true;
}

}  // namespace velnara
