// The stand-in's version query, system message texts and process exit.
#include "platform/sim/sim_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace velnara::platform::sim {
namespace {

constexpr std::uint8_t kSentinel = 0xCC;

OsVersionInfo Prefilled(std::uint32_t size) {
  OsVersionInfo info;
  std::memset(&info, kSentinel, sizeof info);
  info.size = size;
  return info;
}

TEST(SimSystemVersion, BothRecordSizesReportWindowsXpX64ByDefault) {
  SimSystem system;
  OsVersionInfo info = Prefilled(kOsVersionInfoExSize);
  ASSERT_EQ(error::kSuccess, system.GetVersion(&info));
  EXPECT_EQ(kOsVersionInfoExSize, info.size);
  EXPECT_EQ(ver::kPlatformNt, info.platformId);
  EXPECT_EQ(5u, info.majorVersion);
  EXPECT_EQ(2u, info.minorVersion);
  EXPECT_EQ(3790u, info.buildNumber);
  EXPECT_STREQ("Service Pack 2", info.csdVersion);
  EXPECT_EQ(2, info.servicePackMajor);
  EXPECT_EQ(0, info.servicePackMinor);
  EXPECT_EQ(1, info.productType);  // workstation

  // The basic record ends before the service pack numbers: nothing past it.
  info = Prefilled(kOsVersionInfoBasicSize);
  ASSERT_EQ(error::kSuccess, system.GetVersion(&info));
  EXPECT_EQ(3790u, info.buildNumber);
  EXPECT_STREQ("Service Pack 2", info.csdVersion);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&info);
  for (std::size_t i = kOsVersionInfoBasicSize; i < sizeof info; ++i) {
    EXPECT_EQ(kSentinel, bytes[i]) << "byte " << i;
  }
  EXPECT_EQ(2, system.VersionQueryCount());
}

TEST(SimSystemVersion, OtherSizesAndForcedFailuresAnswerInsufficientBuffer) {
  SimSystem system;
  for (std::uint32_t size : {0u, 147u, 150u, 157u}) {
    OsVersionInfo info = Prefilled(size);
    EXPECT_EQ(error::kInsufficientBuffer, system.GetVersion(&info)) << size;
    EXPECT_EQ(kSentinel, static_cast<std::uint8_t>(info.csdVersion[0])) << size;
  }
  system.FailExtendedQuery(true);
  OsVersionInfo info = Prefilled(kOsVersionInfoExSize);
  EXPECT_EQ(error::kInsufficientBuffer, system.GetVersion(&info));
  info = Prefilled(kOsVersionInfoBasicSize);
  EXPECT_EQ(error::kSuccess, system.GetVersion(&info));
  system.FailExtendedQuery(false);
  system.FailBasicQuery(true);
  EXPECT_EQ(error::kInsufficientBuffer, system.GetVersion(&info));
  info = Prefilled(kOsVersionInfoExSize);
  EXPECT_EQ(error::kSuccess, system.GetVersion(&info));
}

TEST(SimSystemVersion, SetVersionFillsTheBuildAndServicePackText) {
  SimSystem system;
  system.SetVersion(ver::kPlatformNt, 5, 0, 4);
  OsVersionInfo info = Prefilled(kOsVersionInfoExSize);
  ASSERT_EQ(error::kSuccess, system.GetVersion(&info));
  EXPECT_EQ(2195u, info.buildNumber);
  EXPECT_STREQ("Service Pack 4", info.csdVersion);
  EXPECT_EQ(4, info.servicePackMajor);

  system.SetVersion(ver::kPlatformNt, 5, 1, 0);
  info = Prefilled(kOsVersionInfoExSize);
  ASSERT_EQ(error::kSuccess, system.GetVersion(&info));
  EXPECT_EQ(2600u, info.buildNumber);
  EXPECT_STREQ("", info.csdVersion);
  EXPECT_EQ(0, info.servicePackMajor);
}

TEST(SimSystemMessages, WindowsEnglishTextsEndWithALineBreak) {
  SimSystem system;
  struct Row {
    ErrorCode code;
    const char* text;
  };
  const Row rows[] = {
      {0, "The operation completed successfully.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {5, "Access is denied.\r\n"},
      {234, "More data is available.\r\n"},
      {259, "No more data is available.\r\n"},
      {1300, "Not all privileges or groups referenced are assigned to the caller.\r\n"},
      {1314, "A required privilege is not held by the client.\r\n"},
      {1332, "No mapping between account names and security IDs was done.\r\n"},
  };
  for (const Row& row : rows) {
    std::string text;
    ASSERT_EQ(error::kSuccess, system.FormatSystemMessage(row.code, &text)) << row.code;
    EXPECT_EQ(row.text, text);
  }
  for (ErrorCode code : {6u, 32u, 87u, 122u, 161u, 1313u, 1018u}) {
    std::string text;
    ASSERT_EQ(error::kSuccess, system.FormatSystemMessage(code, &text)) << code;
    ASSERT_GT(text.size(), 2u) << code;
    EXPECT_EQ("\r\n", text.substr(text.size() - 2)) << code;
  }
}

TEST(SimSystemMessages, ACodeWithoutTextAnswers317AndLeavesTheTextAlone) {
  SimSystem system;
  std::string text = "untouched";
  EXPECT_EQ(error::kMessageNotFound, system.FormatSystemMessage(0xDEAD, &text));
  EXPECT_EQ("untouched", text);

  system.RemoveMessageText(5);
  EXPECT_EQ(error::kMessageNotFound, system.FormatSystemMessage(5, &text));
  EXPECT_EQ("untouched", text);
}

TEST(SimSystemRestart, TheRestartNeedsTheShutdownPrivilegeEnabled) {
  for (const bool held : {true, false}) {
    SCOPED_TRACE(held ? "an administrator" : "an account without the privilege");
    SimSystem system;
    CallLog log;
    system.SetCallLog(&log);
    system.SetHoldsShutdownPrivilege(held);
    constexpr std::uint32_t kRebootForce = 6;
    // Not yet enabled: refused as Windows refuses it.
    EXPECT_EQ(1314u, system.ExitWindowsEx(kRebootForce, 0));
    {
      Token token(system);
      ASSERT_EQ(error::kSuccess, token.OpenForProcess(0x28));
      EXPECT_EQ(1, system.OpenTokenCount());
      Luid luid{};
      ASSERT_EQ(error::kSuccess,
                system.LookupPrivilegeValue(nullptr, "SeShutdownPrivilege", &luid));
      // Enabling answers success whether the token holds the privilege or not.
      EXPECT_EQ(error::kSuccess, system.AdjustTokenPrivileges(token.get(), false, {1, luid, 2}));
    }
    EXPECT_EQ(0, system.OpenTokenCount());
    EXPECT_EQ(held ? 0u : 1314u, system.ExitWindowsEx(kRebootForce, 0));
    EXPECT_EQ(held ? std::vector<std::uint32_t>{kRebootForce} : std::vector<std::uint32_t>{},
              system.RestartRequests());
    // A token opened without TOKEN_ADJUST_PRIVILEGES may not be adjusted.
    Token reader(system);
    ASSERT_EQ(error::kSuccess, reader.OpenForProcess(0x8));
    EXPECT_EQ(error::kAccessDenied,
              system.AdjustTokenPrivileges(reader.get(), false, {1, {19, 0}, 2}));
    std::vector<std::string> calls;
    for (const Call& call : log.calls()) calls.push_back(call.function);
    EXPECT_EQ(
        (std::vector<std::string>{"ExitWindowsEx", "OpenProcessToken", "LookupPrivilegeValueA",
                                  "AdjustTokenPrivileges", "CloseHandle", "ExitWindowsEx",
                                  "OpenProcessToken", "AdjustTokenPrivileges"}),
        calls);
  }
}

TEST(SimCallLog, FailsTheCallsItIsToldToByIndexOrByName) {
  CallLog log;
  log.FailCall(1, 5);
  log.FailNext("B", 8, 1, 2);
  const char* made[] = {"A", "A", "B", "B", "B", "B", "A"};
  std::vector<ErrorCode> answers;
  for (const char* function : made) answers.push_back(log.Enter(function));
  EXPECT_EQ((std::vector<ErrorCode>{0, 5, 0, 8, 8, 0, 0}), answers);
  {
    const CallLog::Pause quiet(&log);
    EXPECT_EQ(0u, log.Enter("B"));
  }
  EXPECT_EQ(7u, log.calls().size());
  EXPECT_EQ(5u, log.calls()[1].forced);
  // A target narrows the rule, without regard to case; a call without a
  // target meets a rule without one.
  log.FailNext("C", 6, 0, 1, "serialcomm");
  EXPECT_EQ(0u, log.Enter("C", "HKLM\\Ports"));
  EXPECT_EQ(6u, log.Enter("C", "HKLM\\SERIALCOMM : x"));
  log.FailNext("D", 7);
  EXPECT_EQ(7u, log.Enter("D"));
  log.Clear();
  log.ClearFailures();
  EXPECT_EQ(0u, log.Enter("A"));
}

TEST(SimSystemExit, ExitProcessEndsTheRunWithItsStatus) {
  SimSystem system;
  try {
    system.ExitProcess(-1);
    FAIL() << "ExitProcess returned";
  } catch (const ProcessExit& exit) {
    EXPECT_EQ(-1, exit.status);
  }
}

}  // namespace
}  // namespace velnara::platform::sim
