// The stand-in's version query, system message texts and process exit.
#include "platform/sim/sim_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

  const SimSystem before = system;
  system.RemoveMessageText(5);
  system.SetMessageText(0, "Success.\r\n");
  EXPECT_EQ(error::kMessageNotFound, system.FormatSystemMessage(5, &text));
  ASSERT_EQ(error::kSuccess, system.FormatSystemMessage(0, &text));
  EXPECT_EQ("Success.\r\n", text);
  // A copy made before keeps its own texts.
  SimSystem copy = before;
  ASSERT_EQ(error::kSuccess, copy.FormatSystemMessage(5, &text));
  EXPECT_EQ("Access is denied.\r\n", text);
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
