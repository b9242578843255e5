// Board discovery and port enumeration on seeded machines, read back from
// the main dialog's tree as the user sees it.
#include <gtest/gtest.h>

#include <map>

#include "discovery/board_discovery.h"
#include "discovery/port_enumeration.h"
#include "rename/com_name_holders.h"
#include "sim_machine.h"

namespace velnara::testing {
namespace {

using namespace platform;

class DiscoveryTest : public ::testing::Test {
 protected:
  // Runs the program, takes the tree and the board list as the dialog
  // opened, and leaves with Exit.
  void Discover() {
    machine.registry.ResetMaxOpenHandleCount();
    machine.windows.Then("read the tree", [this](sim::SimUser& user) {
      tree = user.Tree(IDC_PORT_TREE);
      outline = Outline(tree);
      CopyRecords(tree);  // the records are freed when the dialog ends
      openAfterDiscovery = machine.registry.OpenHandleCount();
    });
    machine.windows.Then("exit", [](sim::SimUser& user) { user.Click(id::kOk); });
    EXPECT_EQ(machine.Run(), 0);
    machine.ExpectCleanScript();
    EXPECT_EQ(openAfterDiscovery, 0) << "discovery left keys open";
    EXPECT_LE(machine.registry.MaxOpenHandleCount(), 4);
  }

  void CopyRecords(const std::vector<sim::TreeNode>& nodes) {
    for (const sim::TreeNode& node : nodes) {
      if (node.data != 0) records[node.data] = *reinterpret_cast<const PortRecord*>(node.data);
      CopyRecords(node.children);
    }
  }
  // The port record behind a port item, as it was while the dialog ran.
  const PortRecord* Record(const sim::TreeNode& node) const {
    const auto found = records.find(node.data);
    return found == records.end() ? nullptr : &found->second;
  }

  SimMachine machine;
  std::map<std::intptr_t, PortRecord> records;
  std::vector<sim::TreeNode> tree;
  std::string outline;
  int openAfterDiscovery = -1;
};

TEST_F(DiscoveryTest, FindsCardsOfEveryLetterWithTheirPortsInOrder) {
  CardSpec a;  // DEV_8014, letter A
  CardSpec s;
  s.identifier = "VEN_1F5A&DEV_8023&SUBSYS_00011F5A&REV_02";
  s.instance = "3&1111&0&20";
  s.bus = 12, s.device = 3, s.function = 1, s.prefix = "5&aa&0";
  CardSpec u;
  u.identifier = "VEN_1F5A&DEV_802A";
  u.bus = 10, u.device = 4, u.prefix = "6&bb&1";
  AddCard(machine.registry, a);
  AddPorts(machine.registry, a, 'A', {"COM3", "COM4", "COM5", "COM6"});
  AddCard(machine.registry, s);
  AddPorts(machine.registry, s, 'S', {"COM7", "COM8"});
  AddCard(machine.registry, u);
  std::vector<std::string> many;
  for (int i = 0; i < 12; ++i) many.push_back("COM" + std::to_string(20 + i));
  AddPorts(machine.registry, u, 'U', many);

  Discover();

  EXPECT_EQ(outline,
            "PCI Bus\n"
            "  Tarvex 880-4 RJ45\n    COM3\n    COM4\n    COM5\n    COM6\n"
            "  Tarvex Universal 880-8 RJ11 SLS\n    COM7\n    COM8\n"
            "  Tarvex Universal 880-4 RJ45\n"
            "    COM20\n    COM21\n    COM22\n    COM23\n    COM24\n    COM25\n"
            "    COM26\n    COM27\n    COM28\n    COM29\n    COM30\n    COM31\n");
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_TRUE(tree[0].expanded);
  EXPECT_EQ(tree[0].data, 0);
  const sim::TreeNode& unit = tree[0].children[2];
  EXPECT_TRUE(unit.expanded);
  EXPECT_EQ(unit.data, 0) << "board items carry no item data";
  // Port items carry their records; bus 10, device 4, port 11 -> 0a04000b.
  const auto* port11 = Record(unit.children[11]);
  ASSERT_NE(port11, nullptr);
  EXPECT_EQ(port11->locationCode, 0x0A04000Bu);
  EXPECT_STREQ(port11->portName, "COM31");
  EXPECT_STREQ(port11->parentIdPrefix, "6&bb&1");
  EXPECT_EQ(port11->enumeratorLetter, 'U');
  EXPECT_EQ(PortDeviceKeyName(port11->parentIdPrefix, port11->locationCode), "6&bb&1&0a04000b");
}

TEST_F(DiscoveryTest, LocationCodesCarryBusDeviceAndFunctionBytes) {
  std::uint32_t code = 0;
  ASSERT_TRUE(ParseLocation("PCI bus 2, device 9, function 0", &code));
  EXPECT_EQ(code, 0x02090000u);
  ASSERT_TRUE(ParseLocation("PCI bus 12, device 3, function 1", &code));
  EXPECT_EQ(code, 0x0C030100u);
  ASSERT_TRUE(ParseLocation("PCI bus 255, device 31, function 7", &code));
  EXPECT_EQ(code, 0xFF1F0700u);
  // Texts that do not give three numbers a port key could match.
  for (const char* bad : {"PCI bus 2, device 9", "on the motherboard",
                          "PCI bus 256, device 0, function 0", "PCI bus 1, device 32, function 0",
                          "PCI bus 1, device 2, function 8", "PCI bus -1, device 2, function 0"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseLocation(bad, &code));
  }
}

TEST_F(DiscoveryTest, NameFilterAndModelRowsDecideWhichIdentifierKeysYieldBoards) {
  EXPECT_TRUE(PassesNameFilter("VEN_1F5A&DEV_8010&SUBSYS_1"));
  EXPECT_TRUE(PassesNameFilter("VEN_1F5A&DEV_801C&anything"));
  EXPECT_TRUE(PassesNameFilter("VEN_1F5A&DEV_802"));
  EXPECT_FALSE(PassesNameFilter("VEN_1F5A&DEV_8030"));
  EXPECT_FALSE(PassesNameFilter("ven_1f5a&dev_8010"));
  EXPECT_FALSE(PassesNameFilter("VEN_1F5A&DEV_80"));

  CardSpec decoy;  // passes the filter, but there is no such model
  decoy.identifier = "VEN_1F5A&DEV_801C&SUBSYS_0";
  AddCard(machine.registry, decoy);
  AddPorts(machine.registry, decoy, 'A', {"COM3"});
  CardSpec later;
  later.identifier = "VEN_1F5A&DEV_8030";
  AddCard(machine.registry, later);
  CardSpec lower;
  lower.identifier = "ven_1f5a&dev_8010";
  AddCard(machine.registry, lower);
  machine.registry.CreateKeyAt(std::string(kPci) + "VEN_8086&DEV_7190\\0&0\\Control");

  Discover();
  EXPECT_EQ(outline, "PCI Bus\n");
  EXPECT_TRUE(machine.windows.MessageBoxes().empty()) << "no card is not an error";
}

TEST_F(DiscoveryTest, SkipsInstancesWithoutControlOrValuesButExaminesTheNext) {
  CardSpec removed;
  removed.instance = "1-removed";
  removed.control = false;
  removed.prefix = "7&1&0";
  AddCard(machine.registry, removed);
  AddPorts(machine.registry, removed, 'A', {"COM40"});

  // An instance without ParentIdPrefix.
  const std::string noPrefixKey = std::string(kPci) + CardSpec{}.identifier + "\\2-no-prefix";
  machine.registry.SetStringAt(noPrefixKey, "LocationInformation", Location(2, 9, 0));
  machine.registry.CreateKeyAt(noPrefixKey + "\\Control");

  CardSpec full;  // a 128-byte location without a terminator is not read past its buffer
  full.instance = "3-full-location";
  const std::string fullKey = AddCard(machine.registry, full);
  machine.registry.SetValueAt(fullKey, "LocationInformation", value_type::kSz,
                              std::vector<std::uint8_t>(128, 'P'));

  CardSpec good;
  good.instance = "4-good";
  good.prefix = "7&4&0";
  AddCard(machine.registry, good);
  AddPorts(machine.registry, good, 'A', {"COM9"});

  Discover();
  EXPECT_EQ(outline, "PCI Bus\n  Tarvex 880-4 RJ45\n    COM9\n");
}

TEST_F(DiscoveryTest, PortLoopSkipsUnreadableNamesAndStopsAtTheFirstGap) {
  CardSpec card;
  AddCard(machine.registry, card);
  AddPorts(machine.registry, card, 'A', {"COM3", "COM1234567", "COM256", "COM1234", "COM6"});
  // Port 4: 8 bytes without terminator; port 5 has no PortName at all.
  machine.registry.SetValueAt(PortParameters(card, 'A', 4), "PortName", value_type::kSz,
                              {'C', 'O', 'M', '1', '2', '3', '4', '5'});
  machine.registry.CreateKeyAt(PortParameters(card, 'A', 5));
  machine.registry.SetStringAt(PortParameters(card, 'A', 6), "PortName", "COM10");
  // Index 7 is missing: index 8 is never looked at.
  machine.registry.SetStringAt(PortParameters(card, 'A', 8), "PortName", "COM11");

  Discover();
  EXPECT_EQ(outline,
            "PCI Bus\n  Tarvex 880-4 RJ45\n    COM3\n    COM256\n    COM1234\n    COM10\n");
  const auto* port = Record(tree[0].children[0].children[3]);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->locationCode & 0xFF, 6u) << "a port keeps its own key's index";
}

TEST_F(DiscoveryTest, BoardWithoutPortsStaysAnUnexpandedLeafWithNoChildren) {
  CardSpec first;  // ports split over two functions: "First 4 ports" / "Other ports"
  first.identifier = "VEN_1F5A&DEV_8016";
  CardSpec other = first;
  other.identifier = "VEN_1F5A&DEV_8017";
  other.function = 1;
  other.prefix = "4&2d3a2b1c&1";
  CardSpec empty;
  empty.identifier = "VEN_1F5A&DEV_8020";
  empty.prefix = "9&9&9";
  AddCard(machine.registry, first);
  AddPorts(machine.registry, first, 'A', {"COM3", "COM4", "COM5", "COM6"});
  AddCard(machine.registry, other);
  AddPorts(machine.registry, other, 'A', {"COM7", "COM8"});
  AddCard(machine.registry, empty);
  machine.registry.CreateKeyAt("SYSTEM\\CurrentControlSet\\Enum\\TRVX880U\\*PNP0501");

  Discover();
  EXPECT_EQ(outline,
            "PCI Bus\n  Tarvex 880-16 (First 4 ports)\n    COM3\n    COM4\n    COM5\n    COM6\n"
            "  Tarvex 880-16 (Other ports)\n    COM7\n    COM8\n  Tarvex Universal 880-4\n");
  EXPECT_FALSE(tree[0].children[2].expanded);
  EXPECT_TRUE(tree[0].children[1].expanded);
  const auto* otherPort = Record(tree[0].children[1].children[0]);
  ASSERT_NE(otherPort, nullptr);
  EXPECT_EQ(otherPort->locationCode, 0x02090100u);
}

TEST_F(DiscoveryTest, LongParentIdPrefixStillFindsItsPorts) {
  CardSpec card;
  card.prefix = std::string(120, 'p');
  AddCard(machine.registry, card);
  AddPorts(machine.registry, card, 'A', {"COM3", "COM4"});
  Discover();
  EXPECT_EQ(outline, "PCI Bus\n  Tarvex 880-4 RJ45\n    COM3\n    COM4\n");
}

TEST_F(DiscoveryTest, AParentIdPrefixOf127CharactersIsListedAndOneOf128IsNot) {
  CardSpec fits;
  fits.prefix = std::string(127, 'p');
  AddCard(machine.registry, fits);
  AddPorts(machine.registry, fits, 'A', {"COM3"});
  // The 128-byte buffer has no room for the terminator of 128 characters:
  // that card's values cannot be read, and it is no board.
  CardSpec tooLong;
  tooLong.identifier = "VEN_1F5A&DEV_8016&SUBSYS_00000000&REV_01";
  tooLong.bus = 3;
  tooLong.prefix = std::string(128, 'q');
  AddCard(machine.registry, tooLong);
  AddPorts(machine.registry, tooLong, 'A', {"COM4"});
  Discover();
  EXPECT_EQ(outline, "PCI Bus\n  Tarvex 880-4 RJ45\n    COM3\n");
}

// Every row of the model table, as the program must know it: a card of each
// identifier shows its model name and finds its port under its letter.
TEST_F(DiscoveryTest, EveryModelRowNamesItsBoardAndFindsItsPortUnderItsLetter) {
  struct Row {
    const char* device;
    const char* model;
    char letter;
  };
  const Row rows[] = {
      {"DEV_8010", "Tarvex 880-8 RJ11 (First 4 ports)", 'A'},
      {"DEV_8011", "Tarvex 880-8 RJ11 (Other ports)", 'A'},
      {"DEV_8012", "Tarvex 880-8 Octacable (First 4 ports)", 'A'},
      {"DEV_8013", "Tarvex 880-8 Octacable (Other ports)", 'A'},
      {"DEV_8014", "Tarvex 880-4 RJ45", 'A'},
      {"DEV_8015", "Tarvex 880-4 Quadcable", 'A'},
      {"DEV_8016", "Tarvex 880-16 (First 4 ports)", 'A'},
      {"DEV_8017", "Tarvex 880-16 (Other ports)", 'A'},
      {"DEV_8018", "Tarvex 880-8 (First 4 ports)", 'A'},
      {"DEV_8019", "Tarvex 880-8 (Other ports)", 'A'},
      {"DEV_8020", "Tarvex Universal 880-4", 'U'},
      {"DEV_8021", "Tarvex Universal 880-8", 'U'},
      {"DEV_8022", "Tarvex Universal 880-16", 'U'},
      {"DEV_8023", "Tarvex Universal 880-8 RJ11 SLS", 'S'},
      {"DEV_8024", "Tarvex Universal 880-8 OctaCable SLS", 'S'},
      {"DEV_8025", "Tarvex Universal 880-4 Quadcable SLS", 'S'},
      {"DEV_8026", "Tarvex Universal 880-4 RJ45 SLS", 'S'},
      {"DEV_8027", "Tarvex Universal 880-4 Mini SLS", 'S'},
      {"DEV_8028", "Tarvex Universal 880-8 RJ11", 'U'},
      {"DEV_8029", "Tarvex Universal 880-8 OctaCable", 'U'},
      {"DEV_802A", "Tarvex Universal 880-4 RJ45", 'U'},
      {"DEV_802B", "Tarvex Universal 880-4 QuadCable", 'U'},
  };
  std::string expected = "PCI Bus\n";
  int bus = 1;
  for (const Row& row : rows) {
    CardSpec card;
    card.identifier = std::string("VEN_1F5A&") + row.device + "&SUBSYS_00000000&REV_01";
    card.bus = bus;
    card.prefix = "4&" + std::to_string(bus) + "&0";
    AddCard(machine.registry, card);
    // Ports under every letter: only the right one may be found.
    for (const char letter : {'A', 'S', 'U'}) {
      AddPorts(machine.registry, card, letter,
               {(letter == row.letter ? "COM" : "X") + std::to_string(bus)});
    }
    expected += std::string("  ") + row.model + "\n    COM" + std::to_string(bus) + "\n";
    ++bus;
  }
  // Identifiers that pass the name filter but have no row make no board.
  for (const char* device : {"DEV_801A", "DEV_801F", "DEV_802C", "DEV_802F"}) {
    CardSpec card;
    card.identifier = std::string("VEN_1F5A&") + device + "&SUBSYS_00000000&REV_01";
    card.bus = bus++;
    AddCard(machine.registry, card);
    AddPorts(machine.registry, card, 'A', {"COM99"});
  }
  Discover();
  EXPECT_EQ(outline, expected);
}

TEST_F(DiscoveryTest, PortLoopEndsAfterIndex255) {
  CardSpec card;
  AddCard(machine.registry, card);
  for (std::uint32_t i = 0; i <= 256; ++i) {
    machine.registry.SetStringAt(PortParameters(card, 'A', i), "PortName", "P" + std::to_string(i));
  }
  Discover();
  ASSERT_EQ(tree[0].children.size(), 1u);
  EXPECT_EQ(tree[0].children[0].children.size(), 256u);
  EXPECT_EQ(tree[0].children[0].children.back().text, "P255");
}

TEST_F(DiscoveryTest, UnopenablePciKeyIsReportedWithTheOpensOwnCode) {
  AddCard(machine.registry, CardSpec{});
  machine.registry.FailOpenOf(kPciEnumPath, error::kAccessDenied);
  machine.windows.Answer(id::kOk);
  Discover();
  EXPECT_EQ(outline, "PCI Bus\n");
  EXPECT_FALSE(tree[0].expanded);
  const std::vector<sim::Shown> boxes = machine.windows.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, kPciKeyFailedCaption);
  EXPECT_EQ(boxes[0].text, "Access is denied.\r\n");
}

TEST_F(DiscoveryTest, EnumeratorKeyPathsUseTheBoardsLetter) {
  EXPECT_EQ(EnumeratorKeyPath('S'), "SYSTEM\\CurrentControlSet\\Enum\\TRVX880S\\*PNP0501");
  EXPECT_EQ(EnumeratorKeyPath('U'), "SYSTEM\\CurrentControlSet\\Enum\\TRVX880U\\*PNP0501");
  EXPECT_EQ(PortDeviceKeyName("P", 0x02090003), "P&02090003");
}

// Who holds a name outside the tree: devices of Enum by their PortName,
// connected when the serial device map lists the name outside the tree, and
// the COM port database's claims. The tree's own ports hold nothing here.
TEST(ComNameHolders, FindEveryDeviceThatHoldsANameAndWhetherItIsConnected) {
  SimMachine machine;
  CardSpec card;
  AddCard(machine.registry, card);
  AddWiredPorts(machine, card, 'A', {"COM3", "COM4"});
  const std::string enumRoot = "SYSTEM\\CurrentControlSet\\Enum\\";
  const auto device = [&](const std::string& path, const char* described, const char* value,
                          const char* portName) {
    if (described != nullptr) machine.registry.SetStringAt(enumRoot + path, value, described);
    if (portName != nullptr) {
      machine.registry.SetStringAt(enumRoot + path + "\\Device Parameters", "PortName", portName);
    }
    machine.registry.CreateKeyAt(enumRoot + path);
  };
  device("ACPI\\PNP0501\\1", "Communications Port (COM1)", "FriendlyName", "COM1");
  // Both: a holder is described by its FriendlyName.
  machine.registry.SetStringAt(enumRoot + "ACPI\\PNP0501\\1", "DeviceDesc", "Serial port");
  device("FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000", "USB Serial Port (COM9)", "FriendlyName",
         "COM9");
  device("Root\\LEGACY_X\\0000", "No parameters", "DeviceDesc", nullptr);
  device("USB\\Modem\\7", "Modem", "DeviceDesc", "com8");
  device("USB\\Odd\\1", "Modem\r\nCOM3 = COM99", "FriendlyName", "COM13");  // no map line
  device("USB\\Modem\\8", nullptr, nullptr, "COM11");
  const std::string longName(200, 'L');  // three of them: a line past what a map line may be
  for (const char* path : {"USB\\Long\\1", "USB\\Long\\2", "USB\\Long\\3"}) {
    device(path, longName.c_str(), "FriendlyName", "COM12");
  }
  // A value too long for a name comes first: the ones after it still count.
  machine.registry.SetStringAt(kSerialMap, "\\Device\\Aaa", std::string(100, 'X'));
  machine.registry.SetStringAt(kSerialMap, "\\Device\\Serial0", "COM1");
  machine.registry.SetStringAt(kSerialMap, "\\Device\\Serial1", "COM6");
  machine.registry.SetStringAt(kSerialMap, "\\Device\\Modem7", "COM11");
  machine.comPorts.SetClaimedNumbers({1, 2, 3, 4, 8, 9, 12, 13});

  struct Row {
    const char* name;
    bool claimed;
    bool connected;
    std::string holders;
  };
  const Row rows[] = {
      {"COM1", true, true, "Communications Port (COM1), ACPI\\PNP0501\\1, connected"},
      {"COM9", true, false,
       "USB Serial Port (COM9), FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000, not connected"},
      {"COM2", true, false, "claimed for no device Windows lists"},
      {"COM6", false, true, "\\Device\\Serial1, connected"},
      {"cOm8", true, false, "Modem, USB\\Modem\\7, not connected"},
      {"COM11", false, true, "USB\\Modem\\8, connected"},
      {"COM3", false, false, "claimed for no device Windows lists"},  // the tree's own
      {"COM7", false, false, "claimed for no device Windows lists"},
  };
  const std::vector<const PortRecord*> none;
  PortRecord* boards = nullptr;
  {
    const sim::CallLog::Pause quiet(&machine.calls);
    const ErrorReporter reporter(machine.platform);
    boards = DiscoverBoards(machine.registry, nullptr, reporter).boards;
  }
  std::vector<const PortRecord*> ports;
  for (const PortRecord* port = boards->children; port != nullptr; port = port->next) {
    ports.push_back(port);
  }
  const ComNameHolders holders(machine.platform, ports);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const NameHolding holding = holders.For(row.name);
    EXPECT_EQ(holding.claimed, row.claimed);
    EXPECT_EQ(holding.Connected(), row.connected);
    EXPECT_EQ(holding.Describe("; "), row.holders);
  }
  EXPECT_EQ(FormatHeldNames(holders.Held()),
            "; Names held for other hardware\r\n"
            "; COM1   Communications Port (COM1), ACPI\\PNP0501\\1, connected\r\n"
            "; COM2   claimed for no device Windows lists\r\n"
            "; COM6   \\Device\\Serial1, connected\r\n"
            "; COM8   Modem, USB\\Modem\\7, not connected\r\n"
            "; COM9   USB Serial Port (COM9), FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000, not "
            "connected\r\n"
            "; COM11  USB\\Modem\\8, connected\r\n" +
                ("; COM12  " + longName + ", USB\\Long\\1, not connected; " + longName +
                 ", USB\\Long\\2, not connected; " + longName)
                    .substr(0, 496) +
                " ...\r\n"
                "; COM13  Modem??COM3 = COM99, USB\\Odd\\1, not connected\r\n");
  EXPECT_EQ(machine.registry.OpenHandleCount(), 0);

  // What cannot be read never makes a claimed name look free; an
  // unclaimed one stays free.
  machine.calls.FailNext("RegEnumKeyExA", error::kAccessDenied, 0, 1, "Enum\\USB");
  const ComNameHolders unread(machine.platform, ports);
  EXPECT_EQ(unread.For("COM2").Describe("; "), "a device whose keys could not be read, connected");
  EXPECT_FALSE(unread.For("COM7").Held());
  // A serial device map that cannot be read may list any device: COM11,
  // unclaimed, is taken as connected.
  machine.calls.FailNext("RegEnumValueA", error::kAccessDenied, 0, 1, "SERIALCOMM");
  EXPECT_TRUE(ComNameHolders(machine.platform, ports).For("COM11").Held());
  ListFree(boards);
}

}  // namespace
}  // namespace velnara::testing
