// A machine wired like a real one for scenario tests: one Tarvex 880-4
// RJ45 whose ports are registered in every place a real machine keeps their
// names, with the access lists of a real machine, beside the motherboard's
// COM1; the user played through the main dialog, and what the machine
// holds read back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sim_machine.h"

namespace velnara::testing {

constexpr const char* kBoard = "Tarvex 880-4 RJ45";

// The card's ports COM3, COM4 and COM5 registered everywhere, and the
// motherboard's COM1 in the serial device map, the port settings and the
// database.
struct WiredMachine : SimMachine {
  explicit WiredMachine(const std::vector<std::string>& names = {"COM3", "COM4", "COM5"}) {
    registry.SetStringAt(kSerialMap, "\\Device\\Serial0", "COM1");
    registry.SetStringAt(kPortSettings, "COM1:", SettingsOf("COM1"));
    comPorts.SetClaimedNumbers({1});
    AddCard(registry, card);
    AddWiredPorts(*this, card, 'A', names);
    // Velnara reported to the Application log here before.
    const std::string source =
        "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Velnara";
    registry.SetStringAt(source, "EventMessageFile", system.ModuleFileName());
    registry.SetValueAt(source, "TypesSupported", platform::value_type::kDword, {7, 0, 0, 0});
  }

  // --- The user ---------------------------------------------------------
  void Rename(const std::string& from, const std::string& to) {
    windows.Then("double-click " + from, [from](sim::SimUser& user) {
      user.SelectTreeItem(IDC_PORT_TREE, {"PCI Bus", kBoard, from});
      user.DoubleClickTree(IDC_PORT_TREE);
    });
    windows.Then("choose " + to, [to](sim::SimUser& user) {
      ASSERT_EQ(user.TemplateId(), IDD_RENAME);
      user.TypeText(IDC_NEW_NAME, to);
      user.Click(platform::id::kOk);
    });
  }
  void Click(int id) {
    windows.Then("click " + std::to_string(id), [id](sim::SimUser& user) { user.Click(id); });
  }
  void Escape() {
    windows.Then("escape", [](sim::SimUser& user) { user.PressEscape(); });
  }
  // The cancel command after a Save: the restart offered, declined, and the
  // completion message.
  void LeaveDecliningTheRestart() {
    Escape();
    windows.Answer(platform::id::kNo);
    windows.Answer(platform::id::kOk);
  }
  void Do(std::function<void()> action) {
    windows.Then("test", [action](sim::SimUser&) { action(); });
  }
  void Look(std::function<void(sim::SimUser&)> look) { windows.Then("look", std::move(look)); }
  void RunToEnd() {
    EXPECT_EQ(Run(), 0);
    ExpectCleanScript();
  }

  // --- What the machine holds ------------------------------------------
  std::string Value(const std::string& path, const std::string& name) const {
    std::vector<std::uint8_t> data;
    if (!registry.GetValueAt(path, name, nullptr, &data)) return "<none>";
    return std::string(data.begin(), data.end());
  }
  std::string PortName(std::uint32_t index) const {
    return Value(PortParameters(card, 'A', index), "PortName");
  }
  std::string FriendlyName(std::uint32_t index) const {
    return Value(PortDeviceKey(card, 'A', index), "FriendlyName");
  }
  std::string Serial(std::uint32_t index) const {
    return Value(kSerialMap, "\\Device\\TrvxSerial" + std::to_string(index));
  }
  std::vector<std::string> SettingsNames() const { return registry.ValueNamesAt(kPortSettings); }
  // Every place of port `index` holds `name`, and its settings are those it
  // had as `original`. Strings are stored with their terminator.
  void ExpectPort(std::uint32_t index, const std::string& name, const std::string& original) {
    SCOPED_TRACE("port " + std::to_string(index) + " named " + name);
    const std::string z(1, '\0');
    EXPECT_EQ(PortName(index), name + z);
    EXPECT_EQ(FriendlyName(index), "Tarvex 880 Port (" + name + ")" + z);
    EXPECT_EQ(Serial(index), name + z);
    EXPECT_EQ(Value(kPortSettings, name + ":"), SettingsOf(original) + z);
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const sim::Shown& box : windows.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }
  std::vector<std::string> BoxCaptions() const {
    std::vector<std::string> captions;
    for (const sim::Shown& box : windows.MessageBoxes()) captions.push_back(box.caption);
    return captions;
  }
  // The calls of `functions` since `from`, as "Function target".
  std::vector<std::string> CallsSince(std::size_t from,
                                      const std::vector<std::string>& functions) const {
    std::vector<std::string> made;
    for (std::size_t i = from; i < calls.calls().size(); ++i) {
      const sim::Call& call = calls.calls()[i];
      if (std::find(functions.begin(), functions.end(), call.function) != functions.end()) {
        made.push_back(call.function + " " + call.target);
      }
    }
    return made;
  }

  CardSpec card;
};

}  // namespace velnara::testing
