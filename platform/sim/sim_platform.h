// A whole machine of the stand-in: registry, system, window system, access
// control, COM port database and files, every call of the program entered in one
// call log, and the Platform the program runs on.
#pragma once

#include "platform/platform.h"
#include "platform/sim/call_log.h"
#include "platform/sim/sim_com_port_database.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_security.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_window_system.h"

namespace velnara::platform::sim {

struct SimPlatform {
  SimPlatform() {
    registry.SetCallLog(&calls);
    system.SetCallLog(&calls);
    security.SetCallLog(&calls);
    comPorts.SetCallLog(&calls);
    windows.SetCallLog(&calls);
    files.SetCallLog(&calls);
  }
  SimPlatform(const SimPlatform&) = delete;
  SimPlatform& operator=(const SimPlatform&) = delete;

  CallLog calls;
  SimRegistry registry;
  SimSystem system;
  SimWindowSystem windows;
  SimSecurity security{registry};
  SimComPortDatabase comPorts{registry};
  SimFiles files;
  Platform platform{registry, system, windows, security, comPorts, files};
};

}  // namespace velnara::platform::sim
