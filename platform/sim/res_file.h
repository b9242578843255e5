// A reader of the resource compiler's binary output (.res files): the dialog
// templates, string tables and icon groups the stand-in builds its windows
// from. The program's own file is ui/velnara.rc as windres compiles it in the
// build tree, the same resources that Velnara.exe carries.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace velnara::platform::sim {

enum class ControlKind { Button, Edit, Static, ComboBox, TreeView, Other };

struct ControlTemplate {
  int id = -1;
  ControlKind kind = ControlKind::Other;
  std::string className;    // "Button", "Edit", "Static", "ComboBox", or the name given
  std::string text;         // "#n" for a resource number (a static's icon)
  std::uint32_t style = 0;  // the full window style, WS_CHILD and WS_VISIBLE included
};

struct DialogTemplate {
  int id = 0;
  std::string caption;
  std::uint32_t style = 0;
  std::vector<ControlTemplate> controls;  // in template (tab) order
};

struct Resources {
  std::map<int, DialogTemplate> dialogs;
  std::map<int, std::string> strings;
  std::set<int> icons;  // the icon groups
};

// Reads the contents of a .res file. Resources named by a string instead of
// a number are passed over. Returns false and describes the first problem
// in *error.
bool ReadResFile(const std::string& bytes, Resources* resources, std::string* error);
bool LoadResFile(const std::string& path, Resources* resources, std::string* error);

// The program's own resources, compiled into the build tree; aborts with a
// message if they cannot be read.
const Resources& ProgramResources();

}  // namespace velnara::platform::sim
