// The test of the running Windows version: the program runs on Windows 2000
// with Service Pack 2 or later, Windows XP and the other NT 5.2 systems.
#pragma once

#include "platform/system.h"

namespace velnara {

// Decides for a version record as the system filled it.
bool IsSupportedVersion(const platform::OsVersionInfo& version);

// Queries the version (the extended record first, then the basic one) and
// decides. A system that answers neither query is not supported.
bool IsSupportedSystem(platform::System& system);

constexpr const char* kUnsupportedSystemText =
    "Velnara will only run on Windows XP or Windows 2000 SP2,SP3 or SP4";

}  // namespace velnara
