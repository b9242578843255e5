// The Windows backend's system calls and registry roots under Wine.

#include "platform/win32/win32_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/windows_api.h"
#include "tests/wine/ui_automation.h"

namespace velnara::platform::win32 {
namespace {

// wine-run makes Wine report NT 5.2 SP2 unless told otherwise.
bool ReportsDefaultTestVersion() {
  char version[64] = {};
  const DWORD length = GetEnvironmentVariableA("VELNARA_WINE_VERSION", version, sizeof(version));
  return IsWine() && (length == 0 ? GetLastError() == ERROR_ENVVAR_NOT_FOUND
                                  : std::strcmp(version, "winxp64") == 0);
}

TEST(Win32System, VersionQueryFillsOnlyTheRecordItIsGiven) {
  Win32System system;
  OsVersionInfo extended;
  std::memset(&extended, 0, sizeof(extended));
  extended.size = kOsVersionInfoExSize;
  ASSERT_EQ(system.GetVersion(&extended), error::kSuccess);
  EXPECT_EQ(extended.platformId, ver::kPlatformNt);

  // The basic record is the first 148 bytes: the extended fields after it
  // keep whatever the caller had there.
  OsVersionInfo basic;
  std::memset(&basic, 0xAB, sizeof(basic));
  basic.size = kOsVersionInfoBasicSize;
  ASSERT_EQ(system.GetVersion(&basic), error::kSuccess);
  EXPECT_EQ(basic.majorVersion, extended.majorVersion);
  EXPECT_EQ(basic.minorVersion, extended.minorVersion);
  EXPECT_EQ(basic.servicePackMajor, 0xABABu);

  OsVersionInfo wrong = {};
  wrong.size = 100;
  EXPECT_EQ(system.GetVersion(&wrong), error::kInsufficientBuffer);

  if (ReportsDefaultTestVersion()) {
    EXPECT_EQ(extended.majorVersion, 5u);
    EXPECT_EQ(extended.minorVersion, 2u);
    EXPECT_EQ(extended.servicePackMajor, 2u);
  }
}

TEST(Win32System, SystemMessagesComeWithTheirTextOrWith317) {
  Win32System system;
  std::string text;
  ASSERT_EQ(system.FormatSystemMessage(error::kAccessDenied, &text), error::kSuccess);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find('\0'), std::string::npos);

  std::string untouched = "sentinel";
  EXPECT_EQ(system.FormatSystemMessage(0x2000F00Du, &untouched), error::kMessageNotFound);
  EXPECT_EQ(untouched, "sentinel");
}

TEST(Win32System, ModuleFileNameIsThisProgram) {
  const std::string name = Win32System().ModuleFileName();
  const std::string tail = "velnara_wine_tests.exe";
  ASSERT_GE(name.size(), tail.size());
  EXPECT_EQ(lstrcmpiA(name.substr(name.size() - tail.size()).c_str(), tail.c_str()), 0) << name;
  EXPECT_EQ(name.find('\0'), std::string::npos);
}

// The child half lives in wine_test_main.cpp: it registers an atexit handler
// that creates the marker file and then calls ExitProcess(status).
TEST(Win32System, ExitRunsTheProcessCleanUpAndKeepsAllBitsOfTheStatus) {
  char directory[MAX_PATH] = {};
  char marker[MAX_PATH] = {};
  ASSERT_NE(GetTempPathA(sizeof(directory), directory), 0u);
  ASSERT_NE(GetTempFileNameA(directory, "vel", 0, marker), 0u);
  ASSERT_TRUE(DeleteFileA(marker));

  wine_test::RunningProgram child;
  ASSERT_TRUE(child.Start(Win32System().ModuleFileName(),
                          std::string("--exit-with -1 \"") + marker + "\""));
  DWORD status = 0;
  ASSERT_TRUE(child.WaitForExit(20000, &status));
  EXPECT_EQ(status, 0xFFFFFFFFu);
  EXPECT_NE(GetFileAttributesA(marker), INVALID_FILE_ATTRIBUTES)
      << "the atexit handler did not run";
  DeleteFileA(marker);
}

// The lock the writers share is made with the access list asked for, and a
// second CreateMutex opens the same mutex rather than failing.
TEST(Win32System, AMutexIsMadeWithItsAccessListAndOpenedAgain) {
  Win32System system;
  const char* const name = "Local\\VelnaraBackendTest";
  MutexHandle bad = reinterpret_cast<MutexHandle>(1);
  EXPECT_NE(system.CreateMutex(name, "D:(Z;;;;;)", &bad), error::kSuccess);
  EXPECT_EQ(bad, nullptr);

  MutexHandle mutex = nullptr;
  ASSERT_EQ(system.CreateMutex(name, "D:P(A;;GA;;;SY)(A;;GA;;;BA)", &mutex), error::kSuccess);
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetSecurityInfo(mutex, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_NE(dacl, nullptr);
  std::string holders;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    holders += SidText(&ace->SidStart) + " ";
  }
  LocalFree(descriptor);
  EXPECT_EQ(holders, "S-1-5-18 S-1-5-32-544 ") << "no one else may open it";

  MutexHandle again = nullptr;
  ASSERT_EQ(system.CreateMutex(name, nullptr, &again), error::kSuccess);
  bool abandoned = true;
  EXPECT_EQ(system.WaitForMutex(mutex, 0, &abandoned), error::kSuccess);
  EXPECT_FALSE(abandoned);
  EXPECT_EQ(system.WaitForMutex(again, 0, &abandoned), error::kSuccess) << "one process, one mutex";
  EXPECT_EQ(system.ReleaseMutex(again), error::kSuccess);
  EXPECT_EQ(system.ReleaseMutex(mutex), error::kSuccess);
  EXPECT_EQ(system.CloseMutex(again), error::kSuccess);
  EXPECT_EQ(system.CloseMutex(mutex), error::kSuccess);
}

TEST(Win32Registry, PredefinedRootsReachTheRealHives) {
  EXPECT_EQ(ToHkey(kClassesRoot), HKEY_CLASSES_ROOT);
  EXPECT_EQ(ToHkey(kCurrentUser), HKEY_CURRENT_USER);
  EXPECT_EQ(ToHkey(kLocalMachine), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(ToHkey(kUsers), HKEY_USERS);

  Win32Registry registry;
  RawKey key = 0x5EED;
  ASSERT_EQ(registry.OpenKey(kLocalMachine, "SOFTWARE\\Microsoft", access::kKeyRead, &key),
            error::kSuccess);
  EXPECT_NE(key, kNoKey);
  char name[256];
  std::uint32_t chars = sizeof(name);
  EXPECT_EQ(registry.EnumKey(key, 0, name, &chars), error::kSuccess);
  EXPECT_EQ(registry.CloseKey(key), error::kSuccess);
}

TEST(Win32Registry, CreateKeyWithAnAccessListAndRefusesABadOne) {
  Win32Registry registry;
  const char* const path = "Software\\VelnaraBackendTest";
  registry.DeleteKey(kCurrentUser, path);  // left over from an aborted run

  RawKey key = 0x5EED;
  EXPECT_NE(registry.CreateKey(kCurrentUser, path, access::kKeyAllAccess, "D:(Z;;;;;)", &key),
            error::kSuccess);
  EXPECT_EQ(key, kNoKey);
  EXPECT_EQ(registry.OpenKey(kCurrentUser, path, access::kKeyRead, &key), error::kFileNotFound);

  ASSERT_EQ(registry.CreateKey(kCurrentUser, path, access::kKeyAllAccess | access::kReadControl,
                               "D:(A;;KA;;;WD)", &key),
            error::kSuccess);
  // The key carries exactly the access list asked for: one entry, Everyone.
  // (Wine drops the list that RegCreateKeyExA is given; the backend writes
  // it again.)
  char buffer[512] = {};
  DWORD size = sizeof(buffer);
  ASSERT_EQ(RegGetKeySecurity(ToHkey(key), DACL_SECURITY_INFORMATION, buffer, &size),
            ERROR_SUCCESS);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(buffer, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl != nullptr);
  ASSERT_EQ(dacl->AceCount, 1);
  ACCESS_ALLOWED_ACE* ace = nullptr;
  ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
  EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(ace->Mask, static_cast<ACCESS_MASK>(KEY_ALL_ACCESS));
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(
      AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  EXPECT_TRUE(EqualSid(&ace->SidStart, everyone));
  FreeSid(everyone);
  EXPECT_EQ(registry.CloseKey(key), error::kSuccess);
  EXPECT_EQ(registry.DeleteKey(kCurrentUser, path), error::kSuccess);
}

}  // namespace
}  // namespace velnara::platform::win32
