// The registry as the program sees it: the ANSI Reg*A calls, each returning
// its Windows error code. Buffers and capacities are explicit because the
// program's behaviour depends on them (ERROR_MORE_DATA, missing terminators).
#pragma once

#include <cstdint>
#include <string>

#include "platform/win_constants.h"

namespace velnara::platform {

// A key handle as the Reg* calls take it. Predefined roots carry the values
// Windows gives them; an opened key is whatever the backend hands out.
using RawKey = std::uintptr_t;

constexpr RawKey kNoKey = 0;
constexpr RawKey kClassesRoot = 0x80000000u;
constexpr RawKey kCurrentUser = 0x80000001u;
constexpr RawKey kLocalMachine = 0x80000002u;
constexpr RawKey kUsers = 0x80000003u;

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA. On failure *result is kNoKey.
  virtual ErrorCode OpenKey(RawKey parent, const char* subKey, AccessMask access,
                            RawKey* result) = 0;

  // RegCreateKeyExA, optionally giving the new key an access list written as
  // SDDL ("D:(A;;KR;;;WD)"); null keeps the default. An existing key is
  // opened and its access list left alone. The program itself never creates
  // keys: this serves seeding sample machines and tests.
  virtual ErrorCode CreateKey(RawKey parent, const char* subKey, AccessMask access,
                              const char* sddl, RawKey* result) = 0;

  // RegDeleteKeyA of a key without subkeys (tests clean up with it).
  virtual ErrorCode DeleteKey(RawKey parent, const char* subKey) = 0;

  // RegEnumKeyExA. *nameChars is the capacity in characters including the
  // terminator on entry and the name's length without it on success.
  virtual ErrorCode EnumKey(RawKey key, std::uint32_t index, char* name,
                            std::uint32_t* nameChars) = 0;

  // RegEnumValueA. type, data and dataBytes may be null. After
  // ERROR_MORE_DATA the buffers' contents are undefined.
  virtual ErrorCode EnumValue(RawKey key, std::uint32_t index, char* name, std::uint32_t* nameChars,
                              std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* dataBytes) = 0;

  // RegQueryValueExA. *dataBytes is the capacity on entry and the stored size
  // on return (also after ERROR_MORE_DATA). data may be null to ask the size.
  virtual ErrorCode QueryValue(RawKey key, const char* name, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* dataBytes) = 0;

  // RegSetValueExA: stores exactly dataBytes bytes.
  virtual ErrorCode SetValue(RawKey key, const char* name, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t dataBytes) = 0;

  // RegDeleteValueA.
  virtual ErrorCode DeleteValue(RawKey key, const char* name) = 0;

  // RegFlushKey: returns once what was written to the hive that holds the
  // key is on the disk (the registry otherwise writes it lazily).
  virtual ErrorCode FlushKey(RawKey key) = 0;

  // RegCloseKey.
  virtual ErrorCode CloseKey(RawKey key) = 0;
};

// An open key that closes itself. Open() replaces the held key only when the
// new open succeeds, so a failed open leaves the object as it was.
class RegKey {
 public:
  explicit RegKey(Registry& registry) : registry_(&registry) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept : registry_(other.registry_), key_(other.Detach()) {}
  RegKey& operator=(RegKey&& other) noexcept;
  ~RegKey() { Close(); }

  ErrorCode Open(RawKey parent, const char* subKey, AccessMask access);
  ErrorCode Open(const RegKey& parent, const char* subKey, AccessMask access) {
    return Open(parent.key_, subKey, access);
  }
  ErrorCode Create(RawKey parent, const char* subKey, AccessMask access,
                   const char* sddl = nullptr);
  ErrorCode Close();
  RawKey Detach() {
    RawKey key = key_;
    key_ = kNoKey;
    return key;
  }

  bool IsOpen() const { return key_ != kNoKey; }
  RawKey Get() const { return key_; }
  Registry& registry() const { return *registry_; }

  ErrorCode EnumKey(std::uint32_t index, char* name, std::uint32_t* nameChars) const {
    return registry_->EnumKey(key_, index, name, nameChars);
  }
  ErrorCode EnumValue(std::uint32_t index, char* name, std::uint32_t* nameChars,
                      std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataBytes) const {
    return registry_->EnumValue(key_, index, name, nameChars, type, data, dataBytes);
  }
  ErrorCode QueryValue(const char* name, std::uint32_t* type, std::uint8_t* data,
                       std::uint32_t* dataBytes) const {
    return registry_->QueryValue(key_, name, type, data, dataBytes);
  }
  ErrorCode SetValue(const char* name, std::uint32_t type, const std::uint8_t* data,
                     std::uint32_t dataBytes) const {
    return registry_->SetValue(key_, name, type, data, dataBytes);
  }
  // Writes a REG_SZ with its terminator counted.
  ErrorCode SetString(const char* name, const std::string& text) const;
  ErrorCode DeleteValue(const char* name) const { return registry_->DeleteValue(key_, name); }
  ErrorCode Flush() const { return registry_->FlushKey(key_); }

 private:
  Registry* registry_;
  RawKey key_ = kNoKey;
};

// Reads a string value into a buffer of exactly `capacity` bytes, the way the
// program's fixed buffers do. Succeeds only when the stored text and its
// terminator lie within the buffer: a value that fills the buffer without a
// terminator counts as a failed read (ERROR_MORE_DATA), never as a text that
// runs past its buffer.
ErrorCode QueryStringValue(const RegKey& key, const char* name, std::size_t capacity,
                           std::string* text);

}  // namespace velnara::platform
