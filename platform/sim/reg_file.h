// Reads registry files as regedit writes them ("REGEDIT4" or "Windows
// Registry Editor Version 5.00"), so one sample machine seeds both the
// stand-in and a Wine prefix.
#pragma once

#include <string>

#include "platform/sim/sim_registry.h"

namespace velnara::platform::sim {

// Imports `text` into `registry`: [key] sections ([-key] deletes), "name"=
// values of the forms "text", dword:, hex:, hex(n): with continuation lines,
// @ for the default value, "name"=- to delete. Returns false and describes
// the first problem in *error (with its line number) on malformed input.
bool ImportRegText(const std::string& text, SimRegistry* registry, std::string* error);
bool ImportRegFile(const std::string& path, SimRegistry* registry, std::string* error);

// Writes the key at `path` (e.g. "HKEY_LOCAL_MACHINE") and everything below
// it as an 8-bit "Windows Registry Editor Version 5.00" text: a string that
// ends with its one terminator as "text", a DWORD as dword:, anything else
// as hex(n): bytes. ImportRegText reads it back to the same keys and values.
std::string ExportRegText(const SimRegistry& registry, const std::string& path);

}  // namespace velnara::platform::sim
