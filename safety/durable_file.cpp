#include "safety/durable_file.h"

#include "text/text.h"

namespace velnara {

using namespace platform;

namespace {

// Writes, flushes and moves `text` into place at `path`; `flags` are the
// move's (with or without replacing). The new file goes again on a failure.
ErrorCode WriteThenMove(Files& files, const std::string& path, const std::string& text,
                        std::uint32_t flags) {
  const std::string written = NewFileBeside(path);
  ErrorCode code = error::kSuccess;
  {
    File file(files);
    // Left by a run that ended before its move: nothing anyone reads.
    code = file.Open(written, file::kGenericWrite, file::kCreateAlways, 0);
    if (code != error::kSuccess) return code;
    code = file.Write(text);
    if (code == error::kSuccess) code = file.Flush();
    const ErrorCode closed = file.Close();
    if (code == error::kSuccess) code = closed;
  }
  if (code == error::kSuccess) {
    code = files.MoveFile(written.c_str(), path.c_str(), flags | file::kMoveWriteThrough);
  }
  if (code != error::kSuccess) files.DeleteFile(written.c_str());  // result not examined
  return code;
}

}  // namespace

std::string NewFileBeside(const std::string& path) {
  return path + ".new";
}

bool NamesADevice(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/:");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (SameName(name, device)) return true;
  }
  return name.size() == 4 && (StartsWithName(name, "COM") || StartsWithName(name, "LPT")) &&
         name[3] >= '1' && name[3] <= '9';
}

ErrorCode ReplaceFileWhole(Files& files, const std::string& path, const std::string& text) {
  if (NamesADevice(path)) {
    // A device takes the text as it comes; "NUL.new" would be the device too.
    File device(files);
    ErrorCode code = device.Open(path, file::kGenericWrite, file::kOpenExisting);
    if (code == error::kSuccess) code = device.Write(text);
    const ErrorCode closed = device.Close();
    return code != error::kSuccess ? code : closed;
  }
  return WriteThenMove(files, path, text, file::kMoveReplaceExisting);
}

ErrorCode WriteNewFileWhole(Files& files, const std::string& path, const std::string& text) {
  return WriteThenMove(files, path, text, 0);
}

}  // namespace velnara
