// A COM port database kept the way Windows keeps its own: a bitmap in the
// REG_BINARY value ComDB of HKLM\SYSTEM\CurrentControlSet\Control\COM Name
// Arbiter, byte (n-1)/8 bit (n-1)%8 set while COMn is in use. Its size is
// the value's: 32 bytes give 256 numbers, and at most 512 bytes (4096
// numbers) count; numbers outside it are refused and bytes beyond it are
// written back as they were read. Where there is no value yet, the database
// has 256 free numbers and the first change writes 32 bytes.
//
// It serves where msports.dll cannot: in the stand-in, and under Wine,
// whose ComDB* functions are stubs that end the process.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/com_port_database.h"
#include "platform/registry.h"

namespace velnara::platform {

constexpr const char* kComNameArbiterPath = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
constexpr const char* kComDbValueName = "ComDB";

class RegistryComPortDatabase : public ComPortDatabase {
 public:
  explicit RegistryComPortDatabase(Registry& registry);
  ~RegistryComPortDatabase() override;

  ErrorCode Open(ComDbHandle* database) override;
  ErrorCode Close(ComDbHandle database) override;
  ErrorCode ClaimPort(ComDbHandle database, std::uint32_t number, bool forceClaim,
                      bool* forced) override;
  ErrorCode ReleasePort(ComDbHandle database, std::uint32_t number) override;
  ErrorCode GetCurrentPortUsage(ComDbHandle database, std::uint8_t* buffer,
                                std::uint32_t bufferSize, std::uint32_t reportType,
                                std::uint32_t* maxPortsReported) override;

 private:
  struct Session;
  struct Bitmap;
  Session* Find(ComDbHandle database) const;
  ErrorCode Read(const Session& session, Bitmap* bitmap) const;
  ErrorCode Write(const Session& session, const Bitmap& bitmap) const;
  // Sets or clears the bit of `number`; *before* receives its old state.
  ErrorCode Change(ComDbHandle database, std::uint32_t number, bool claim, bool* before);

  Registry& registry_;
  std::vector<std::unique_ptr<Session>> sessions_;
};

}  // namespace velnara::platform
