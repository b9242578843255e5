#include "commit/port_places.h"

#include <algorithm>

namespace velnara {

using namespace platform;

ErrorCode ReadWholeValue(const RegKey& key, const std::string& name, ValueState* state) {
  *state = ValueState();
  // Most values fit a small buffer; a larger one answers its size, and a
  // value that grows meanwhile is asked again.
  std::vector<std::uint8_t> data(64);
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::uint32_t type = 0;
    std::uint32_t bytes = static_cast<std::uint32_t>(data.size());
    const ErrorCode code = key.QueryValue(name.c_str(), &type, data.data(), &bytes);
    if (code == error::kFileNotFound) return error::kSuccess;
    if (code == error::kMoreData) {
      data.resize(bytes);
      continue;
    }
    if (code != error::kSuccess) return code;
    data.resize(bytes);
    *state = ValueState{true, type, std::move(data)};
    return error::kSuccess;
  }
  return error::kMoreData;
}

ErrorCode ReadValueInto(const RegKey& key, const std::string& name, std::uint32_t capacity,
                        ValueState* state) {
  *state = ValueState();
  std::vector<std::uint8_t> data(capacity);
  std::uint32_t type = 0;
  std::uint32_t bytes = capacity;
  const ErrorCode code = key.QueryValue(name.c_str(), &type, data.data(), &bytes);
  if (code != error::kSuccess) return code;
  data.resize(bytes);
  *state = ValueState{true, type, std::move(data)};
  return error::kSuccess;
}

ErrorCode WriteValueState(const RegKey& key, const std::string& name, const ValueState& state) {
  if (state.exists) {
    return key.SetValue(name.c_str(), state.type, state.data.data(),
                        static_cast<std::uint32_t>(state.data.size()));
  }
  const ErrorCode code = key.DeleteValue(name.c_str());
  return code == error::kFileNotFound ? error::kSuccess : code;
}

ValueState StringState(const std::string& text) {
  ValueState state{true, value_type::kSz, std::vector<std::uint8_t>(text.begin(), text.end())};
  state.data.push_back(0);
  return state;
}

std::string StateText(const ValueState& state) {
  const auto end = std::find(state.data.begin(), state.data.end(), std::uint8_t{0});
  return std::string(state.data.begin(), end);
}

}  // namespace velnara
