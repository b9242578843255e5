#include "platform/win32/win32_registry.h"

#include "platform/win32/win32_dynamic.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/windows_api.h"

// The Reg* functions return their error code and leave the thread's last
// error alone, so each method hands back the call's own result.

namespace velnara::platform::win32 {
namespace {

HKEY Key(RawKey key) {
  return ToHkey(key);
}

ErrorCode Code(LONG result) {
  return static_cast<ErrorCode>(result);
}

// The Reg* calls take DWORD counts (unsigned long); the contract keeps them
// as uint32_t. A count the caller did not give stays null.
class Count {
 public:
  explicit Count(std::uint32_t* count) : count_(count), value_(count ? *count : 0) {}
  ~Count() {
    if (count_ != nullptr) *count_ = static_cast<std::uint32_t>(value_);
  }
  Count(const Count&) = delete;
  Count& operator=(const Count&) = delete;
  DWORD* get() { return count_ != nullptr ? &value_ : nullptr; }

 private:
  std::uint32_t* count_;
  DWORD value_;
};

}  // namespace

ErrorCode Win32Registry::OpenKey(RawKey parent, const char* subKey, AccessMask access,
                                 RawKey* result) {
  HKEY opened = nullptr;
  const LONG code = RegOpenKeyExA(Key(parent), subKey, 0, access, &opened);
  *result = code == ERROR_SUCCESS ? FromHkey(opened) : kNoKey;
  return Code(code);
}

ErrorCode Win32Registry::CreateKey(RawKey parent, const char* subKey, AccessMask access,
                                   const char* sddl, RawKey* result) {
  *result = kNoKey;
  if (sddl == nullptr) {
    HKEY created = nullptr;
    const LONG code = RegCreateKeyExA(Key(parent), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      access, nullptr, &created, nullptr);
    if (code == ERROR_SUCCESS) *result = FromHkey(created);
    return Code(code);
  }

  // The SDDL and key-security calls are looked up when needed: they serve
  // seeding alone, and a Windows without them must still start the program.
  const auto convert =
      LookUpFunction<decltype(&ConvertStringSecurityDescriptorToSecurityDescriptorA)>(
          "advapi32.dll", "ConvertStringSecurityDescriptorToSecurityDescriptorA");
  const auto getDacl = LookUpFunction<decltype(&GetSecurityDescriptorDacl)>(
      "advapi32.dll", "GetSecurityDescriptorDacl");
  const auto setSecurity =
      LookUpFunction<decltype(&RegSetKeySecurity)>("advapi32.dll", "RegSetKeySecurity");
  if (convert == nullptr || getDacl == nullptr || setSecurity == nullptr) {
    return ERROR_PROC_NOT_FOUND;
  }
  LocalMemory descriptor;
  if (!convert(sddl, SDDL_REVISION_1, descriptor.receive(), nullptr)) return LastErrorCode();
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
  // WRITE_DAC as well, for the second write of the list below. An existing
  // key that the caller may open but not re-secure is opened without it.
  HKEY created = nullptr;
  DWORD disposition = 0;
  LONG code = RegCreateKeyExA(Key(parent), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              access | WRITE_DAC, &attributes, &created, &disposition);
  if (code == ERROR_ACCESS_DENIED) {
    code = RegCreateKeyExA(Key(parent), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                           &attributes, &created, &disposition);
  }
  if (code != ERROR_SUCCESS) return Code(code);

  // Wine ignores the security attributes of RegCreateKeyEx and gives the key
  // its default list, so a new key gets the list once more explicitly (on
  // Windows this writes what it already has). Only a list the text actually
  // gives is written: a descriptor without one would mean a NULL DACL, full
  // access for everyone.
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (disposition == REG_CREATED_NEW_KEY &&
      getDacl(descriptor.get(), &present, &dacl, &defaulted) && present) {
    const LONG set = setSecurity(created, DACL_SECURITY_INFORMATION, descriptor.get());
    if (set != ERROR_SUCCESS) {
      // A key that does not carry the list asked for is not left behind.
      RegCloseKey(created);
      RegDeleteKeyA(Key(parent), subKey);
      return Code(set);
    }
  }
  *result = FromHkey(created);
  return error::kSuccess;
}

ErrorCode Win32Registry::DeleteKey(RawKey parent, const char* subKey) {
  return Code(RegDeleteKeyA(Key(parent), subKey));
}

ErrorCode Win32Registry::EnumKey(RawKey key, std::uint32_t index, char* name,
                                 std::uint32_t* nameChars) {
  Count chars(nameChars);
  return Code(
      RegEnumKeyExA(Key(key), index, name, chars.get(), nullptr, nullptr, nullptr, nullptr));
}

ErrorCode Win32Registry::EnumValue(RawKey key, std::uint32_t index, char* name,
                                   std::uint32_t* nameChars, std::uint32_t* type,
                                   std::uint8_t* data, std::uint32_t* dataBytes) {
  Count chars(nameChars);
  Count kind(type);
  Count bytes(dataBytes);
  return Code(
      RegEnumValueA(Key(key), index, name, chars.get(), nullptr, kind.get(), data, bytes.get()));
}

ErrorCode Win32Registry::QueryValue(RawKey key, const char* name, std::uint32_t* type,
                                    std::uint8_t* data, std::uint32_t* dataBytes) {
  Count kind(type);
  Count bytes(dataBytes);
  return Code(RegQueryValueExA(Key(key), name, nullptr, kind.get(), data, bytes.get()));
}

ErrorCode Win32Registry::SetValue(RawKey key, const char* name, std::uint32_t type,
                                  const std::uint8_t* data, std::uint32_t dataBytes) {
  return Code(RegSetValueExA(Key(key), name, 0, type, data, dataBytes));
}

ErrorCode Win32Registry::DeleteValue(RawKey key, const char* name) {
  return Code(RegDeleteValueA(Key(key), name));
}

ErrorCode Win32Registry::FlushKey(RawKey key) {
  return Code(RegFlushKey(Key(key)));
}

ErrorCode Win32Registry::CloseKey(RawKey key) {
  return Code(RegCloseKey(Key(key)));
}

}  // namespace velnara::platform::win32
