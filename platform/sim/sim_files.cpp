#include "platform/sim/sim_files.h"

#include <algorithm>

namespace velnara::platform::sim {

namespace {

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// `pattern`'s * and ? against `name`, both upper-cased.
bool Matches(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*')
    return Matches(pattern + 1, name) || (*name != '\0' && Matches(pattern, name + 1));
  if (*name == '\0') return false;
  return (*pattern == '?' || *pattern == *name) && Matches(pattern + 1, name + 1);
}

// The standard handles are small numbers no open file gets.
FileHandle StandardHandle(std::uint32_t which) {
  return reinterpret_cast<FileHandle>(
      static_cast<std::uintptr_t>(which == file::kStdOutput ? 0x11 : 0x12));
}

}  // namespace

SimFiles::SimFiles() {
  AddFolder(kCurrentFolder);
  AddFolder(kCommonAppData);
  AddFolder(kWindowsFolder);
}

ErrorCode SimFiles::Enter(const char* function, const std::string& target, std::uint32_t value) {
  return log_ != nullptr ? log_->Enter(function, target, value) : error::kSuccess;
}

std::string SimFiles::FullPath(const std::string& path) {
  std::string full = path;
  std::replace(full.begin(), full.end(), '/', '\\');
  const bool absolute = full.size() >= 2 && full[1] == ':';
  if (!absolute) full = std::string(kCurrentFolder) + "\\" + full;
  while (full.size() > 2 && full.back() == '\\') full.pop_back();
  return full;
}

std::string SimFiles::Key(const std::string& path) {
  return Upper(FullPath(path));
}

std::string SimFiles::FolderOf(const std::string& key) {
  const std::size_t slash = key.rfind('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

SimFiles::Open* SimFiles::FindOpen(FileHandle file) {
  const auto found = handles_.find(file);
  return found == handles_.end() ? nullptr : &found->second;
}

void SimFiles::AddFolder(const std::string& path) {
  std::string key = Key(path);
  while (key.size() > 2) {
    folders_.insert(key);
    key = FolderOf(key);
  }
  folders_.insert(key);  // the drive
}

void SimFiles::PutFile(const std::string& path, const std::string& contents) {
  const std::string key = Key(path);
  AddFolder(FolderOf(key));
  files_[key] = Entry{FullPath(path), contents};
  security_.erase(key);
}

void SimFiles::SetOwner(const std::string& path, const std::string& sid) {
  security_[Key(path)].owner = sid;
}

void SimFiles::SetReparsePoint(const std::string& path) {
  security_[Key(path)].reparsePoint = true;
}

std::string SimFiles::SecurityOf(const std::string& path) const {
  const auto found = security_.find(Key(path));
  return found == security_.end() ? std::string() : found->second.sddl;
}

bool SimFiles::FileExists(const std::string& path) const {
  return files_.count(Key(path)) != 0;
}

std::string SimFiles::FileText(const std::string& path) const {
  const auto found = files_.find(Key(path));
  return found == files_.end() ? std::string() : found->second.contents;
}

std::vector<std::string> SimFiles::FilesIn(const std::string& folder) const {
  std::vector<std::string> names;
  const std::string key = Key(folder);
  for (const auto& [fileKey, entry] : files_) {
    if (FolderOf(fileKey) == key) names.push_back(entry.name.substr(entry.name.rfind('\\') + 1));
  }
  return names;
}

void SimFiles::SetStandardKind(std::uint32_t which, std::uint32_t type) {
  standardKinds_[which] = type;
}

std::string SimFiles::StandardText(std::uint32_t which) const {
  const auto found = standardText_.find(which);
  return found == standardText_.end() ? std::string() : found->second;
}

namespace {

constexpr std::uint32_t kAppendData = 0x0004;  // FILE_APPEND_DATA, the write right of kAppend

// Whether an open with `access` may write (at its position or at the end).
bool Writes(std::uint32_t access) {
  return (access & (file::kGenericWrite | kAppendData)) != 0;
}

}  // namespace

ErrorCode SimFiles::CreateFile(const char* path, std::uint32_t access, std::uint32_t disposition,
                               std::uint32_t share, FileHandle* file) {
  if (file != nullptr) *file = nullptr;
  const std::string target = path != nullptr ? path : "<null>";
  if (const ErrorCode forced = Enter("CreateFileA", target, disposition)) return forced;
  if (path == nullptr || file == nullptr || *path == '\0') return error::kInvalidName;
  const std::string key = Key(path);
  if (folders_.count(key) != 0) return error::kAccessDenied;  // a folder, not a file
  if (folders_.count(FolderOf(key)) == 0) return error::kPathNotFound;
  auto found = files_.find(key);
  const bool exists = found != files_.end();
  switch (disposition) {
    case file::kCreateNew:
      if (exists) return error::kFileExists;
      break;
    case file::kOpenExisting:
      if (!exists) return error::kFileNotFound;
      break;
    case file::kCreateAlways:
    case file::kOpenAlways:
      break;
    default:
      return error::kInvalidParameter;
  }
  // Every open of the file must share what the others do with it.
  for (const auto& [handle, other] : handles_) {
    if (other.key != key) continue;
    const auto conflicts = [](std::uint32_t wants, std::uint32_t shares) {
      return ((wants & file::kGenericRead) != 0 && (shares & file::kShareRead) == 0) ||
             (Writes(wants) && (shares & file::kShareWrite) == 0);
    };
    if (conflicts(access, other.share) || conflicts(other.access, share)) {
      return error::kSharingViolation;
    }
  }
  if (!exists) {
    found = files_.emplace(key, Entry{FullPath(path), std::string()}).first;
    security_.erase(key);
  } else if (disposition == file::kCreateAlways) {
    found->second.contents.clear();
  }
  const auto handle = reinterpret_cast<FileHandle>(nextHandle_);
  nextHandle_ += 4;
  handles_[handle] = Open{key, access, share, 0};
  *file = handle;
  return error::kSuccess;
}

ErrorCode SimFiles::GetFileSize(FileHandle file, std::uint64_t* size) {
  if (const ErrorCode forced = Enter("GetFileSize", std::string())) return forced;
  const Open* open = FindOpen(file);
  if (open == nullptr || size == nullptr) return error::kInvalidHandle;
  *size = files_.at(open->key).contents.size();
  return error::kSuccess;
}

ErrorCode SimFiles::ReadFile(FileHandle file, std::uint8_t* buffer, std::uint32_t bytes,
                             std::uint32_t* read) {
  Open* open = FindOpen(file);
  if (const ErrorCode forced = Enter("ReadFile", open != nullptr ? open->key : "", bytes)) {
    return forced;
  }
  if (open == nullptr || read == nullptr) return error::kInvalidHandle;
  if ((open->access & file::kGenericRead) == 0) return error::kAccessDenied;
  const std::string& contents = files_.at(open->key).contents;
  const std::size_t left = contents.size() - std::min(open->position, contents.size());
  const std::size_t count = std::min<std::size_t>(bytes, left);
  std::copy_n(contents.begin() + static_cast<std::ptrdiff_t>(open->position), count, buffer);
  open->position += count;
  *read = static_cast<std::uint32_t>(count);
  return error::kSuccess;
}

ErrorCode SimFiles::WriteFile(FileHandle file, const std::uint8_t* data, std::uint32_t bytes,
                              std::uint32_t* written) {
  for (const std::uint32_t which : {file::kStdOutput, file::kStdError}) {
    if (file != StandardHandle(which) || GetStdHandle(which) == nullptr) continue;
    const char* name = which == file::kStdOutput ? "<stdout>" : "<stderr>";
    if (const ErrorCode forced = Enter("WriteFile", name, bytes)) return forced;
    standardText_[which].append(reinterpret_cast<const char*>(data), bytes);
    *written = bytes;
    return error::kSuccess;
  }
  Open* open = FindOpen(file);
  if (const ErrorCode forced = Enter("WriteFile", open != nullptr ? open->key : "", bytes)) {
    return forced;
  }
  if (open == nullptr || written == nullptr) return error::kInvalidHandle;
  if (!Writes(open->access)) return error::kAccessDenied;
  std::string& contents = files_.at(open->key).contents;
  if ((open->access & file::kGenericWrite) == 0) open->position = contents.size();  // appends
  if (contents.size() < open->position) contents.resize(open->position, '\0');
  contents.replace(open->position, std::min<std::size_t>(bytes, contents.size() - open->position),
                   reinterpret_cast<const char*>(data), bytes);
  open->position += bytes;
  *written = bytes;
  return error::kSuccess;
}

ErrorCode SimFiles::FlushFileBuffers(FileHandle file) {
  Open* open = FindOpen(file);
  if (const ErrorCode forced = Enter("FlushFileBuffers", open != nullptr ? open->key : "")) {
    return forced;
  }
  if (open == nullptr) return error::kInvalidHandle;
  // What was written is on the disk already: the stand-in has no cache.
  return Writes(open->access) ? error::kSuccess : error::kAccessDenied;
}

ErrorCode SimFiles::MoveFile(const char* from, const char* to, std::uint32_t flags) {
  const std::string target =
      std::string(from != nullptr ? from : "<null>") + " -> " + (to != nullptr ? to : "<null>");
  if (const ErrorCode forced = Enter("MoveFileExA", target, flags)) return forced;
  if (from == nullptr || to == nullptr) return error::kInvalidName;
  const std::string source = Key(from);
  const std::string destination = Key(to);
  const auto found = files_.find(source);
  if (found == files_.end()) {
    return folders_.count(FolderOf(source)) != 0 ? error::kFileNotFound : error::kPathNotFound;
  }
  if (folders_.count(FolderOf(destination)) == 0) return error::kPathNotFound;
  if (folders_.count(destination) != 0) return error::kAccessDenied;
  for (const auto& [handle, open] : handles_) {
    // Files the program opens are not shared for deleting: an open one
    // cannot be moved, nor replaced.
    if (open.key == source || open.key == destination) return error::kSharingViolation;
  }
  const auto existing = files_.find(destination);
  if (existing != files_.end()) {
    if ((flags & file::kMoveReplaceExisting) == 0) return error::kAlreadyExists;
  }
  Entry moved = found->second;
  moved.name = FullPath(to);
  const auto security = security_.find(source);
  const bool secured = security != security_.end();
  const Security kept = secured ? security->second : Security{};
  files_.erase(source);
  security_.erase(source);
  files_[destination] = moved;
  security_.erase(destination);
  if (secured) security_[destination] = kept;
  return error::kSuccess;
}

void SimFiles::CopyDriveFrom(const SimFiles& other) {
  security_ = other.security_;
  folders_ = other.folders_;
  files_ = other.files_;
  folderPathMissing_ = other.folderPathMissing_;
}

ErrorCode SimFiles::CloseFile(FileHandle file) {
  const auto found = handles_.find(file);
  if (const ErrorCode forced =
          Enter("CloseHandle", found != handles_.end() ? found->second.key : "")) {
    return forced;
  }
  if (found == handles_.end()) return error::kInvalidHandle;
  handles_.erase(found);
  return error::kSuccess;
}

ErrorCode SimFiles::DeleteFile(const char* path) {
  const std::string target = path != nullptr ? path : "<null>";
  if (const ErrorCode forced = Enter("DeleteFileA", target)) return forced;
  if (path == nullptr) return error::kInvalidName;
  const std::string key = Key(path);
  const auto found = files_.find(key);
  if (found == files_.end()) {
    return folders_.count(FolderOf(key)) != 0 ? error::kFileNotFound : error::kPathNotFound;
  }
  for (const auto& [handle, open] : handles_) {
    if (open.key == key) return error::kSharingViolation;
  }
  files_.erase(found);
  security_.erase(key);
  return error::kSuccess;
}

ErrorCode SimFiles::CreateDirectory(const char* path, const char* sddl) {
  const std::string target = path != nullptr ? path : "<null>";
  if (const ErrorCode forced = Enter("CreateDirectoryA", target)) return forced;
  if (path == nullptr) return error::kInvalidName;
  const std::string key = Key(path);
  if (folders_.count(key) != 0 || files_.count(key) != 0) return error::kAlreadyExists;
  if (folders_.count(FolderOf(key)) == 0) return error::kPathNotFound;
  folders_.insert(key);
  security_[key] = Security{};
  if (sddl != nullptr) security_[key].sddl = sddl;
  return error::kSuccess;
}

ErrorCode SimFiles::GetFileAttributes(const char* path, std::uint32_t* attributes) {
  const std::string target = path != nullptr ? path : "<null>";
  if (const ErrorCode forced = Enter("GetFileAttributesA", target)) return forced;
  if (path == nullptr || attributes == nullptr) return error::kInvalidName;
  const std::string key = Key(path);
  const bool folder = folders_.count(key) != 0;
  if (!folder && files_.count(key) == 0) {
    return folders_.count(FolderOf(key)) != 0 ? error::kFileNotFound : error::kPathNotFound;
  }
  const auto found = security_.find(key);
  const bool reparse = found != security_.end() && found->second.reparsePoint;
  *attributes = (folder ? file::kAttributeDirectory : 0x80 /* FILE_ATTRIBUTE_NORMAL */) |
                (reparse ? file::kAttributeReparsePoint : 0);
  return error::kSuccess;
}

ErrorCode SimFiles::GetOwner(const char* path, std::string* sid) {
  const std::string target = path != nullptr ? path : "<null>";
  if (const ErrorCode forced = Enter("GetNamedSecurityInfoA", target)) return forced;
  if (path == nullptr || sid == nullptr) return error::kInvalidParameter;
  const std::string key = Key(path);
  if (folders_.count(key) == 0 && files_.count(key) == 0) return error::kFileNotFound;
  const auto found = security_.find(key);
  *sid = found != security_.end() ? found->second.owner : Security().owner;
  return error::kSuccess;
}

ErrorCode SimFiles::SetSecurity(const char* path, const char* sddl) {
  const std::string target = path != nullptr ? path : "<null>";
  if (const ErrorCode forced = Enter("SetNamedSecurityInfoA", target)) return forced;
  if (path == nullptr || sddl == nullptr) return error::kInvalidParameter;
  const std::string key = Key(path);
  if (folders_.count(key) == 0 && files_.count(key) == 0) return error::kFileNotFound;
  security_[key].sddl = sddl;
  return error::kSuccess;
}

ErrorCode SimFiles::FindFiles(const char* pattern, std::vector<std::string>* names) {
  const std::string target = pattern != nullptr ? pattern : "<null>";
  if (names != nullptr) names->clear();
  if (const ErrorCode forced = Enter("FindFirstFileA", target)) return forced;
  if (pattern == nullptr || names == nullptr) return error::kInvalidName;
  const std::string key = Key(pattern);
  const std::string folder = FolderOf(key);
  if (folders_.count(folder) == 0) return error::kPathNotFound;
  const std::string wanted = key.substr(folder.size() + 1);
  for (const auto& [fileKey, entry] : files_) {
    if (FolderOf(fileKey) != folder) continue;
    const auto security = security_.find(fileKey);
    if (security != security_.end() && security->second.reparsePoint) continue;
    if (Matches(wanted.c_str(), fileKey.substr(folder.size() + 1).c_str())) {
      names->push_back(entry.name.substr(entry.name.rfind('\\') + 1));
    }
  }
  return error::kSuccess;
}

ErrorCode SimFiles::GetFolderPath(int csidl, std::string* path) {
  if (const ErrorCode forced = Enter("SHGetFolderPathA", std::to_string(csidl))) return forced;
  if (folderPathMissing_) return error::kProcNotFound;
  if (csidl != file::kCsidlCommonAppData || path == nullptr) return error::kInvalidParameter;
  *path = kCommonAppData;
  return error::kSuccess;
}

ErrorCode SimFiles::GetWindowsDirectory(std::string* path) {
  if (const ErrorCode forced = Enter("GetWindowsDirectoryA", std::string())) return forced;
  if (path == nullptr) return error::kInvalidParameter;
  *path = kWindowsFolder;
  return error::kSuccess;
}

FileHandle SimFiles::GetStdHandle(std::uint32_t which) {
  const auto kind = standardKinds_.find(which);
  if (kind == standardKinds_.end() || kind->second == file::kTypeUnknown) return nullptr;
  return StandardHandle(which);
}

std::uint32_t SimFiles::GetFileType(FileHandle file) {
  for (const std::uint32_t which : {file::kStdOutput, file::kStdError}) {
    if (file != nullptr && file == GetStdHandle(which)) return standardKinds_.at(which);
  }
  return handles_.count(file) != 0 ? file::kTypeDisk : file::kTypeUnknown;
}

}  // namespace velnara::platform::sim
