#include "ui/platform_gate.h"

#include <cstring>

namespace velnara {

using namespace platform;

bool IsSupportedVersion(const OsVersionInfo& version) {
  if (version.platformId != ver::kPlatformNt) return false;
  if (version.majorVersion != 5) return false;
  switch (version.minorVersion) {
    case 2:  // Windows XP x64, Server 2003
    case 1:  // Windows XP
      return true;
    case 0:  // Windows 2000 from Service Pack 2 on
      return version.servicePackMajor >= 2;
    default:
      return false;
  }
}

bool IsSupportedSystem(System& system) {
  OsVersionInfo version;
  std::memset(&version, 0, sizeof version);
  version.size = kOsVersionInfoExSize;
  if (system.GetVersion(&version) != error::kSuccess) {
    // Systems before NT4 SP6 know only the basic record; its service-pack
    // fields stay zero.
    version.size = kOsVersionInfoBasicSize;
    if (system.GetVersion(&version) != error::kSuccess) return false;
  }
  return IsSupportedVersion(version);
}

}  // namespace velnara
