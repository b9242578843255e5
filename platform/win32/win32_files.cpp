#include "platform/win32/win32_files.h"

#include "platform/win32/win32_dynamic.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/windows_api.h"

// After windows.h: the declaration whose type the looked-up function must have.
#include <shlobj.h>

namespace velnara::platform::win32 {

ErrorCode Win32Files::CreateFile(const char* path, std::uint32_t access, std::uint32_t disposition,
                                 std::uint32_t share, FileHandle* file) {
  *file = nullptr;
  const HANDLE opened =
      ::CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return LastErrorCode();
  *file = opened;
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::GetFileSize(FileHandle file, std::uint64_t* size) {
  DWORD high = 0;
  const DWORD low = ::GetFileSize(file, &high);
  // INVALID_FILE_SIZE is also the low half of a real size; the last error
  // tells the two apart.
  if (low == INVALID_FILE_SIZE) {
    const DWORD code = GetLastError();
    if (code != ERROR_SUCCESS) return code;
  }
  *size = static_cast<std::uint64_t>(high) << 32 | low;
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::ReadFile(FileHandle file, std::uint8_t* buffer, std::uint32_t bytes,
                               std::uint32_t* read) {
  DWORD done = 0;
  if (!::ReadFile(file, buffer, bytes, &done, nullptr)) return LastErrorCode();
  *read = done;
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::WriteFile(FileHandle file, const std::uint8_t* data, std::uint32_t bytes,
                                std::uint32_t* written) {
  DWORD done = 0;
  if (!::WriteFile(file, data, bytes, &done, nullptr)) return LastErrorCode();
  *written = done;
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::FlushFileBuffers(FileHandle file) {
  if (!::FlushFileBuffers(file)) return LastErrorCode();
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::MoveFile(const char* from, const char* to, std::uint32_t flags) {
  if (!::MoveFileExA(from, to, flags)) return LastErrorCode();
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::CloseFile(FileHandle file) {
  if (!CloseHandle(file)) return LastErrorCode();
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::DeleteFile(const char* path) {
  if (!::DeleteFileA(path)) return LastErrorCode();
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::CreateDirectory(const char* path, const char* sddl) {
  SddlAttributes attributes;
  if (const ErrorCode code = attributes.Make(sddl); code != ERROR_SUCCESS) return code;
  if (!::CreateDirectoryA(path, attributes.get())) return LastErrorCode();
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::GetFileAttributes(const char* path, std::uint32_t* attributes) {
  const DWORD found = ::GetFileAttributesA(path);
  if (found == INVALID_FILE_ATTRIBUTES) return LastErrorCode();
  *attributes = found;
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::GetOwner(const char* path, std::string* sid) {
  static const auto getNamed =
      LookUpFunction<decltype(&GetNamedSecurityInfoA)>("advapi32.dll", "GetNamedSecurityInfoA");
  if (getNamed == nullptr) return ERROR_PROC_NOT_FOUND;
  PSID owner = nullptr;
  LocalMemory descriptor;
  const DWORD code = getNamed(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                              nullptr, nullptr, descriptor.receive());
  if (code != ERROR_SUCCESS) return code;
  // A volume without security (FAT) has no owners.
  *sid = owner != nullptr ? SidText(owner) : std::string();
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::SetSecurity(const char* path, const char* sddl) {
  static const auto getDacl = LookUpFunction<decltype(&GetSecurityDescriptorDacl)>(
      "advapi32.dll", "GetSecurityDescriptorDacl");
  static const auto setNamed =
      LookUpFunction<decltype(&SetNamedSecurityInfoA)>("advapi32.dll", "SetNamedSecurityInfoA");
  if (getDacl == nullptr || setNamed == nullptr) return ERROR_PROC_NOT_FOUND;
  SddlAttributes attributes;
  if (const ErrorCode code = attributes.Make(sddl); code != ERROR_SUCCESS) return code;
  if (attributes.get() == nullptr) return ERROR_INVALID_SECURITY_DESCR;  // no text, no list
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!getDacl(attributes.get()->lpSecurityDescriptor, &present, &dacl, &defaulted)) {
    return LastErrorCode();
  }
  if (!present) return ERROR_INVALID_SECURITY_DESCR;  // no list: never full access for all
  std::string name = path;                            // the call takes a mutable name
  return setNamed(name.data(), SE_FILE_OBJECT,
                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                  dacl, nullptr);
}

ErrorCode Win32Files::FindFiles(const char* pattern, std::vector<std::string>* names) {
  names->clear();
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) {
    const ErrorCode code = LastErrorCode();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : code;
  }
  ErrorCode code = ERROR_SUCCESS;
  do {
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
      names->push_back(found.cFileName);
    }
  } while (FindNextFileA(search, &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) code = LastErrorCode();
  FindClose(search);
  return code;
}

ErrorCode Win32Files::GetFolderPath(int csidl, std::string* path) {
  static const auto getFolderPath =
      LookUpFunction<decltype(&SHGetFolderPathA)>("shell32.dll", "SHGetFolderPathA");
  if (getFolderPath == nullptr) return ERROR_PROC_NOT_FOUND;
  char buffer[MAX_PATH] = {};
  const HRESULT result = getFolderPath(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  if (FAILED(result)) {
    // A Windows error wrapped in an HRESULT is given back as that error.
    return HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result)
                                                      : static_cast<ErrorCode>(result);
  }
  buffer[MAX_PATH - 1] = '\0';
  *path = buffer;
  return ERROR_SUCCESS;
}

ErrorCode Win32Files::GetWindowsDirectory(std::string* path) {
  char buffer[MAX_PATH + 1] = {};
  const UINT length = ::GetWindowsDirectoryA(buffer, sizeof buffer);
  if (length == 0) return LastErrorCode();
  if (length >= sizeof buffer) return ERROR_INSUFFICIENT_BUFFER;
  path->assign(buffer, length);
  return ERROR_SUCCESS;
}

FileHandle Win32Files::GetStdHandle(std::uint32_t which) {
  const HANDLE handle = ::GetStdHandle(which);
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

std::uint32_t Win32Files::GetFileType(FileHandle file) {
  if (file == nullptr) return FILE_TYPE_UNKNOWN;
  return ::GetFileType(file);
}

}  // namespace velnara::platform::win32
