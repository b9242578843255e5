// The stand-in's version source, system message texts, program file name
// and process exit.
#pragma once

#include <memory>
#include <string>

#include "platform/system.h"

namespace velnara::platform::sim {

// Thrown by SimSystem::ExitProcess: ends the program's run, not the test.
struct ProcessExit {
  int status;
};

class SimSystem : public System {
 public:
  SimSystem();

  ErrorCode GetVersion(OsVersionInfo* info) override;
  ErrorCode FormatSystemMessage(ErrorCode code, std::string* text) override;
  std::string ModuleFileName() override { return moduleFileName_; }
  [[noreturn]] void ExitProcess(int status) override;

  // The system the version queries report; by default Windows XP x64
  // (NT 5.2 build 3790, service pack 2). Both record sizes succeed.
  void SetVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                  std::uint16_t servicePackMajor);
  // Makes the 156-byte (extended) or the 148-byte (basic) query fail with
  // ERROR_INSUFFICIENT_BUFFER (122), as a system that does not know that
  // record size answers.
  void FailExtendedQuery(bool fail) { failExtended_ = fail; }
  void FailBasicQuery(bool fail) { failBasic_ = fail; }
  int VersionQueryCount() const { return versionQueries_; }

  // The message texts are Windows's English ones; a test may replace or
  // remove one (a code without text answers 317).
  void SetMessageText(ErrorCode code, const std::string& text);
  void RemoveMessageText(ErrorCode code);

  void SetModuleFileName(const std::string& path) { moduleFileName_ = path; }

 private:
  OsVersionInfo version_{};
  bool failExtended_ = false;
  bool failBasic_ = false;
  int versionQueries_ = 0;
  std::string moduleFileName_ = "C:\\Program Files\\Velnara\\Velnara.exe";
  struct Texts;
  std::shared_ptr<Texts> texts_;
};

}  // namespace velnara::platform::sim
