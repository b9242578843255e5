// A reader for the subset of resource scripts (.rc) this program writes:
// DIALOG/DIALOGEX templates with their controls, STRINGTABLE and ICON
// statements, with ids and styles resolved through the #defines of the
// resource header and the Windows constants the templates use. The stand-in
// builds its dialogs from what this reads, so it never keeps a second copy.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velnara::platform::sim {

enum class ControlKind { Button, Edit, Static, ComboBox, TreeView, Other };

struct ControlTemplate {
  int id = -1;
  ControlKind kind = ControlKind::Other;
  std::string className;  // "Button", "Edit", "Static", "ComboBox", "SysTreeView32"
  std::string text;       // with \n, \" and "" resolved
  std::uint32_t style = 0;  // full window style, WS_CHILD and WS_VISIBLE included
  std::uint32_t exStyle = 0;
  int x = 0, y = 0, width = 0, height = 0;
};

struct DialogTemplate {
  int id = 0;
  std::string caption;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  int x = 0, y = 0, width = 0, height = 0;
  std::string fontName;
  int fontSize = 0;
  std::vector<ControlTemplate> controls;  // in template (tab) order
};

struct ResourceScript {
  std::map<int, DialogTemplate> dialogs;
  std::map<int, std::string> strings;
  std::map<int, std::string> icons;  // id -> file name
};

// `headerText` is the resource header the script includes; `rcText` the
// script. Returns false and describes the first problem in *error.
bool ParseResourceScript(const std::string& rcText, const std::string& headerText,
                         ResourceScript* script, std::string* error);
bool LoadResourceScript(const std::string& rcPath, const std::string& headerPath,
                        ResourceScript* script, std::string* error);

// The program's own script, read from the source tree (ui/velnara.rc and
// ui/resource.h); aborts with a message if it cannot be read.
const ResourceScript& ProgramResources();

// Window style bits the stand-in looks at.
namespace style {
constexpr std::uint32_t kChild = 0x40000000;
constexpr std::uint32_t kVisible = 0x10000000;
constexpr std::uint32_t kDisabled = 0x08000000;
constexpr std::uint32_t kTabStop = 0x00010000;
constexpr std::uint32_t kGroup = 0x00020000;
constexpr std::uint32_t kSysMenu = 0x00080000;
constexpr std::uint32_t kButtonTypeMask = 0x0000000F;
constexpr std::uint32_t kDefPushButton = 0x00000001;
}  // namespace style

}  // namespace velnara::platform::sim
