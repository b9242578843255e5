#include "platform/registry.h"

#include <cstring>
#include <vector>

namespace velnara::platform {

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    registry_ = other.registry_;
    key_ = other.Detach();
  }
  return *this;
}

ErrorCode RegKey::Open(RawKey parent, const char* subKey, AccessMask access) {
  RawKey opened = kNoKey;
  const ErrorCode code = registry_->OpenKey(parent, subKey, access, &opened);
  if (code != error::kSuccess) return code;
  Close();
  key_ = opened;
  return code;
}

ErrorCode RegKey::Create(RawKey parent, const char* subKey, AccessMask access,
                         const char* sddl) {
  RawKey created = kNoKey;
  const ErrorCode code = registry_->CreateKey(parent, subKey, access, sddl, &created);
  if (code != error::kSuccess) return code;
  Close();
  key_ = created;
  return code;
}

ErrorCode RegKey::Close() {
  if (key_ == kNoKey) return error::kSuccess;
  const ErrorCode code = registry_->CloseKey(key_);
  key_ = kNoKey;
  return code;
}

ErrorCode RegKey::SetString(const char* name, const std::string& text) const {
  return SetValue(name, value_type::kSz, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                  static_cast<std::uint32_t>(text.size() + 1));
}

ErrorCode QueryStringValue(const RegKey& key, const char* name, std::size_t capacity,
                           std::string* text) {
  std::vector<std::uint8_t> buffer(capacity, 0);
  std::uint32_t type = 0;
  std::uint32_t size = static_cast<std::uint32_t>(capacity);
  const ErrorCode code = key.QueryValue(name, &type, buffer.data(), &size);
  if (code != error::kSuccess) return code;
  const std::size_t used = size < capacity ? size : capacity;
  const void* end = std::memchr(buffer.data(), '\0', used);
  // Windows may append a terminator after the counted bytes when room is left.
  if (end == nullptr && used < capacity && buffer[used] == '\0') end = &buffer[used];
  if (end == nullptr) return error::kMoreData;
  text->assign(reinterpret_cast<const char*>(buffer.data()),
               static_cast<const std::uint8_t*>(end) - buffer.data());
  return error::kSuccess;
}

}  // namespace velnara::platform
