// The stand-in's COM port database: the registry-backed one that also
// serves under Wine, on the stand-in's registry, with every call entered in
// the call log. Its own registry calls stay out of the log, as msports.dll's
// do not appear among the program's calls on Windows.
#pragma once

#include <string>
#include <vector>

#include "platform/registry_com_port_database.h"
#include "platform/sim/call_log.h"
#include "platform/sim/sim_registry.h"

namespace velnara::platform::sim {

class SimComPortDatabase : public ComPortDatabase {
 public:
  explicit SimComPortDatabase(SimRegistry& registry) : registry_(registry), database_(registry) {}

  ErrorCode Open(ComDbHandle* database) override;
  ErrorCode Close(ComDbHandle database) override;
  ErrorCode ClaimPort(ComDbHandle database, std::uint32_t number, bool forceClaim,
                      bool* forced) override;
  ErrorCode ReleasePort(ComDbHandle database, std::uint32_t number) override;
  ErrorCode GetCurrentPortUsage(ComDbHandle database, std::uint8_t* buffer,
                                std::uint32_t bufferSize, std::uint32_t reportType,
                                std::uint32_t* maxPortsReported) override;

  // Enters every call into `log` (null: none), which may fail it.
  void SetCallLog(CallLog* log) { log_ = log; }
  // Databases opened and not yet closed.
  int OpenCount() const { return open_; }

  // Seeding and inspection, outside the log: the numbers claimed now, and a
  // database of `numbers` claimed in a bitmap of `bytes` bytes.
  std::vector<std::uint32_t> ClaimedNumbers() const;
  void SetClaimedNumbers(const std::vector<std::uint32_t>& numbers, std::uint32_t bytes = 32);

 private:
  // The log's target is the number, and `detail` after it.
  ErrorCode Enter(const char* function, std::uint32_t number = 0,
                  const std::string& detail = std::string());

  SimRegistry& registry_;
  RegistryComPortDatabase database_;
  CallLog* log_ = nullptr;
  int open_ = 0;
};

}  // namespace velnara::platform::sim
