#include "platform/win32/win32_com_port_database.h"

#include "platform/registry_com_port_database.h"
#include "platform/win32/win32_dynamic.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/windows_api.h"

namespace velnara::platform::win32 {

namespace {
// msports.dll's functions as its documentation gives them. HCOMDB is a
// handle; the SDK's msports.h is not part of MinGW.
using Hcomdb = HANDLE;
using ComDBOpenFn = LONG(WINAPI*)(Hcomdb* database);
using ComDBCloseFn = LONG(WINAPI*)(Hcomdb database);
using ComDBClaimPortFn = LONG(WINAPI*)(Hcomdb database, DWORD number, BOOL forceClaim,
                                       PBOOL forced);
using ComDBReleasePortFn = LONG(WINAPI*)(Hcomdb database, DWORD number);
using ComDBGetCurrentPortUsageFn = LONG(WINAPI*)(Hcomdb database, PBYTE buffer, DWORD bufferSize,
                                                 ULONG reportType, LPDWORD maxPortsReported);
constexpr const char* kDll = "msports.dll";
}  // namespace

struct MsportsComPortDatabase::Functions {
  ComDBOpenFn open = nullptr;
  ComDBCloseFn close = nullptr;
  ComDBClaimPortFn claim = nullptr;
  ComDBReleasePortFn release = nullptr;
  ComDBGetCurrentPortUsageFn usage = nullptr;
};

const MsportsComPortDatabase::Functions& MsportsComPortDatabase::LookUp() {
  static const Functions functions = [] {
    Functions found;
    found.open = LookUpFunction<ComDBOpenFn>(kDll, "ComDBOpen");
    found.close = LookUpFunction<ComDBCloseFn>(kDll, "ComDBClose");
    found.claim = LookUpFunction<ComDBClaimPortFn>(kDll, "ComDBClaimPort");
    found.release = LookUpFunction<ComDBReleasePortFn>(kDll, "ComDBReleasePort");
    found.usage = LookUpFunction<ComDBGetCurrentPortUsageFn>(kDll, "ComDBGetCurrentPortUsage");
    return found;
  }();
  return functions;
}

MsportsComPortDatabase::MsportsComPortDatabase() : functions_(LookUp()) {}

ErrorCode MsportsComPortDatabase::Open(ComDbHandle* database) {
  *database = InvalidComDb();
  // Without every function there is no database to work with.
  if (functions_.open == nullptr || functions_.close == nullptr || functions_.claim == nullptr ||
      functions_.release == nullptr || functions_.usage == nullptr) {
    return ERROR_PROC_NOT_FOUND;
  }
  Hcomdb opened = INVALID_HANDLE_VALUE;
  const LONG code = functions_.open(&opened);
  if (code != ERROR_SUCCESS) return static_cast<ErrorCode>(code);
  *database = opened;
  return ERROR_SUCCESS;
}

ErrorCode MsportsComPortDatabase::Close(ComDbHandle database) {
  if (functions_.close == nullptr) return ERROR_PROC_NOT_FOUND;
  return static_cast<ErrorCode>(functions_.close(database));
}

ErrorCode MsportsComPortDatabase::ClaimPort(ComDbHandle database, std::uint32_t number,
                                            bool forceClaim, bool* forced) {
  if (forced != nullptr) *forced = false;
  if (functions_.claim == nullptr) return ERROR_PROC_NOT_FOUND;
  BOOL wasForced = FALSE;
  const LONG code = functions_.claim(database, number, forceClaim ? TRUE : FALSE, &wasForced);
  if (forced != nullptr) *forced = wasForced != FALSE;
  return static_cast<ErrorCode>(code);
}

ErrorCode MsportsComPortDatabase::ReleasePort(ComDbHandle database, std::uint32_t number) {
  if (functions_.release == nullptr) return ERROR_PROC_NOT_FOUND;
  return static_cast<ErrorCode>(functions_.release(database, number));
}

ErrorCode MsportsComPortDatabase::GetCurrentPortUsage(ComDbHandle database, std::uint8_t* buffer,
                                                      std::uint32_t bufferSize,
                                                      std::uint32_t reportType,
                                                      std::uint32_t* maxPortsReported) {
  if (functions_.usage == nullptr) return ERROR_PROC_NOT_FOUND;
  DWORD reported = 0;
  const LONG code = functions_.usage(database, buffer, bufferSize, reportType,
                                     maxPortsReported != nullptr ? &reported : nullptr);
  if (maxPortsReported != nullptr) *maxPortsReported = reported;
  return static_cast<ErrorCode>(code);
}

std::unique_ptr<ComPortDatabase> MakeComPortDatabase(Registry& registry) {
  if (IsWine()) return std::make_unique<RegistryComPortDatabase>(registry);
  return std::make_unique<MsportsComPortDatabase>();
}

}  // namespace velnara::platform::win32
