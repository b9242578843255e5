#include "platform/sim/res_file.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

namespace velnara::platform::sim {
namespace {

constexpr int kTypeDialog = 5;      // RT_DIALOG
constexpr int kTypeStrings = 6;     // RT_STRING
constexpr int kTypeIconGroup = 14;  // RT_GROUP_ICON
constexpr std::uint32_t kDsSetFont = 0x40;
constexpr std::uint32_t kExtendedTemplate = 0xFFFF0001;  // DLGTEMPLATEEX: version 1, 0xFFFF

// The program's texts are in the ANSI code page; characters beyond
// Latin-1 stand as '?'.
char Narrow(std::uint16_t c) {
  return c < 0x100 ? static_cast<char>(c) : '?';
}

// Reads little-endian data between two offsets of a file's bytes. A read
// past the end answers 0 and leaves the cursor failed.
class Cursor {
 public:
  Cursor(const std::string& bytes, std::size_t at, std::size_t end)
      : bytes_(bytes), at_(at), end_(end) {}

  std::uint32_t Take(std::size_t size) {
    if (!Skip(size)) return 0;
    std::uint32_t value = 0;
    for (std::size_t i = 1; i <= size; ++i) {
      value = value << 8 | static_cast<unsigned char>(bytes_[at_ - i]);
    }
    return value;
  }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Take(2)); }
  std::uint32_t Dword() { return Take(4); }
  bool Skip(std::size_t size) {
    if (failed_ || end_ - at_ < size) {
      failed_ = true;
      at_ = end_;
      return false;
    }
    at_ += size;
    return true;
  }
  // To the next offset that is a multiple of four.
  void Align() { Skip((4 - at_ % 4) % 4); }

  // A zero-terminated UTF-16 text, or 0xFFFF and a number: the number, or
  // -1 and the text in *text.
  int TextOrNumber(std::string* text) {
    std::uint16_t c = Word();
    if (c == 0xFFFF) return Word();
    for (text->clear(); c != 0 && !failed_; c = Word()) *text += Narrow(c);
    return -1;
  }
  std::string Text() {
    std::string text;
    TextOrNumber(&text);
    return text;
  }

  std::size_t at() const { return at_; }
  bool failed() const { return failed_; }

 private:
  const std::string& bytes_;
  std::size_t at_;
  std::size_t end_;
  bool failed_ = false;
};

// The predefined window classes, which templates give by number.
std::string ClassName(int number) {
  const char* const names[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
  if (number >= 0x80 && number < 0x86) return names[number - 0x80];
  return "#" + std::to_string(number);
}

// Window classes are named without regard to case.
ControlKind KindOf(const std::string& className) {
  std::string upper = className;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "BUTTON") return ControlKind::Button;
  if (upper == "EDIT") return ControlKind::Edit;
  if (upper == "STATIC") return ControlKind::Static;
  if (upper == "COMBOBOX") return ControlKind::ComboBox;
  if (upper == "SYSTREEVIEW32") return ControlKind::TreeView;
  return ControlKind::Other;
}

// A DLGTEMPLATEEX with its items: the form DIALOGEX compiles to, the only
// one the program's script uses.
bool ReadDialog(Cursor in, DialogTemplate* dialog) {
  if (in.Dword() != kExtendedTemplate) return false;
  in.Skip(8);  // help id, extended style
  dialog->style = in.Dword();
  const int count = in.Word();
  in.Skip(8);  // position and size
  std::string text;
  in.TextOrNumber(&text);  // menu
  in.TextOrNumber(&text);  // window class
  dialog->caption = in.Text();
  if ((dialog->style & kDsSetFont) != 0) {
    in.Skip(6);  // point size, weight, italic and character set
    in.Text();   // typeface
  }
  for (int i = 0; i < count && !in.failed(); ++i) {
    in.Align();
    ControlTemplate control;
    in.Skip(8);  // help id, extended style
    control.style = in.Dword();
    in.Skip(8);  // position and size
    control.id = static_cast<std::int32_t>(in.Dword());
    const int classNumber = in.TextOrNumber(&text);
    control.className = classNumber < 0 ? text : ClassName(classNumber);
    control.kind = KindOf(control.className);
    const int textNumber = in.TextOrNumber(&text);
    control.text = textNumber < 0 ? text : "#" + std::to_string(textNumber);
    in.Skip(in.Word());  // creation data
    dialog->controls.push_back(std::move(control));
  }
  return !in.failed();
}

// Block n of a string table holds the strings 16 (n - 1) to 16 n - 1, each
// counted; an empty one is not there.
bool ReadStrings(Cursor in, int block, std::map<int, std::string>* strings) {
  for (int i = 0; i < 16; ++i) {
    std::string text;
    for (int length = in.Word(); length > 0 && !in.failed(); --length) text += Narrow(in.Word());
    if (!text.empty()) (*strings)[(block - 1) * 16 + i] = std::move(text);
  }
  return !in.failed();
}

}  // namespace

bool ReadResFile(const std::string& bytes, Resources* resources, std::string* error) {
  const auto fail = [error](const std::string& problem, std::size_t at) {
    if (error != nullptr) *error = problem + " at byte " + std::to_string(at);
    return false;
  };
  Resources read;
  std::size_t at = 0;
  do {
    Cursor header(bytes, at, bytes.size());
    const std::uint32_t dataSize = header.Dword();
    const std::uint32_t headerSize = header.Dword();
    std::string name;
    const int type = header.TextOrNumber(&name);
    const int id = header.TextOrNumber(&name);
    header.Align();
    header.Skip(16);  // data version, memory flags, language, version, characteristics
    if (header.failed() || headerSize < header.at() - at || headerSize > bytes.size() - at) {
      return fail("a resource header is cut short", at);
    }
    // A .res file begins with an empty resource of type 0 and name 0.
    if (at == 0 && (dataSize != 0 || type != 0 || id != 0)) return fail("not a .res file", at);
    const std::size_t data = at + headerSize;
    if (dataSize > bytes.size() - data) return fail("a resource is cut short", at);
    const Cursor in(bytes, data, data + dataSize);
    bool whole = true;
    if (type == kTypeDialog && id >= 0) {
      if (Cursor(in).Dword() != kExtendedTemplate && dataSize >= 4) {
        return fail("resource " + std::to_string(id) + " is no DIALOGEX template", data);
      }
      DialogTemplate& dialog = read.dialogs[id];
      dialog.id = id;
      whole = ReadDialog(in, &dialog);
    } else if (type == kTypeStrings && id > 0) {
      whole = ReadStrings(in, id, &read.strings);
    } else if (type == kTypeIconGroup && id >= 0) {
      read.icons.insert(id);
    }
    if (!whole) return fail("resource " + std::to_string(id) + " is cut short", data);
    at = data + dataSize;
    at += (4 - at % 4) % 4;
  } while (at < bytes.size());
  *resources = std::move(read);
  return true;
}

bool LoadResFile(const std::string& path, Resources* resources, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error != nullptr) *error = "cannot read " + path;
    return false;
  }
  const std::string bytes{std::istreambuf_iterator<char>(file), {}};
  if (ReadResFile(bytes, resources, error)) return true;
  if (error != nullptr) *error = path + ": " + *error;
  return false;
}

const Resources& ProgramResources() {
  static const Resources resources = [] {
    Resources read;
    std::string error;
    if (!LoadResFile(VELNARA_RES_PATH, &read, &error)) {
      std::fprintf(stderr, "The program's resources cannot be read: %s\n", error.c_str());
      std::abort();
    }
    return read;
  }();
  return resources;
}

}  // namespace velnara::platform::sim
