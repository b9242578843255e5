#include "commit/backup.h"

#include <algorithm>

#include "discovery/port_map.h"

namespace velnara {

using namespace platform;

namespace {

constexpr const char* kPrefix = "names-";
constexpr const char* kSuffix = ".txt";
// Saves of one second beyond this many are refused rather than numbered on.
constexpr unsigned kMostInOneSecond = 999;

// `value` in `width` decimal digits, zeros in front.
std::string Digits(unsigned value, std::size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

// "20261209-051200".
std::string Stamp(const LocalTime& time) {
  return Digits(time.year, 4) + Digits(time.month, 2) + Digits(time.day, 2) + "-" +
         Digits(time.hour, 2) + Digits(time.minute, 2) + Digits(time.second, 2);
}

std::string Readable(const LocalTime& time) {
  return Digits(time.year, 4) + "-" + Digits(time.month, 2) + "-" + Digits(time.day, 2) + " " +
         Digits(time.hour, 2) + ":" + Digits(time.minute, 2) + ":" + Digits(time.second, 2);
}

// The order of a file this program wrote: its stamp and its number within
// the second (1 for none); false for any other file name.
bool BackupOrder(const std::string& name, std::string* stamp, unsigned* number) {
  const std::string prefix = kPrefix;
  const std::string suffix = kSuffix;
  const std::size_t stampLength = 15;  // YYYYMMDD-HHMMSS
  if (name.size() < prefix.size() + stampLength + suffix.size()) return false;
  const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (fold(name[i]) != prefix[i]) return false;
  }
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (fold(name[name.size() - suffix.size() + i]) != suffix[i]) return false;
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
  if (rest.size() < 2 || rest.size() > 4 || rest[0] != '-') return false;
  unsigned value = 0;
  for (std::size_t i = 1; i < rest.size(); ++i) {
    if (rest[i] < '0' || rest[i] > '9') return false;
    value = value * 10 + static_cast<unsigned>(rest[i] - '0');
  }
  if (value < 2 || rest[1] == '0') return false;
  *number = value;
  return true;
}

struct Kept {
  std::string name;
  std::string stamp;
  unsigned number;
};

// The files of `folder` this program wrote, newest first.
ErrorCode KeptFiles(Files& files, const std::string& folder, std::vector<Kept>* kept) {
  std::vector<std::string> names;
  const std::string pattern = folder + "\\" + kPrefix + "*" + kSuffix;
  if (const ErrorCode code = files.FindFiles(pattern.c_str(), &names); code != error::kSuccess) {
    return code;
  }
  for (const std::string& name : names) {
    Kept file{name, std::string(), 0};
    if (BackupOrder(name, &file.stamp, &file.number)) kept->push_back(file);
  }
  std::sort(kept->begin(), kept->end(), [](const Kept& a, const Kept& b) {
    return a.stamp != b.stamp ? a.stamp > b.stamp : a.number > b.number;
  });
  return error::kSuccess;
}

std::string Header(Platform& platform, const LocalTime& now, const std::string& path) {
  std::string computer;
  if (platform.system.GetComputerName(&computer) != error::kSuccess) computer = "(unknown)";
  const char* end = "\r\n";
  return std::string("; Velnara: the names of the ports before a Save") + end +
         "; Computer: " + computer + end + "; Saved: " + Readable(now) + end +
         "; Program: Velnara " VELNARA_VERSION + end + "; To put these names back: \"" +
         platform.system.ModuleFileName() + "\" /apply \"" + path + "\"" + end + end;
}

// Where the files go, whether the folder is there or not.
ErrorCode FolderPath(Platform& platform, std::string* folder) {
  std::string base;
  if (platform.files.GetFolderPath(file::kCsidlCommonAppData, &base) != error::kSuccess) {
    if (const ErrorCode code = platform.files.GetWindowsDirectory(&base);
        code != error::kSuccess) {
      return code;
    }
  }
  while (!base.empty() && base.back() == '\\') base.pop_back();
  *folder = base + "\\Velnara";
  return error::kSuccess;
}

}  // namespace

ErrorCode BackupFolder(Platform& platform, std::string* folder) {
  if (const ErrorCode code = FolderPath(platform, folder); code != error::kSuccess) return code;
  const ErrorCode made = platform.files.CreateDirectory(folder->c_str());
  return made == error::kAlreadyExists ? error::kSuccess : made;
}

ErrorCode WriteBackup(Platform& platform, const PortRecord* boards, std::string* path) {
  std::string folder;
  if (const ErrorCode code = BackupFolder(platform, &folder); code != error::kSuccess) {
    return code;
  }
  const LocalTime now = platform.system.GetLocalTime();
  const std::string body = FormatPortMap(boards);
  ErrorCode code = error::kFileExists;
  for (unsigned number = 1; code == error::kFileExists && number <= kMostInOneSecond; ++number) {
    *path = folder + "\\" + kPrefix + Stamp(now) +
            (number > 1 ? "-" + std::to_string(number) : std::string()) + kSuffix;
    code = WriteNewFile(platform.files, *path, file::kCreateNew,
                        Header(platform, now, *path) + body);
  }
  if (code != error::kSuccess) return code;

  // Only the newest are kept; a file that will not go stays (the Save has
  // what it needs).
  std::vector<Kept> kept;
  if (KeptFiles(platform.files, folder, &kept) == error::kSuccess) {
    for (std::size_t i = kBackupsKept; i < kept.size(); ++i) {
      platform.files.DeleteFile((folder + "\\" + kept[i].name).c_str());
    }
  }
  return error::kSuccess;
}

ErrorCode ListBackups(Platform& platform, std::vector<std::string>* paths) {
  std::string folder;
  if (const ErrorCode code = FolderPath(platform, &folder); code != error::kSuccess) return code;
  std::vector<Kept> kept;
  const ErrorCode code = KeptFiles(platform.files, folder, &kept);
  if (code == error::kPathNotFound) return error::kSuccess;  // no Save yet
  if (code != error::kSuccess) return code;
  for (const Kept& file : kept) paths->push_back(folder + "\\" + file.name);
  return error::kSuccess;
}

}  // namespace velnara
