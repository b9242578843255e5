#include "platform/sim/call_log.h"

#include <algorithm>
#include <utility>

namespace velnara::platform::sim {

namespace {

// Whether `text` contains `part`, without regard to case (registry paths
// keep the case of whoever wrote them).
bool ContainsFolded(const std::string& text, const std::string& part) {
  if (part.empty()) return true;
  const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [&](char a, char b) { return fold(a) == fold(b); }) != text.end();
}

}  // namespace

// ERROR_PROCESS_ABORTED: what an ended process's calls come to.
constexpr ErrorCode kEnded = 1067;

bool CallLog::IsWrite(const std::string& function, const std::string& target, std::uint32_t value) {
  static const char* const kWrites[] = {
      "RegSetValueExA", "RegDeleteValueA",  "SetNamedSecurityInfoA",
      "ComDBClaimPort", "ComDBReleasePort", "MoveFileExA",
      "DeleteFileA",    "CreateDirectoryA", "ReportEventA"};
  for (const char* write : kWrites) {
    if (function == write) return true;
  }
  // A file opened to be written (not one opened to be read), and a write
  // to a file rather than to standard output or error.
  if (function == "CreateFileA") return value != 3;  // OPEN_EXISTING
  return function == "WriteFile" && target != "<stdout>" && target != "<stderr>";
}

void CallLog::KillAtWrite(std::size_t write) {
  killAt_ = writes_ + write;
}

ErrorCode CallLog::Enter(const char* function, std::string target, std::uint32_t value) {
  if (paused_ > 0) return error::kSuccess;
  if (killed_) {
    calls_.push_back(Call{function, std::move(target), value, kEnded});
    return kEnded;
  }
  if (IsWrite(function, target, value) && writes_++ == killAt_) {
    killed_ = true;
    calls_.push_back(Call{function, std::move(target), value, kEnded});
    throw ProcessKilled{killAt_};
  }
  const std::size_t index = entered_++;
  ErrorCode forced = error::kSuccess;
  for (const ByIndex& rule : byIndex_) {
    if (rule.index == index) forced = rule.code;
  }
  for (ByFunction& rule : byFunction_) {
    if (forced != error::kSuccess || rule.times == 0 || rule.function != function ||
        !ContainsFolded(target, rule.target)) {
      continue;
    }
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

void CallLog::Note(const char* function, std::string target, std::uint32_t value) {
  if (paused_ > 0) return;
  calls_.push_back(Call{function, std::move(target), value, error::kSuccess});
}

void CallLog::FailCall(std::size_t index, ErrorCode code) {
  byIndex_.push_back(ByIndex{index, code});
}

void CallLog::FailNext(const std::string& function, ErrorCode code, int skip, int times,
                       const std::string& target) {
  byFunction_.push_back(ByFunction{function, target, code, skip, times});
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
