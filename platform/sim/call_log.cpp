#include "platform/sim/call_log.h"

#include <utility>

namespace velnara::platform::sim {

ErrorCode CallLog::Enter(const char* function, std::string target, std::uint32_t value) {
  if (paused_ > 0) return error::kSuccess;
  const std::size_t index = entered_++;
  ErrorCode forced = error::kSuccess;
  for (const ByIndex& rule : byIndex_) {
    if (rule.index == index) forced = rule.code;
  }
  for (ByFunction& rule : byFunction_) {
    if (forced != error::kSuccess || rule.times == 0 || rule.function != function) continue;
    if (rule.skip > 0) {
      --rule.skip;
      continue;
    }
    forced = rule.code;
    if (rule.times > 0) --rule.times;
  }
  calls_.push_back(Call{function, std::move(target), value, forced});
  return forced;
}

void CallLog::FailCall(std::size_t index, ErrorCode code) {
  byIndex_.push_back(ByIndex{index, code});
}

void CallLog::FailNext(const std::string& function, ErrorCode code, int skip, int times) {
  byFunction_.push_back(ByFunction{function, code, skip, times});
}

void CallLog::ClearFailures() {
  byIndex_.clear();
  byFunction_.clear();
}

std::vector<Call> CallLog::CallsOf(const std::string& function) const {
  std::vector<Call> found;
  for (const Call& call : calls_) {
    if (call.function == function) found.push_back(call);
  }
  return found;
}

}  // namespace velnara::platform::sim
