// Files, folders and the standard streams as the program sees them: the
// ANSI kernel32 calls (and shell32's folder lookup), each returning its
// Windows error code. The unattended run reads port maps and writes its
// output and log through them; every Save keeps the names it replaces in a
// file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_constants.h"

namespace velnara::platform {

using FileHandle = void*;  // HANDLE

namespace file {
// CreateFileA's access and creation disposition.
constexpr std::uint32_t kGenericRead = 0x80000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
// FILE_APPEND_DATA | SYNCHRONIZE, without FILE_WRITE_DATA: every write of
// the handle lands at the file's end as it is then, whoever else appends.
constexpr std::uint32_t kAppend = 0x00100004;
constexpr std::uint32_t kCreateNew = 1;
constexpr std::uint32_t kCreateAlways = 2;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kOpenAlways = 4;
// CreateFileA's share mode: what other opens of the file may do meanwhile.
constexpr std::uint32_t kShareRead = 0x1;   // FILE_SHARE_READ
constexpr std::uint32_t kShareWrite = 0x2;  // FILE_SHARE_WRITE
// GetStdHandle.
constexpr std::uint32_t kStdOutput = 0xFFFFFFF5u;  // STD_OUTPUT_HANDLE, (DWORD)-11
constexpr std::uint32_t kStdError = 0xFFFFFFF4u;   // STD_ERROR_HANDLE, (DWORD)-12
// GetFileType.
constexpr std::uint32_t kTypeUnknown = 0;
constexpr std::uint32_t kTypeDisk = 1;
constexpr std::uint32_t kTypeChar = 2;
constexpr std::uint32_t kTypePipe = 3;
// SHGetFolderPathA: the folder every account's programs share.
constexpr int kCsidlCommonAppData = 0x23;
// GetFileAttributesA.
constexpr std::uint32_t kAttributeDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
constexpr std::uint32_t kAttributeReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
// MoveFileExA.
constexpr std::uint32_t kMoveReplaceExisting = 0x1;  // MOVEFILE_REPLACE_EXISTING
constexpr std::uint32_t kMoveWriteThrough = 0x8;     // MOVEFILE_WRITE_THROUGH
}  // namespace file

class Files {
 public:
  virtual ~Files() = default;

  // CreateFileA of a normal file, shared as `share` says. On failure *file
  // is null. CREATE_NEW on an existing file answers ERROR_FILE_EXISTS (80);
  // OPEN_EXISTING on a missing one ERROR_FILE_NOT_FOUND (2); a missing
  // folder on the way ERROR_PATH_NOT_FOUND (3); a file another open does
  // not share that way ERROR_SHARING_VIOLATION (32).
  virtual ErrorCode CreateFile(const char* path, std::uint32_t access, std::uint32_t disposition,
                               std::uint32_t share, FileHandle* file) = 0;
  // GetFileSize of an open file.
  virtual ErrorCode GetFileSize(FileHandle file, std::uint64_t* size) = 0;
  // ReadFile from the file's position; *read is 0 at its end.
  virtual ErrorCode ReadFile(FileHandle file, std::uint8_t* buffer, std::uint32_t bytes,
                             std::uint32_t* read) = 0;
  // WriteFile at the file's position, or at its end for a kAppend handle.
  virtual ErrorCode WriteFile(FileHandle file, const std::uint8_t* data, std::uint32_t bytes,
                              std::uint32_t* written) = 0;
  // FlushFileBuffers: returns once the file's data and its size are on the
  // disk. The handle must be open for writing.
  virtual ErrorCode FlushFileBuffers(FileHandle file) = 0;
  // CloseHandle of a file CreateFile opened.
  virtual ErrorCode CloseFile(FileHandle file) = 0;
  // MoveFileExA of a file within its volume. Without kMoveReplaceExisting an
  // existing `to` answers ERROR_ALREADY_EXISTS (183); with it, `to` is
  // replaced in one step, so that a reader finds the old file or the new,
  // never a part. With kMoveWriteThrough it returns once the move is on the
  // disk. A missing `from` answers ERROR_FILE_NOT_FOUND.
  virtual ErrorCode MoveFile(const char* from, const char* to, std::uint32_t flags) = 0;
  // DeleteFileA.
  virtual ErrorCode DeleteFile(const char* path) = 0;
  // CreateDirectoryA; ERROR_ALREADY_EXISTS (183) when it is there. With
  // `sddl` ("D:P(A;OICI;FA;;;SY)...") the folder is made with that security
  // descriptor, so it never exists with another list; null: the default.
  virtual ErrorCode CreateDirectory(const char* path, const char* sddl) = 0;
  // GetFileAttributesA of a file or folder (file::kAttribute*).
  virtual ErrorCode GetFileAttributes(const char* path, std::uint32_t* attributes) = 0;
  // The owner of a file or folder as a SID string ("S-1-5-32-544"):
  // GetNamedSecurityInfoA (SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION).
  // Empty on a volume without security (FAT), where nothing has an owner.
  virtual ErrorCode GetOwner(const char* path, std::string* sid) = 0;
  // Sets the access list that `sddl` gives on a file or folder, protected
  // from what the folder above passes on (SetNamedSecurityInfoA with
  // PROTECTED_DACL_SECURITY_INFORMATION).
  virtual ErrorCode SetSecurity(const char* path, const char* sddl) = 0;
  // FindFirstFileA, FindNextFileA and FindClose: the names, without their
  // folder, of the files that `pattern` ("C:\X\names-*.txt") matches;
  // folders and reparse points (links to elsewhere) are left out. No match
  // is success with no names; a missing folder answers ERROR_PATH_NOT_FOUND.
  virtual ErrorCode FindFiles(const char* pattern, std::vector<std::string>* names) = 0;
  // SHGetFolderPathA (no window, no token, the current path) of shell32,
  // looked up when the program runs: ERROR_PROC_NOT_FOUND where the system
  // lacks it.
  virtual ErrorCode GetFolderPath(int csidl, std::string* path) = 0;
  // GetWindowsDirectoryA.
  virtual ErrorCode GetWindowsDirectory(std::string* path) = 0;

  // GetStdHandle: null when the process was given none. Never closed.
  virtual FileHandle GetStdHandle(std::uint32_t which) = 0;
  // GetFileType; kTypeUnknown for a handle that is none.
  virtual std::uint32_t GetFileType(FileHandle file) = 0;
};

// An open file that closes itself.
class File {
 public:
  explicit File(Files& files) : files_(files) {}
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }

  ErrorCode Open(const std::string& path, std::uint32_t access, std::uint32_t disposition,
                 std::uint32_t share = file::kShareRead);
  ErrorCode Close();
  bool IsOpen() const { return handle_ != nullptr; }

  // Writes all of `text`; a short write is ERROR_HANDLE_DISK_FULL.
  ErrorCode Write(const std::string& text) const;
  // FlushFileBuffers: what was written is on the disk.
  ErrorCode Flush() const { return files_.FlushFileBuffers(handle_); }
  // Reads the whole file, refusing one larger than `limit` bytes with
  // ERROR_FILE_TOO_LARGE.
  ErrorCode ReadAll(std::size_t limit, std::string* text) const;

 private:
  Files& files_;
  FileHandle handle_ = nullptr;
};

// `text` as the whole of a new file at `path` (kCreateNew or
// kCreateAlways). A file that could not be written whole is deleted again,
// so that no half file stays behind.
ErrorCode WriteNewFile(Files& files, const std::string& path, std::uint32_t disposition,
                       const std::string& text);

// Appends `text` to the file at `path`, making it when it is missing.
ErrorCode AppendToFile(Files& files, const std::string& path, const std::string& text);

// Whether a standard handle leads somewhere text can be written: a file, a
// pipe or a console.
bool StandardHandleWritable(Files& files, std::uint32_t which);
// Writes `text` to a standard handle; nothing when it leads nowhere.
void WriteStandard(Files& files, std::uint32_t which, const std::string& text);

}  // namespace velnara::platform
