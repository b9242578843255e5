// The COM port database on Windows: msports.dll's ComDB* functions, looked
// up when the program runs (a missing DLL or function makes the open fail).
// Under Wine those functions are stubs that end the process, so there the
// program keeps the database in the registry as Windows stores it
// (RegistryComPortDatabase).
#pragma once

#include <memory>

#include "platform/com_port_database.h"
#include "platform/registry.h"

namespace velnara::platform::win32 {

class MsportsComPortDatabase final : public ComPortDatabase {
 public:
  MsportsComPortDatabase();

  ErrorCode Open(ComDbHandle* database) override;
  ErrorCode Close(ComDbHandle database) override;
  ErrorCode ClaimPort(ComDbHandle database, std::uint32_t number, bool forceClaim,
                      bool* forced) override;
  ErrorCode ReleasePort(ComDbHandle database, std::uint32_t number) override;
  ErrorCode GetCurrentPortUsage(ComDbHandle database, std::uint8_t* buffer,
                                std::uint32_t bufferSize, std::uint32_t reportType,
                                std::uint32_t* maxPortsReported) override;

 private:
  struct Functions;
  static const Functions& LookUp();
  const Functions& functions_;
};

// The database this system offers: msports.dll's on Windows, the
// registry-backed one over `registry` under Wine.
std::unique_ptr<ComPortDatabase> MakeComPortDatabase(Registry& registry);

}  // namespace velnara::platform::win32
