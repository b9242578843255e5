// The registry places of a port as a walk reads and writes them whole: a
// value's type and bytes, or its absence.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "safety/journal.h"

namespace velnara {

// A value read whole, of any size: absent (success, nothing there), or its
// type and data. The failed call's code when it cannot be read.
platform::ErrorCode ReadWholeValue(const platform::RegKey& key, const std::string& name,
                                   ValueState* state);

// A value read into a buffer of `capacity` bytes, as the port commit's
// fixed buffers read: ERROR_MORE_DATA for one that does not fit.
platform::ErrorCode ReadValueInto(const platform::RegKey& key, const std::string& name,
                                  std::uint32_t capacity, ValueState* state);

// Makes the value hold `state`: its data, or no value at all (a value that
// is not there is no failure then).
platform::ErrorCode WriteValueState(const platform::RegKey& key, const std::string& name,
                                    const ValueState& state);

// A REG_SZ of `text` with its terminator, as the commit writes its names.
ValueState StringState(const std::string& text);

// The text of a string value: up to its terminator, or all of it.
std::string StateText(const ValueState& state);

}  // namespace velnara
