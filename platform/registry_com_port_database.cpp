#include "platform/registry_com_port_database.h"

#include <algorithm>
#include <cstring>

namespace velnara::platform {

namespace {
constexpr std::uint32_t kDefaultBytes = comdb::kMinPorts / 8;
constexpr std::uint32_t kMaxBytes = comdb::kMaxPorts / 8;
constexpr AccessMask kDatabaseAccess = access::kKeyQueryValue | access::kKeySetValue;
}  // namespace

struct RegistryComPortDatabase::Session {
  explicit Session(Registry& registry) : key(registry) {}
  RegKey key;
};

// The value as stored: its type and every byte, of which the first
// min(size, 512) are the bitmap.
struct RegistryComPortDatabase::Bitmap {
  std::uint32_t type = value_type::kBinary;
  std::vector<std::uint8_t> data;

  std::uint32_t Ports() const {
    return 8 * static_cast<std::uint32_t>(std::min<std::size_t>(data.size(), kMaxBytes));
  }
  bool Claimed(std::uint32_t index) const { return (data[index / 8] >> (index % 8)) & 1; }
  void Set(std::uint32_t index, bool claimed) {
    const auto bit = static_cast<std::uint8_t>(1u << (index % 8));
    data[index / 8] =
        static_cast<std::uint8_t>(claimed ? data[index / 8] | bit : data[index / 8] & ~bit);
  }
};

RegistryComPortDatabase::RegistryComPortDatabase(Registry& registry) : registry_(registry) {}

RegistryComPortDatabase::~RegistryComPortDatabase() = default;

RegistryComPortDatabase::Session* RegistryComPortDatabase::Find(ComDbHandle database) const {
  for (const std::unique_ptr<Session>& session : sessions_) {
    if (session.get() == database) return session.get();
  }
  return nullptr;
}

ErrorCode RegistryComPortDatabase::Open(ComDbHandle* database) {
  if (database == nullptr) return error::kInvalidParameter;
  *database = InvalidComDb();
  auto session = std::make_unique<Session>(registry_);
  ErrorCode code = session->key.Open(kLocalMachine, kComNameArbiterPath, kDatabaseAccess);
  // The arbiter's key is made on first use, as the system makes it.
  if (code == error::kFileNotFound) {
    code = session->key.Create(kLocalMachine, kComNameArbiterPath, kDatabaseAccess);
  }
  if (code != error::kSuccess) return code;
  *database = session.get();
  sessions_.push_back(std::move(session));
  return error::kSuccess;
}

ErrorCode RegistryComPortDatabase::Close(ComDbHandle database) {
  const auto found =
      std::find_if(sessions_.begin(), sessions_.end(),
                   [database](const std::unique_ptr<Session>& s) { return s.get() == database; });
  if (found == sessions_.end()) return error::kInvalidParameter;
  sessions_.erase(found);
  return error::kSuccess;
}

ErrorCode RegistryComPortDatabase::Read(const Session& session, Bitmap* bitmap) const {
  // The value may change between the size query and the read; ask again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::uint32_t size = 0;
    ErrorCode code = session.key.QueryValue(kComDbValueName, &bitmap->type, nullptr, &size);
    if (code == error::kFileNotFound) {
      bitmap->type = value_type::kBinary;
      bitmap->data.assign(kDefaultBytes, 0);
      return error::kSuccess;
    }
    if (code != error::kSuccess) return code;
    bitmap->data.assign(size, 0);
    code = session.key.QueryValue(kComDbValueName, &bitmap->type, bitmap->data.data(), &size);
    if (code == error::kMoreData) continue;
    if (code != error::kSuccess) return code;
    bitmap->data.resize(size);
    return error::kSuccess;
  }
  return error::kMoreData;
}

ErrorCode RegistryComPortDatabase::Write(const Session& session, const Bitmap& bitmap) const {
  return session.key.SetValue(kComDbValueName, bitmap.type, bitmap.data.data(),
                              static_cast<std::uint32_t>(bitmap.data.size()));
}

ErrorCode RegistryComPortDatabase::Change(ComDbHandle database, std::uint32_t number, bool claim,
                                          bool* before) {
  const Session* session = Find(database);
  if (session == nullptr) return error::kInvalidParameter;
  Bitmap bitmap;
  if (const ErrorCode code = Read(*session, &bitmap); code != error::kSuccess) return code;
  if (number < 1 || number > bitmap.Ports()) return error::kInvalidParameter;
  *before = bitmap.Claimed(number - 1);
  if (*before == claim) return error::kSuccess;
  bitmap.Set(number - 1, claim);
  return Write(*session, bitmap);
}

ErrorCode RegistryComPortDatabase::ClaimPort(ComDbHandle database, std::uint32_t number,
                                             bool forceClaim, bool* forced) {
  if (forced != nullptr) *forced = false;
  bool claimed = false;
  const ErrorCode code = Change(database, number, true, &claimed);
  if (code != error::kSuccess || !claimed) return code;
  // Already in use: taken over only when asked to.
  if (!forceClaim) return error::kSharingViolation;
  if (forced != nullptr) *forced = true;
  return error::kSuccess;
}

ErrorCode RegistryComPortDatabase::ReleasePort(ComDbHandle database, std::uint32_t number) {
  bool claimed = false;
  return Change(database, number, false, &claimed);
}

ErrorCode RegistryComPortDatabase::GetCurrentPortUsage(ComDbHandle database, std::uint8_t* buffer,
                                                       std::uint32_t bufferSize,
                                                       std::uint32_t reportType,
                                                       std::uint32_t* maxPortsReported) {
  const Session* session = Find(database);
  if (session == nullptr) return error::kInvalidParameter;
  if (reportType != comdb::kReportBits && reportType != comdb::kReportBytes) {
    return error::kInvalidParameter;
  }
  if (buffer == nullptr && maxPortsReported == nullptr) return error::kInvalidParameter;
  Bitmap bitmap;
  if (const ErrorCode code = Read(*session, &bitmap); code != error::kSuccess) return code;
  if (buffer == nullptr) {
    *maxPortsReported = bitmap.Ports();
    return error::kSuccess;
  }
  const std::uint32_t room = reportType == comdb::kReportBits ? bufferSize * 8 : bufferSize;
  const std::uint32_t ports = std::min(room, bitmap.Ports());
  std::memset(buffer, 0, bufferSize);
  for (std::uint32_t index = 0; index < ports; ++index) {
    if (!bitmap.Claimed(index)) continue;
    if (reportType == comdb::kReportBits) {
      buffer[index / 8] = static_cast<std::uint8_t>(buffer[index / 8] | 1u << (index % 8));
    } else {
      buffer[index] = 1;
    }
  }
  if (maxPortsReported != nullptr) *maxPortsReported = ports;
  return error::kSuccess;
}

}  // namespace velnara::platform
