// The facilities the program logic works through.
#pragma once

#include "platform/com_port_database.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "platform/system.h"
#include "platform/window_system.h"

namespace velnara::platform {

struct Platform {
  Registry& registry;
  System& system;
  WindowSystem& windows;
  Security& security;
  ComPortDatabase& comPorts;
  Files& files;
};

}  // namespace velnara::platform
