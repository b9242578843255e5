// The three facilities the program logic works through.
#pragma once

#include "platform/registry.h"
#include "platform/system.h"
#include "platform/window_system.h"

namespace velnara::platform {

struct Platform {
  Registry& registry;
  System& system;
  WindowSystem& windows;
};

}  // namespace velnara::platform
