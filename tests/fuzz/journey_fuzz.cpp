// A fuzz target for the whole program: the input bytes build a machine of
// the stand-in (cards, instances, values of any type and size, serial
// device map, port settings, the COM port database, access lists, a token
// with or without the shutdown privilege, a localised system, an old
// Windows) and then play a user (renames with names of 0 to 8 characters,
// other forms and other case, swaps; Save, Reset, Exit, the cancel command;
// every answer to a message box). After each run the journey's promises
// must hold (tests/unit/app/journey.h); a broken one aborts.
//
// An input that begins with 'R' carries a .reg text up to its first NUL
// (a sample machine), the user's bytes after it.
//
// An input that begins with 'M' runs the command line instead of the dialog:
// after the 'M', the machine (an 'R' and a .reg text up to its NUL, or bytes
// as above), one byte choosing the command, and the rest as the port map
// file's text (or, split at its line ends or spaces, as the arguments). No
// window may show, no file stays open, and the exit status is one of the
// program's.
//
//   cmake --preset fuzz && cmake --build --preset fuzz
//   build/fuzz/tests/fuzz/velnara_fuzz tests/fuzz/corpus -max_total_time=600
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "discovery/model_table.h"
#include "tests/unit/app/journey.h"
#include "unattended/outcomes.h"

namespace velnara::testing {
namespace {

using namespace platform;

// The input, read from the front; zeros once it is used up.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  int Below(int n) { return Byte() % n; }
  bool Bit() { return (Byte() & 1) != 0; }
  std::string Text(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + Below(26));
    return text;
  }
  const std::uint8_t* rest() const { return data_ + at_; }
  std::size_t left() const { return size_ - at_; }
  void Skip(std::size_t n) { at_ += n < left() ? n : left(); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

std::vector<std::uint8_t> Raw(const std::string& text, bool terminated) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  if (terminated) data.push_back(0);
  return data;
}

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, static_cast<unsigned>(value));
  return text;
}

// A port's name as a driver may have left it.
void SetPortName(sim::SimRegistry& registry, const std::string& key, Bytes& in, int number,
                 std::string* name) {
  *name = "COM" + std::to_string(number);
  switch (in.Below(10)) {
    case 0:  // eight characters without a terminator
      registry.SetValueAt(key, "PortName", value_type::kSz, Raw("COM12345", false));
      *name = "COM12345";
      return;
    case 1:
      registry.SetDwordAt(key, "PortName", static_cast<std::uint32_t>(number));
      return;
    case 2:
      *name = "";
      break;
    case 3:
      *name = "com" + std::to_string(number);
      break;
    case 4:
      *name = "LPT" + std::to_string(number % 10);
      break;
    case 5:
      return;  // no PortName at all
    default:
      break;
  }
  registry.SetStringAt(key, "PortName", *name);
}

void BuildMachine(Bytes& in, sim::SimPlatform& machine) {
  sim::SimRegistry& registry = machine.registry;
  const std::string pci = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\";
  registry.CreateKeyAt(pci);
  registry.SetStringAt(kJourneySerialMap, "\\Device\\Serial0", "COM1");
  registry.SetStringAt(kJourneyPorts, "COM1:", "9600,n,8,1");
  std::vector<std::uint32_t> claimed = {1};
  std::size_t modelCount = 0;
  const BoardModel* models = BoardModels(&modelCount);
  int serial = 0;
  const int cards = in.Below(5);
  for (int c = 0; c < cards; ++c) {
    const int row = in.Below(static_cast<int>(modelCount) + 3);
    const std::string device =
        row < static_cast<int>(modelCount)
            ? models[row].deviceId
            : (row == static_cast<int>(modelCount) ? "DEV_801A" : "DEV_8030");
    const char letter = row < static_cast<int>(modelCount) && in.Below(8) != 0
                            ? models[row].enumeratorLetter
                            : "ASU"[in.Below(3)];
    const std::string instance =
        pci + "VEN_1F5A&" + device + "&SUBSYS_" + Hex(c, 8) + "\\3&" + Hex(in.Byte(), 4) + "&0&08";
    const int bus = in.Byte();
    const int dev = in.Below(40);
    const int function = in.Below(10);
    switch (in.Below(8)) {
      case 0:
        registry.SetStringAt(instance, "LocationInformation", "PCI slot " + in.Text(4));
        break;
      case 1:
        break;
      case 2:
        registry.SetValueAt(instance, "LocationInformation", value_type::kSz,
                            Raw(std::string(128, 'x'), false));
        break;
      default:
        registry.SetStringAt(instance, "LocationInformation",
                             "PCI bus " + std::to_string(bus) + ", device " + std::to_string(dev) +
                                 ", function " + std::to_string(function));
        break;
    }
    std::string prefix = "4&" + Hex(c, 4) + "&0";
    switch (in.Below(8)) {
      case 0:
        prefix = std::string(127, 'p');
        break;
      case 1:
        prefix = std::string(128, 'q');
        break;
      case 2:
        prefix = "";
        break;
      default:
        break;
    }
    if (in.Below(8) != 0) registry.SetStringAt(instance, "ParentIdPrefix", prefix);
    if (in.Below(8) != 0) registry.CreateKeyAt(instance + "\\Control");

    const std::uint32_t code = static_cast<std::uint32_t>(bus) << 24 |
                               static_cast<std::uint32_t>(dev) << 16 |
                               static_cast<std::uint32_t>(function) << 8;
    const std::string enumerator =
        std::string("SYSTEM\\CurrentControlSet\\Enum\\TRVX880") + letter + "\\*PNP0501\\";
    const int ports = in.Below(18);
    std::uint32_t index = 0;
    for (int p = 0; p < ports; ++p, ++index) {
      if (in.Below(16) == 0) index += static_cast<std::uint32_t>(in.Below(300));
      const std::string key = enumerator + prefix + "&" + Hex(code | (index & 0xFF), 8);
      const int number = 3 + in.Below(60);
      std::string name;
      if (in.Below(16) != 0) SetPortName(registry, key + "\\Device Parameters", in, number, &name);
      if (in.Bit()) registry.SetStringAt(key, "FriendlyName", "Tarvex 880 Port (" + name + ")");
      const std::string value = "\\Device\\TrvxSerial" + std::to_string(serial++);
      switch (in.Below(8)) {
        case 0:
          break;
        case 1:
          registry.SetStringAt(kJourneySerialMap, std::string(70, 'N'), name);
          break;
        case 2:
          registry.SetStringAt(kJourneySerialMap, value, name + std::string(40, ' '));
          break;
        case 3:
          registry.SetValueAt(kJourneySerialMap, value, value_type::kSz, Raw(name, false));
          break;
        default:
          registry.SetStringAt(kJourneySerialMap, value, name);
          break;
      }
      switch (in.Below(8)) {
        case 0:
          break;
        case 1:
          registry.SetStringAt(kJourneyPorts, name + ":", std::string(40, 's'));
          break;
        case 2:
          registry.SetDwordAt(kJourneyPorts, name + ":", 9600);
          break;
        default:
          registry.SetStringAt(kJourneyPorts, name + ":", "9600,n,8," + std::to_string(p));
          break;
      }
      if (in.Below(8) != 0) claimed.push_back(static_cast<std::uint32_t>(number));
    }
  }
  // Devices outside the cards that hold COM names: connected or gone,
  // claimed or not, described or not, one whose keys cannot be read.
  const int others = in.Below(5);
  for (int o = 0; o < others; ++o) {
    static const char* const kDevices[] = {"ACPI\\PNP0501\\", "FTDIBUS\\VID_0403+PID_6001+A",
                                           "USB\\Modem\\", "Root\\Ports\\"};
    const std::string instance = std::string("SYSTEM\\CurrentControlSet\\Enum\\") +
                                 kDevices[in.Below(4)] + std::to_string(o);
    const int number = 1 + in.Below(64);
    const std::string name =
        in.Below(4) == 0 ? "com" + std::to_string(number) : "COM" + std::to_string(number);
    if (in.Bit()) registry.SetStringAt(instance, "FriendlyName", "Port (" + name + ")");
    if (in.Bit()) registry.SetStringAt(instance, "DeviceDesc", "Communications Port");
    if (in.Below(4) != 0) registry.SetStringAt(instance + "\\Device Parameters", "PortName", name);
    registry.CreateKeyAt(instance);
    if (in.Bit())
      registry.SetStringAt(kJourneySerialMap, "\\Device\\Other" + std::to_string(o), name);
    if (in.Bit()) claimed.push_back(static_cast<std::uint32_t>(number));
    if (in.Below(8) == 0) registry.SetSddlAt("HKLM\\" + instance, "D:P(A;;KA;;;SY)");
  }
  const std::uint32_t sizes[] = {0, 5, 33, 600};
  const int database = in.Below(8);
  if (database < 4) {
    std::vector<std::uint8_t> bitmap(sizes[database], 0xA5);
    registry.SetValueAt(kJourneyArbiter, "ComDB", value_type::kBinary, bitmap);
  } else if (database != 4) {
    machine.comPorts.SetClaimedNumbers(claimed);
  }
  if (in.Below(8) != 0) sim::ApplyDeviceKeyAccessRules(registry);
  machine.system.SetHoldsShutdownPrivilege(in.Below(8) != 0);
  if (in.Below(32) == 0) machine.security.RenameAccount(sim::kSidEveryone, "Jeder");
  if (in.Below(32) == 0) machine.system.SetVersion(2, 6, 1, 1);
}

// The port item with this number among all port items, in tree order.
bool PortPath(sim::SimUser& user, int number, std::vector<std::string>* path,
              std::vector<std::string>* names) {
  const std::vector<sim::TreeNode> tree = user.Tree(IDC_PORT_TREE);
  std::vector<std::vector<std::string>> paths;
  for (const sim::TreeNode& root : tree) {
    for (const sim::TreeNode& board : root.children) {
      for (const sim::TreeNode& port : board.children) {
        paths.push_back({root.text, board.text, port.text});
        names->push_back(port.text);
      }
    }
    break;  // the program walks the first root item alone
  }
  if (paths.empty()) return false;
  *path = paths[static_cast<std::size_t>(number) % paths.size()];
  return true;
}

// A name the user might choose: of any length up to 8, in other case, of
// another form, or another port's.
std::string ChooseName(int kind, int number, const std::vector<std::string>& names) {
  switch (kind) {
    case 0:
      return "";
    case 1:
      return "COM12345";
    case 2:
      return "AUX" + std::to_string(number % 10);
    case 3:
      return "com" + std::to_string(1 + number % 64);
    case 4:
      return names.empty() ? "COM3" : names[static_cast<std::size_t>(number) % names.size()];
    default:
      return "COM" + std::to_string(1 + number % 64);
  }
}

void PlanUser(Bytes& in, sim::SimWindowSystem& windows) {
  const auto leaveRename = [](sim::SimUser& user) {
    if (user.TemplateId() == IDD_RENAME) user.Click(id::kCancel);
    return user.TemplateId() == IDD_RENAME;
  };
  const int actions = in.Below(24);
  for (int a = 0; a < actions; ++a) {
    const int action = in.Below(10);
    if (action <= 5) {
      const int port = in.Byte();
      const int kind = in.Below(8);
      const int number = in.Byte();
      auto chosen = std::make_shared<std::string>();
      windows.Then("rename", [=](sim::SimUser& user) {
        if (leaveRename(user)) return;
        std::vector<std::string> path;
        std::vector<std::string> names;
        if (!PortPath(user, port, &path, &names)) return;
        *chosen = ChooseName(kind, number, names);
        user.SelectTreeItem(IDC_PORT_TREE, path);
        user.DoubleClickTree(IDC_PORT_TREE);
      });
      windows.Then("choose", [=](sim::SimUser& user) {
        if (user.TemplateId() != IDD_RENAME) return;
        user.TypeText(IDC_NEW_NAME, *chosen);
        user.Click(id::kOk);
      });
      continue;
    }
    const int button = action == 6 ? IDC_SAVE : action == 7 ? IDC_RESET : action == 8 ? id::kOk : 0;
    windows.Then("press", [=](sim::SimUser& user) {
      if (leaveRename(user)) return;
      if (button == 0) return user.PressEscape();
      if (user.Enabled(button)) user.Click(button);
    });
  }
}

// The rest of the input split at `separator`.
// The arguments of a command line in `text`, split at `separator`. Each
// ends at its first NUL byte, as Windows' command line (a C string) does.
std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = std::min(text.find(separator, at), text.size());
    const std::string part = text.substr(at, end - at);
    parts.push_back(part.substr(0, part.find('\0')));
    at = end + 1;
  }
  return parts;
}

// Runs one command of the command line on `machine` with the rest of the
// input; false when it broke a promise of its own.
bool RunCommandLine(Bytes& in, sim::SimPlatform& machine) {
  const int command = in.Below(8);
  const std::string rest(reinterpret_cast<const char*>(in.rest()), in.left());
  machine.files.PutFile("map.txt", rest);
  machine.files.SetStandardKind(platform::file::kStdOutput,
                                static_cast<std::uint32_t>(command % 4));
  machine.files.SetStandardKind(platform::file::kStdError, platform::file::kTypePipe);
  std::vector<std::string> args;
  switch (command) {
    case 0:
      args = {"/check", "map.txt"};
      break;
    case 1:
    case 2:
      args = {"/apply", "map.txt", "/log", "velnara.log"};
      break;
    case 3:
      args = {"/apply", "map.txt", "/restart", "/nobackup"};
      break;
    case 4:
      args = {"/apply"};
      for (const std::string& line : Split(rest, '\n')) args.push_back(line);
      break;
    case 5:
      args = {"/list", "/out", "ports.txt"};
      break;
    case 6:
      args = {"/list", "/backups"};
      break;
    default:
      args = Split(rest, ' ');
      break;
  }
  int status = 0;
  try {
    status = velnara::RunApplication(machine.platform, args);
  } catch (const sim::ProcessExit& exit) {
    status = exit.status;  // the dialog's gate, when the arguments were none
  }
  if (std::getenv("VELNARA_FUZZ_SHOW") != nullptr) {
    for (const std::string& arg : args) std::fprintf(stderr, "argument: %s\n", arg.c_str());
    std::fprintf(stderr, "status %d\n%s", status,
                 machine.files.StandardText(platform::file::kStdError).c_str());
  }
  // Standard output always leads somewhere when /list or /? can run, so
  // nothing at all may show.
  if (!machine.windows.MessageBoxes().empty()) {
    std::fprintf(stderr, "broken: a window showed: %s\n",
                 machine.windows.MessageBoxes()[0].text.c_str());
    return false;
  }
  if (machine.files.OpenFileCount() != 0) {
    std::fprintf(stderr, "broken: a file left open\n");
    return false;
  }
  // One of the outcomes the command line documents, and nothing else.
  const std::vector<OutcomeRow>& outcomes = OutcomeTable();
  if (std::none_of(outcomes.begin(), outcomes.end(),
                   [status](const OutcomeRow& row) { return row.status == status; })) {
    std::fprintf(stderr, "broken: exit status %d\n", status);
    return false;
  }
  return true;
}

}  // namespace
}  // namespace velnara::testing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velnara::testing;
  namespace sim = velnara::platform::sim;
  Bytes in(data, size);
  sim::SimPlatform machine;
  const bool commandLine = size > 0 && data[0] == 'M';
  if (commandLine) in.Skip(1);
  if (in.left() > 0 && *in.rest() == 'R') {
    in.Skip(1);
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(in.rest(), 0, in.left()));
    const std::size_t length =
        end != nullptr ? static_cast<std::size_t>(end - in.rest()) : in.left();
    std::string problem;
    const std::string text(reinterpret_cast<const char*>(in.rest()), length);
    in.Skip(length + 1);
    if (!LoadSampleMachine(machine, text, &problem)) return 0;  // not a machine
  } else {
    BuildMachine(in, machine);
  }
  const JourneyInvariants invariants(machine);
  if (commandLine) {
    // Should a box show all the same, it is answered, and the run reports it.
    machine.windows.SetAutopilot([](const sim::Shown&) { return 1; },
                                 [](sim::SimUser& user) { user.PressEscape(); });
    const bool kept = RunCommandLine(in, machine);
    std::vector<std::string> problems = invariants.Check(machine);
    if (!kept) problems.push_back("the command line broke its own promise");
    for (const std::string& problem : problems)
      std::fprintf(stderr, "broken: %s\n", problem.c_str());
    if (!problems.empty()) std::abort();
    return 0;
  }
  machine.windows.SetAutopilot(
      [&in](const sim::Shown& box) {
        if ((box.type & 0xF) == 4) return in.Bit() ? 6 : 7;  // Yes or No
        return 1;
      },
      [](sim::SimUser& user) {
        if (user.TemplateId() == IDD_RENAME) return user.Click(2);
        user.PressEscape();
      });
  PlanUser(in, machine.windows);
  try {
    velnara::RunApplication(machine.platform);
  } catch (const sim::ProcessExit&) {
    // The platform gate refused the system: nothing else ran.
  }
  // VELNARA_FUZZ_SHOW=1 tells what a run showed, to read a found input.
  if (std::getenv("VELNARA_FUZZ_SHOW") != nullptr) {
    for (const sim::Shown& shown : machine.windows.transcript()) {
      std::fprintf(stderr, "shown: %s \"%s\" %s (answer %d)\n",
                   shown.kind == sim::Shown::Kind::Dialog ? "dialog" : "box", shown.caption.c_str(),
                   shown.text.c_str(), shown.answer);
    }
    std::fprintf(stderr, "restarts: %zu\n", machine.system.RestartRequests().size());
  }
  const std::vector<std::string> problems = invariants.Check(machine);
  if (!problems.empty()) {
    for (const std::string& problem : problems)
      std::fprintf(stderr, "broken: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
