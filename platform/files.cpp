#include "platform/files.h"

#include <limits>
#include <utility>

namespace velnara::platform {

ErrorCode File::Open(const std::string& path, std::uint32_t access, std::uint32_t disposition,
                     std::uint32_t share) {
  FileHandle opened = nullptr;
  const ErrorCode code = files_.CreateFile(path.c_str(), access, disposition, share, &opened);
  if (code != error::kSuccess) return code;
  Close();
  handle_ = opened;
  return code;
}

ErrorCode File::Close() {
  if (handle_ == nullptr) return error::kSuccess;
  const ErrorCode code = files_.CloseFile(handle_);
  handle_ = nullptr;
  return code;
}

ErrorCode File::Write(const std::string& text) const {
  std::size_t done = 0;
  while (done < text.size()) {
    // WriteFile counts in 32 bits; the program's texts are far smaller.
    const std::size_t left = text.size() - done;
    const auto chunk = static_cast<std::uint32_t>(left < std::numeric_limits<std::uint32_t>::max()
                                                      ? left
                                                      : std::numeric_limits<std::uint32_t>::max());
    std::uint32_t written = 0;
    const ErrorCode code = files_.WriteFile(
        handle_, reinterpret_cast<const std::uint8_t*>(text.data()) + done, chunk, &written);
    if (code != error::kSuccess) return code;
    if (written == 0) return error::kHandleDiskFull;
    done += written;
  }
  return error::kSuccess;
}

ErrorCode File::ReadAll(std::size_t limit, std::string* text) const {
  std::uint64_t size = 0;
  if (const ErrorCode code = files_.GetFileSize(handle_, &size); code != error::kSuccess) {
    return code;
  }
  if (size > limit) return error::kFileTooLarge;
  std::string read(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  while (done < read.size()) {
    std::uint32_t got = 0;
    const ErrorCode code = files_.ReadFile(handle_, reinterpret_cast<std::uint8_t*>(&read[done]),
                                           static_cast<std::uint32_t>(read.size() - done), &got);
    if (code != error::kSuccess) return code;
    if (got == 0) break;  // the file became shorter since its size was asked
    done += got;
  }
  read.resize(done);
  *text = std::move(read);
  return error::kSuccess;
}

ErrorCode WriteNewFile(Files& files, const std::string& path, std::uint32_t disposition,
                       const std::string& text) {
  File file(files);
  if (const ErrorCode code = file.Open(path, file::kGenericWrite, disposition);
      code != error::kSuccess) {
    return code;
  }
  ErrorCode code = file.Write(text);
  const ErrorCode closed = file.Close();
  if (code == error::kSuccess) code = closed;
  if (code != error::kSuccess) files.DeleteFile(path.c_str());  // result not examined
  return code;
}

ErrorCode AppendToFile(Files& files, const std::string& path, const std::string& text) {
  File file(files);
  ErrorCode code = file.Open(path, file::kAppend, file::kOpenAlways);
  if (code != error::kSuccess) return code;
  code = file.Write(text);
  const ErrorCode closed = file.Close();
  return code != error::kSuccess ? code : closed;
}

bool StandardHandleWritable(Files& files, std::uint32_t which) {
  const FileHandle handle = files.GetStdHandle(which);
  if (handle == nullptr) return false;
  const std::uint32_t type = files.GetFileType(handle);
  return type == file::kTypeDisk || type == file::kTypePipe || type == file::kTypeChar;
}

void WriteStandard(Files& files, std::uint32_t which, const std::string& text) {
  if (!StandardHandleWritable(files, which)) return;
  const FileHandle handle = files.GetStdHandle(which);
  std::size_t done = 0;
  while (done < text.size()) {
    std::uint32_t written = 0;
    if (files.WriteFile(handle, reinterpret_cast<const std::uint8_t*>(text.data()) + done,
                        static_cast<std::uint32_t>(text.size() - done),
                        &written) != error::kSuccess ||
        written == 0) {
      return;  // a closed pipe: nobody reads any more
    }
    done += written;
  }
}

}  // namespace velnara::platform
