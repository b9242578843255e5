// The stand-in's files: an in-memory drive C: of folders and files, with
// Windows's answers (paths without regard to case, a missing folder on the
// way, a file that is there already), open handles counted, the common
// application data folder and the Windows folder, and standard output and
// error that a test gives a kind (file, pipe, console or none) and reads
// back. Every call is entered in the call log, which may fail it.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sim/call_log.h"

namespace velnara::platform::sim {

class SimFiles : public Files {
 public:
  SimFiles();

  ErrorCode CreateFile(const char* path, std::uint32_t access, std::uint32_t disposition,
                       std::uint32_t share, FileHandle* file) override;
  ErrorCode GetFileSize(FileHandle file, std::uint64_t* size) override;
  ErrorCode ReadFile(FileHandle file, std::uint8_t* buffer, std::uint32_t bytes,
                     std::uint32_t* read) override;
  ErrorCode WriteFile(FileHandle file, const std::uint8_t* data, std::uint32_t bytes,
                      std::uint32_t* written) override;
  ErrorCode FlushFileBuffers(FileHandle file) override;
  ErrorCode CloseFile(FileHandle file) override;
  ErrorCode MoveFile(const char* from, const char* to, std::uint32_t flags) override;
  ErrorCode DeleteFile(const char* path) override;
  ErrorCode CreateDirectory(const char* path, const char* sddl) override;
  ErrorCode GetFileAttributes(const char* path, std::uint32_t* attributes) override;
  ErrorCode GetOwner(const char* path, std::string* sid) override;
  ErrorCode SetSecurity(const char* path, const char* sddl) override;
  ErrorCode FindFiles(const char* pattern, std::vector<std::string>* names) override;
  ErrorCode GetFolderPath(int csidl, std::string* path) override;
  ErrorCode GetWindowsDirectory(std::string* path) override;
  FileHandle GetStdHandle(std::uint32_t which) override;
  std::uint32_t GetFileType(FileHandle file) override;

  // Enters every call into `log` (null: none), which may fail it.
  void SetCallLog(CallLog* log) { log_ = log; }

  // --- The machine's drive, for tests -----------------------------------
  // Relative paths start here.
  static constexpr const char* kCurrentFolder = "C:\\Setup";
  static constexpr const char* kCommonAppData =
      "C:\\Documents and Settings\\All Users\\Application Data";
  static constexpr const char* kWindowsFolder = "C:\\WINDOWS";

  // Makes a folder and the folders on its way.
  void AddFolder(const std::string& path);
  // Puts a file (and its folders) there with `contents`.
  void PutFile(const std::string& path, const std::string& contents);
  // Who owns a file or folder: Administrators (S-1-5-32-544) for what an
  // administrator or the program made, unless a test says otherwise (a
  // folder a user made beforehand is that user's).
  void SetOwner(const std::string& path, const std::string& sid);
  // A file or folder that is a reparse point (a junction, a link to
  // elsewhere).
  void SetReparsePoint(const std::string& path);
  // The access list a file or folder was made or set with, as SDDL; empty
  // for the default one.
  std::string SecurityOf(const std::string& path) const;
  bool FileExists(const std::string& path) const;
  // The file's contents; empty when there is none.
  std::string FileText(const std::string& path) const;
  // The names of the files of a folder, as made, sorted without regard to case.
  std::vector<std::string> FilesIn(const std::string& folder) const;
  // A system without SHGetFolderPathA (ERROR_PROC_NOT_FOUND).
  void RemoveFolderPathFunction() { folderPathMissing_ = true; }
  int OpenFileCount() const { return static_cast<int>(handles_.size()); }
  // The drive of another machine's files, as they are: a program started
  // again after the last one was ended finds them so. Open handles are the
  // ended program's and go with it; the standard handles are the new one's.
  void CopyDriveFrom(const SimFiles& other);

  // Standard output and error: where they lead (file::kType*; kTypeUnknown
  // for none) and what was written there. Both lead nowhere at first, as
  // for a program started from a shortcut.
  void SetStandardKind(std::uint32_t which, std::uint32_t type);
  std::string StandardText(std::uint32_t which) const;

 private:
  struct Entry {
    std::string name;  // as made, with its folder
    std::string contents;
  };
  struct Open {
    std::string key;  // of the file, or "<stdout>" / "<stderr>"
    std::uint32_t access = 0;
    std::uint32_t share = 0;
    std::size_t position = 0;
  };

  ErrorCode Enter(const char* function, const std::string& target, std::uint32_t value = 0);
  // The full, upper-cased form of a path, as the map's key.
  static std::string Key(const std::string& path);
  static std::string FullPath(const std::string& path);
  static std::string FolderOf(const std::string& key);
  Open* FindOpen(FileHandle file);

  struct Security {
    std::string owner = "S-1-5-32-544";
    bool reparsePoint = false;
    std::string sddl;
  };

  CallLog* log_ = nullptr;
  std::map<std::string, Security> security_;  // keys of files and folders that have any
  std::set<std::string> folders_;             // keys
  std::map<std::string, Entry> files_;        // key -> file
  std::map<FileHandle, Open> handles_;
  std::uintptr_t nextHandle_ = 0x1000;
  bool folderPathMissing_ = false;
  std::map<std::uint32_t, std::uint32_t> standardKinds_;
  std::map<std::uint32_t, std::string> standardText_;
};

}  // namespace velnara::platform::sim
