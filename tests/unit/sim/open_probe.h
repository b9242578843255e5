// Opens a key only to see what the open answers, then closes it again. A
// failed open must leave the handle null: the sentinel proves it was written.
#pragma once

#include <gtest/gtest.h>

#include "platform/sim/sim_registry.h"

namespace velnara::platform::sim {

inline ErrorCode ProbeOpen(SimRegistry& registry, RawKey parent, const char* path,
                           AccessMask desired) {
  RawKey key = 0xDEAD;
  const ErrorCode code = registry.OpenKey(parent, path, desired, &key);
  if (code == error::kSuccess) {
    registry.CloseKey(key);
  } else {
    EXPECT_EQ(kNoKey, key) << path;
  }
  return code;
}

}  // namespace velnara::platform::sim
