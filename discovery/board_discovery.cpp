#include "discovery/board_discovery.h"

#include <cstring>
#include <new>

#include "discovery/model_table.h"
#include "discovery/port_enumeration.h"
#include "text/text.h"

namespace velnara {

using namespace platform;

namespace {

constexpr std::uint32_t kNameCapacity = 128;  // key names
constexpr std::size_t kValueCapacity = 128;   // LocationInformation, ParentIdPrefix
constexpr std::size_t kDeviceIdOffset = 9;    // after "VEN_1F5A&"

// The values of one card instance that lead to its ports.
struct CardInstance {
  std::uint32_t locationCode = 0;
  std::string parentIdPrefix;
};

bool ReadCardInstance(const RegKey& instance, CardInstance* card) {
  std::string location;
  if (QueryStringValue(instance, "LocationInformation", kValueCapacity, &location) !=
          error::kSuccess ||
      QueryStringValue(instance, "ParentIdPrefix", kValueCapacity, &card->parentIdPrefix) !=
          error::kSuccess) {
    return false;
  }
  return ParseLocation(location.c_str(), &card->locationCode);
}

PortRecord* MakeBoard(Registry& registry, const TreeView* tree, TreeItem root,
                      const BoardModel& model, const CardInstance& card) {
  auto* board = new (std::nothrow) PortRecord;
  if (board == nullptr) return nullptr;
  board->locationCode = card.locationCode;
  board->children = nullptr;
  board->parent = nullptr;
  board->portName[0] = '\0';
  std::memcpy(board->parentIdPrefix, card.parentIdPrefix.c_str(), card.parentIdPrefix.size() + 1);
  board->enumeratorLetter = model.enumeratorLetter;
  board->modelName = model.name;
  board->treeItem = tree != nullptr ? tree->InsertItem(root, nullptr, model.name) : nullptr;
  EnumeratePorts(registry, tree, board, model.enumeratorLetter);
  return board;
}

// Reads one instance of an identifier key: a card that Windows has set up
// has a Control subkey (a removed one has not), its bus location and the
// prefix of its ports' key names. The instance's keys are closed before the
// card's ports are looked for, so no more than four keys are ever open.
bool ReadWorkingCard(Registry& registry, const RegKey& identifier, const char* instanceName,
                     const BoardModel* model, CardInstance* card) {
  RegKey instance(registry);
  if (instance.Open(identifier, instanceName, access::kKeyRead) != error::kSuccess) return false;
  RegKey control(registry);
  const std::string controlPath = std::string(instanceName) + "\\Control";
  if (control.Open(identifier, controlPath.c_str(), access::kKeyRead) != error::kSuccess) {
    return false;
  }
  return model != nullptr && ReadCardInstance(instance, card);
}

// Examines every instance of one identifier key and appends a board for
// each working card of a known model.
void ScanIdentifierKey(Registry& registry, const TreeView* tree, TreeItem root,
                       const RegKey& identifier, const char* identifierName, PortRecord** boards) {
  const BoardModel* model = FindBoardModel(identifierName + kDeviceIdOffset);
  for (std::uint32_t j = 0;; ++j) {
    char instanceName[kNameCapacity];
    std::uint32_t nameChars = kNameCapacity;
    if (identifier.EnumKey(j, instanceName, &nameChars) != error::kSuccess) break;
    CardInstance card;
    if (!ReadWorkingCard(registry, identifier, instanceName, model, &card)) continue;
    PortRecord* board = MakeBoard(registry, tree, root, *model, card);
    if (board != nullptr) ListAppend(boards, board);
  }
}

bool IsWhiteSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Matches `pattern` at *text as a scanf pattern of plain characters does.
bool ScanText(const char** text, const char* pattern) {
  const char* at = *text;
  for (; *pattern != '\0'; ++pattern) {
    if (IsWhiteSpace(*pattern)) {
      while (IsWhiteSpace(*at)) ++at;
    } else if (*at++ != *pattern) {
      return false;
    }
  }
  *text = at;
  return true;
}

// A decimal number at *text as %d reads it. A number too large for any
// PCI field stops growing (the caller refuses it all the same).
bool ScanNumber(const char** text, long* value) {
  const DecimalNumber number = ParseDecimal(*text, DecimalForm::kBlanksAndSign);
  if (!number.found) return false;
  *value = number.value;
  *text += number.length;
  return true;
}

}  // namespace

bool ParseLocation(const char* text, std::uint32_t* locationCode) {
  long bus = -1;
  long device = -1;
  long function = -1;
  // "PCI bus %d, device %d, function %d" read as sscanf reads it: a blank
  // in the pattern takes any run of white space (none too), each number
  // skips white space before its optional sign and digits, and what
  // follows the last number is not looked at.
  if (!ScanText(&text, "PCI bus ") || !ScanNumber(&text, &bus) || !ScanText(&text, ", device ") ||
      !ScanNumber(&text, &device) || !ScanText(&text, ", function ") ||
      !ScanNumber(&text, &function)) {
    return false;
  }
  if (bus < 0 || bus > 255 || device < 0 || device > 31 || function < 0 || function > 7) {
    return false;
  }
  *locationCode = static_cast<std::uint32_t>(bus) << 24 | static_cast<std::uint32_t>(device) << 16 |
                  static_cast<std::uint32_t>(function) << 8;
  return true;
}

bool PassesNameFilter(const char* name) {
  return std::strncmp(name, "VEN_1F5A&DEV_801", 16) == 0 ||
         std::strncmp(name, "VEN_1F5A&DEV_802", 16) == 0;
}

std::vector<TreeItem> PortItems(const TreeView& tree) {
  std::vector<TreeItem> items;
  const TreeItem root = tree.GetRootItem();
  if (root == nullptr) return items;
  for (TreeItem board = tree.GetChildItem(root); board != nullptr;
       board = tree.GetNextSibling(board)) {
    if (!tree.HasChildren(board)) continue;
    for (TreeItem port = tree.GetChildItem(board); port != nullptr;
         port = tree.GetNextSibling(port)) {
      items.push_back(port);
    }
  }
  return items;
}

DiscoveryResult DiscoverBoards(Registry& registry, const TreeView* tree,
                               const ErrorReporter& reporter) {
  DiscoveryResult result;
  if (tree != nullptr) result.rootItem = tree->InsertItem(nullptr, nullptr, kRootItemText);
  RegKey pci(registry);
  const ErrorCode opened = pci.Open(kLocalMachine, kPciEnumPath, access::kKeyRead);
  if (opened != error::kSuccess) {
    reporter.Report(kPciKeyFailedCaption, opened);
    return result;
  }
  for (std::uint32_t i = 0;; ++i) {
    char name[kNameCapacity];
    std::uint32_t nameChars = kNameCapacity;
    if (pci.EnumKey(i, name, &nameChars) != error::kSuccess) break;
    if (!PassesNameFilter(name)) continue;
    RegKey identifier(registry);
    if (identifier.Open(pci, name, access::kKeyRead) != error::kSuccess) continue;
    ScanIdentifierKey(registry, tree, result.rootItem, identifier, name, &result.boards);
  }
  if (tree != nullptr) tree->Expand(result.rootItem);
  return result;
}

}  // namespace velnara
