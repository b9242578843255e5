// The program's own key access grant and revoke on the real calls: a key of
// HKEY_LOCAL_MACHINE locked as Windows locks a port device key (SYSTEM full
// control, Administrators read) is opened to the Administrators for setting
// values, written, and its list set back, read back with the system's SDDL
// writer after each step. Message boxes go to the stand-in's window system, so a failure
// shows in the test instead of waiting for a click.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "commit/key_access.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_window_system.h"
#include "platform/win32/win32_com_port_database.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_security.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/windows_api.h"
#include "tests/wine/wine_machine.h"

namespace velnara {
namespace {

using namespace platform;

constexpr char kBase[] = "SOFTWARE\\VelnaraKeyAccess";
constexpr char kPort[] = "SOFTWARE\\VelnaraKeyAccess\\Port";
constexpr char kParameters[] = "SOFTWARE\\VelnaraKeyAccess\\Port\\Device Parameters";
constexpr char kLocked[] = "D:P(A;;KA;;;SY)(A;;KRSD;;;BA)";

// The entries of a list for `sid`, as "allow 0x..." with generic rights mapped.
std::vector<std::string> EntriesOf(const std::string& sddl, const std::string& sid) {
  sim::Dacl dacl;
  EXPECT_TRUE(sim::ParseSddlDacl(sddl, &dacl)) << sddl;
  std::vector<std::string> entries;
  for (const sim::Ace& ace : dacl.aces) {
    if (ace.sid != sid) continue;
    AccessMask mask = ace.mask & ~access::kGenericWrite;
    if (ace.mask & access::kGenericWrite) mask |= access::kKeyWrite;
    char text[48];
    std::snprintf(text, sizeof text, "%s 0x%X", ace.allow ? "allow" : "deny",
                  static_cast<unsigned>(mask));
    entries.push_back(text);
  }
  return entries;
}

class KeyAccessWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    Cleanup();
    RegKey key(registry_);
    ASSERT_EQ(error::kSuccess, key.Create(kLocalMachine, kParameters, access::kKeyRead));
    key.Close();
    ASSERT_TRUE(Lock(kParameters));
    ASSERT_TRUE(Lock(kPort));
  }
  void TearDown() override { Cleanup(); }

  void Cleanup() {
    registry_.DeleteKey(kLocalMachine, kParameters);
    registry_.DeleteKey(kLocalMachine, kPort);
    registry_.DeleteKey(kLocalMachine, kBase);
  }
  static bool Lock(const char* path) { return wine_test::SetDaclSddl(path, kLocked); }
  ErrorCode OpenForWriting(const char* path) {
    RegKey key(registry_);
    return key.Open(kLocalMachine, path, access::kKeySetValue);
  }

  win32::Win32Registry registry_;
  win32::Win32System system_;
  sim::SimWindowSystem windows_;
  win32::Win32Security security_;
  std::unique_ptr<ComPortDatabase> comPorts_ = win32::MakeComPortDatabase(registry_);
  win32::Win32Files files_;
  Platform platform_{registry_, system_, windows_, security_, *comPorts_, files_};
  ErrorReporter reporter_{platform_};
};

TEST_F(KeyAccessWin32, TheWindowOpensALockedKeyToAdministratorsAndSetsItsListBack) {
  const std::string locked = wine_test::DaclSddl(kPort);
  EXPECT_EQ(error::kAccessDenied, OpenForWriting(kPort));

  KeyList list(security_);
  list.ReadForWindow(reporter_, kPort);
  KeyAccessWindow window(security_, reporter_, kPort, list);
  window.Open();
  const std::string granted = wine_test::DaclSddl(kPort);
  // Wine adds an entry of its own where Windows merges it into the
  // Administrators' read entry; either way nobody else gains anything.
  const std::vector<std::string> administrators = EntriesOf(granted, sim::kSidAdministrators);
  EXPECT_NE(std::find(administrators.begin(), administrators.end(), "allow 0x2"),
            administrators.end())
      << granted;
  EXPECT_TRUE(EntriesOf(granted, sim::kSidEveryone).empty()) << granted;
  EXPECT_TRUE(EntriesOf(granted, sim::kSidUsers).empty()) << granted;
  RegKey key(registry_);
  ASSERT_EQ(error::kSuccess, key.Open(kLocalMachine, kPort, access::kKeySetValue));
  EXPECT_EQ(error::kSuccess, key.SetString("FriendlyName", "Tarvex 880 Port (COM7)"));
  key.Close();
  // The entry is for the key alone.
  EXPECT_EQ(error::kAccessDenied, OpenForWriting(kParameters));

  window.Close();
  const std::string revoked = wine_test::DaclSddl(kPort);
  EXPECT_EQ(error::kAccessDenied, OpenForWriting(kPort));
  // The entries are those from before the grant. (Windows keeps the list
  // protected; Wine's SetNamedSecurityInfoA drops the flag, so only the
  // entries are compared.)
  EXPECT_EQ(locked.substr(locked.find('(')), revoked.substr(revoked.find('(')));

  EXPECT_TRUE(windows_.MessageBoxes().empty());
}

TEST_F(KeyAccessWin32, AMissingKeyIsReportedWithTheCallsOwnCode) {
  windows_.Answer(id::kOk);
  KeyList list(security_);
  list.ReadForWindow(reporter_, std::string(kPort) + "\\Missing");
  ASSERT_EQ(1u, windows_.MessageBoxes().size());
  EXPECT_EQ("GetNamedSecurityInfo Failed", windows_.MessageBoxes()[0].caption);
  std::string text;
  ASSERT_EQ(error::kSuccess, system_.FormatSystemMessage(error::kFileNotFound, &text));
  EXPECT_EQ(text, windows_.MessageBoxes()[0].text);
}

}  // namespace
}  // namespace velnara
