#include "platform/com_port_database.h"

namespace velnara::platform {

ErrorCode ComDb::Open() {
  ComDbHandle opened = InvalidComDb();
  const ErrorCode code = database_.Open(&opened);
  if (code != error::kSuccess) return code;
  Close();
  handle_ = opened;
  return code;
}

ErrorCode ComDb::Close() {
  if (!IsOpen()) return error::kSuccess;
  const ErrorCode code = database_.Close(handle_);
  handle_ = InvalidComDb();
  return code;
}

ErrorCode ComDb::ClaimedNumbers(std::vector<std::uint8_t>* claimed) const {
  std::uint32_t size = 0;
  ErrorCode code = database_.GetCurrentPortUsage(handle_, nullptr, 0, comdb::kReportBytes, &size);
  if (code != error::kSuccess) return code;
  std::vector<std::uint8_t> bytes(size, 0);
  std::uint32_t reported = 0;
  code = database_.GetCurrentPortUsage(handle_, bytes.data(), size, comdb::kReportBytes, &reported);
  if (code != error::kSuccess) return code;
  claimed->assign(reported, 0);
  for (std::uint32_t i = 0; i < reported && i < size; ++i) (*claimed)[i] = bytes[i] != 0 ? 1 : 0;
  return error::kSuccess;
}

}  // namespace velnara::platform
