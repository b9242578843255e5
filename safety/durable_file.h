// Files that a crash, a power cut or a killed process never leaves half
// written: the text goes to a new file beside the one it is for, reaches
// the disk (FlushFileBuffers), and only then takes that file's name in one
// step (MoveFileExA with MOVEFILE_WRITE_THROUGH). What stood under the name
// before stays whole until then; a failure on the way leaves it as it was.
#pragma once

#include <string>

#include "platform/files.h"

namespace velnara {

// The file the text is written to first: `path` and ".new", in the same
// folder, so that the move stays within its volume.
std::string NewFileBeside(const std::string& path);

// `text` as the whole of the file at `path`, replacing the file there.
// A name that is a device of Windows ("NUL", "con.txt", "LPT1") is no file:
// the text is written to the device itself.
platform::ErrorCode ReplaceFileWhole(platform::Files& files, const std::string& path,
                                     const std::string& text);

// `text` as the whole of a file at `path` that must not exist yet:
// ERROR_ALREADY_EXISTS (183), nothing written, when it does.
platform::ErrorCode WriteNewFileWhole(platform::Files& files, const std::string& path,
                                      const std::string& text);

// Whether the last part of `path` names a device of Windows rather than a
// file: CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9, also with an extension
// ("nul.txt"), in any case.
bool NamesADevice(const std::string& path);

}  // namespace velnara
