#include "platform/sim/sim_com_port_database.h"

#include <string>

namespace velnara::platform::sim {

namespace {
const std::string kArbiterKey = std::string("HKEY_LOCAL_MACHINE\\") + kComNameArbiterPath;
}  // namespace

ErrorCode SimComPortDatabase::Enter(const char* function, std::uint32_t number,
                                    const std::string& detail) {
  if (log_ == nullptr) return error::kSuccess;
  return log_->Enter(function, std::to_string(number) + detail, number);
}

ErrorCode SimComPortDatabase::Open(ComDbHandle* database) {
  if (const ErrorCode forced = Enter("ComDBOpen")) {
    if (database != nullptr) *database = InvalidComDb();
    return forced;
  }
  const CallLog::Pause quiet(log_);
  const ErrorCode code = database_.Open(database);
  if (code == error::kSuccess) ++open_;
  return code;
}

ErrorCode SimComPortDatabase::Close(ComDbHandle database) {
  const ErrorCode forced = Enter("ComDBClose");
  const CallLog::Pause quiet(log_);
  // Closed even when made to fail: nothing more can be done with it.
  const ErrorCode code = database_.Close(database);
  if (code == error::kSuccess) --open_;
  return forced != error::kSuccess ? forced : code;
}

ErrorCode SimComPortDatabase::ClaimPort(ComDbHandle database, std::uint32_t number, bool forceClaim,
                                        bool* forced) {
  if (const ErrorCode failure =
          Enter("ComDBClaimPort", number, forceClaim ? " force=1" : " force=0")) {
    return failure;
  }
  const CallLog::Pause quiet(log_);
  return database_.ClaimPort(database, number, forceClaim, forced);
}

ErrorCode SimComPortDatabase::ReleasePort(ComDbHandle database, std::uint32_t number) {
  if (const ErrorCode failure = Enter("ComDBReleasePort", number)) return failure;
  const CallLog::Pause quiet(log_);
  return database_.ReleasePort(database, number);
}

ErrorCode SimComPortDatabase::GetCurrentPortUsage(ComDbHandle database, std::uint8_t* buffer,
                                                  std::uint32_t bufferSize,
                                                  std::uint32_t reportType,
                                                  std::uint32_t* maxPortsReported) {
  if (const ErrorCode failure = Enter("ComDBGetCurrentPortUsage")) return failure;
  const CallLog::Pause quiet(log_);
  return database_.GetCurrentPortUsage(database, buffer, bufferSize, reportType, maxPortsReported);
}

std::vector<std::uint32_t> SimComPortDatabase::ClaimedNumbers() const {
  std::vector<std::uint32_t> numbers;
  std::vector<std::uint8_t> bitmap;
  if (!registry_.GetValueAt(kArbiterKey, kComDbValueName, nullptr, &bitmap)) return numbers;
  const std::size_t bytes = bitmap.size() < 512 ? bitmap.size() : 512;
  for (std::size_t i = 0; i < bytes * 8; ++i) {
    if ((bitmap[i / 8] >> (i % 8)) & 1) numbers.push_back(static_cast<std::uint32_t>(i + 1));
  }
  return numbers;
}

void SimComPortDatabase::SetClaimedNumbers(const std::vector<std::uint32_t>& numbers,
                                           std::uint32_t bytes) {
  std::vector<std::uint8_t> bitmap(bytes, 0);
  for (std::uint32_t number : numbers) {
    if (number >= 1 && number <= bytes * 8) {
      bitmap[(number - 1) / 8] =
          static_cast<std::uint8_t>(bitmap[(number - 1) / 8] | 1u << ((number - 1) % 8));
    }
  }
  registry_.SetValueAt(kArbiterKey, kComDbValueName, value_type::kBinary, bitmap);
}

}  // namespace velnara::platform::sim
