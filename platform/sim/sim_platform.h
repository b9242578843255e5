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

  // The machine as the program finds it when it starts again after the
  // program on `ended` was killed: its registry, its files and its named
  // mutexes, every mutex the ended program (process 1) held abandoned.
  // Nothing else of the ended process remains: handles, windows, its
  // standard streams. This machine must be new.
  void StartAfter(const SimPlatform& ended) {
    registry.CopyKeysFrom(ended.registry);
    files.CopyDriveFrom(ended.files);
    system.CopyMutexesFrom(ended.system);
    system.AbandonMutexesOf(1);
  }

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
