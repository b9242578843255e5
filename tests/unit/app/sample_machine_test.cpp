// The demo's sample machine, loaded into the stand-in with the access lists
// of a real machine: the program lists exactly its cards and ports.
#include <gtest/gtest.h>

#include "platform/sim/machine_access.h"
#include "platform/sim/reg_file.h"
#include "sim_machine.h"

namespace velnara::testing {
namespace {

using namespace platform;

std::string Ports(int first, int last) {
  std::string lines;
  for (int n = first; n <= last; ++n) lines += "    COM" + std::to_string(n) + "\n";
  return lines;
}

TEST(SampleMachine, ShowsEveryCardWithItsPortsAndNoDecoy) {
  SimMachine machine;
  std::string problem;
  ASSERT_TRUE(sim::ImportRegFile(VELNARA_SOURCE_DIR "/samples/demo-machine.reg", &machine.registry,
                                 &problem))
      << problem;
  sim::ApplyDeviceKeyAccessRules(machine.registry);

  std::string outline;
  machine.windows.Then("read the tree", [&outline](sim::SimUser& user) {
    outline = Outline(user.Tree(IDC_PORT_TREE));
  });
  machine.windows.Then("exit", [](sim::SimUser& user) { user.Click(id::kOk); });
  EXPECT_EQ(machine.Run(), 0);
  machine.ExpectCleanScript();

  EXPECT_EQ(outline,
            "PCI Bus\n"
            "  Tarvex 880-4 RJ45\n" +
                Ports(3, 6) + "  Tarvex 880-16 (First 4 ports)\n" + Ports(7, 10) +
                "  Tarvex 880-16 (Other ports)\n" + Ports(11, 22) + "  Tarvex Universal 880-16\n" +
                Ports(31, 46) + "  Tarvex Universal 880-8 RJ11 SLS\n" + Ports(23, 30));
  EXPECT_TRUE(machine.windows.MessageBoxes().empty());
  // Discovery only reads, and opens every key with KEY_READ.
  int opens = 0;
  for (const sim::Call& call : machine.calls.calls()) {
    EXPECT_NE(call.function, "RegSetValueExA");
    EXPECT_NE(call.function, "RegDeleteValueA");
    EXPECT_NE(call.function, "RegCreateKeyExA");
    if (call.function != "RegOpenKeyExA") continue;
    ++opens;
    EXPECT_EQ(call.value, 0x20019u) << call.target;
  }
  EXPECT_GT(opens, 50);
}

}  // namespace
}  // namespace velnara::testing
