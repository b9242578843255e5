// Files, folders and the standard handles over kernel32, and the common
// application data folder over shell32's SHGetFolderPathA, which is looked
// up when the program runs (Windows 2000 and later have it). The BOOL calls
// report the last error read right after a failure.
#pragma once

#include "platform/files.h"

namespace velnara::platform::win32 {

class Win32Files final : public Files {
 public:
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
};

}  // namespace velnara::platform::win32
