// The system's COM port database, which records which COM numbers are in
// use: the ComDB* calls of msports.dll, each returning its Windows error
// code.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win_constants.h"

namespace velnara::platform {

using ComDbHandle = void*;  // HCOMDB
// HCOMDB_INVALID_HANDLE_VALUE, what a failed open leaves in its handle.
inline ComDbHandle InvalidComDb() {
  return reinterpret_cast<ComDbHandle>(static_cast<std::intptr_t>(-1));
}

namespace comdb {
constexpr std::uint32_t kReportBits = 0;   // CDB_REPORT_BITS: bit n-1 set for COMn
constexpr std::uint32_t kReportBytes = 1;  // CDB_REPORT_BYTES: byte n-1 is 1 for COMn
constexpr std::uint32_t kMinPorts = 256;   // COMDB_MIN_PORTS_ARBITRATED
constexpr std::uint32_t kMaxPorts = 4096;  // COMDB_MAX_PORTS_ARBITRATED
}  // namespace comdb

class ComPortDatabase {
 public:
  virtual ~ComPortDatabase() = default;

  // ComDBOpen. On failure *database is InvalidComDb().
  virtual ErrorCode Open(ComDbHandle* database) = 0;
  // ComDBClose.
  virtual ErrorCode Close(ComDbHandle database) = 0;
  // ComDBClaimPort: marks COM`number` as in use. A number already in use
  // answers ERROR_SHARING_VIOLATION, unless `forceClaim`, which claims it
  // anyway and sets *forced; a number outside the database answers
  // ERROR_INVALID_PARAMETER. `forced` may be null.
  virtual ErrorCode ClaimPort(ComDbHandle database, std::uint32_t number, bool forceClaim,
                              bool* forced) = 0;
  // ComDBReleasePort: marks COM`number` as free.
  virtual ErrorCode ReleasePort(ComDbHandle database, std::uint32_t number) = 0;
  // ComDBGetCurrentPortUsage. A null buffer asks for the database's size in
  // *maxPortsReported; otherwise the buffer receives as many ports as fit,
  // as bits or bytes (comdb::kReport*), and *maxPortsReported how many.
  virtual ErrorCode GetCurrentPortUsage(ComDbHandle database, std::uint8_t* buffer,
                                        std::uint32_t bufferSize, std::uint32_t reportType,
                                        std::uint32_t* maxPortsReported) = 0;
};

// An open COM port database that closes itself.
class ComDb {
 public:
  explicit ComDb(ComPortDatabase& database) : database_(database) {}
  ComDb(const ComDb&) = delete;
  ComDb& operator=(const ComDb&) = delete;
  ~ComDb() { Close(); }

  ErrorCode Open();
  ErrorCode Close();
  bool IsOpen() const { return handle_ != InvalidComDb(); }

  ErrorCode ClaimPort(std::uint32_t number, bool forceClaim, bool* forced) const {
    return database_.ClaimPort(handle_, number, forceClaim, forced);
  }
  ErrorCode ReleasePort(std::uint32_t number) const {
    return database_.ReleasePort(handle_, number);
  }
  // Which numbers are in use: (*claimed)[n - 1] is 1 for a claimed COMn, 0
  // for a free one.
  ErrorCode ClaimedNumbers(std::vector<std::uint8_t>* claimed) const;

 private:
  ComPortDatabase& database_;
  ComDbHandle handle_ = InvalidComDb();
};

}  // namespace velnara::platform
