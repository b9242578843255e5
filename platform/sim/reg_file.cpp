// The text regedit writes and reads. A file is checked whole before any of it
// is applied, so a malformed sample leaves the registry as it was.
//
// Strings are stored as an ANSI program reads them back:
// - "name"="text" is a REG_SZ with its terminator counted, as regedit imports
//   it (from REGEDIT4 files as from version 5 ones);
// - a file saved as UTF-16LE (regedit's own export) carries the bytes of
//   hex(1), hex(2) and hex(7) values as UTF-16LE too: they are narrowed to
//   one byte per character here, as RegQueryValueExA hands them out; an
//   8-bit file carries them as ANSI bytes, kept as written (what Wine's
//   regedit does with the same file, whatever its header says);
// - a file saved as UTF-16LE (regedit's own export) or as UTF-8 with a byte
//   order mark is narrowed the same way; characters beyond Latin-1 become '?'.
#include "platform/sim/reg_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace velnara::platform::sim {
namespace {

constexpr std::size_t kMaxKeyNameChars = 255;

enum class Format { kRegedit4, kVersion5 };

struct Operation {
  enum class Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue };
  Kind kind = Kind::kCreateKey;
  std::string path;
  std::string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

char Narrow(std::uint32_t codePoint) {
  return codePoint < 0x100 ? static_cast<char>(codePoint) : '?';
}

std::string NarrowUtf16(const std::string& bytes, std::size_t from) {
  std::string text;
  for (std::size_t i = from; i + 1 < bytes.size(); i += 2) {
    const std::uint32_t unit =
        static_cast<std::uint8_t>(bytes[i]) |
        (static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 1])) << 8);
    text += Narrow(unit);
  }
  return text;
}

// UTF-8 to Latin-1; a byte that starts no valid sequence is kept as it is.
std::string NarrowUtf8(const std::string& bytes, std::size_t from) {
  std::string text;
  for (std::size_t i = from; i < bytes.size();) {
    const auto lead = static_cast<std::uint8_t>(bytes[i]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    bool valid = length > 1 && i + length <= bytes.size();
    std::uint32_t codePoint = lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(bytes[i + k]);
      valid = (next & 0xC0) == 0x80;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (!valid) {
      text += bytes[i++];
      continue;
    }
    text += Narrow(codePoint);
    i += length;
  }
  return text;
}

std::string DecodeFile(const std::string& raw) {
  if (raw.size() >= 2 && raw[0] == '\xFF' && raw[1] == '\xFE') return NarrowUtf16(raw, 2);
  if (raw.compare(0, 3, "\xEF\xBB\xBF") == 0) return NarrowUtf8(raw, 3);
  return raw;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  for (std::size_t i = 0; prefix[i] != '\0'; ++i) {
    if (i >= text.size()) return false;
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsHexDigits(const std::string& text, std::size_t maxDigits) {
  return !text.empty() && text.size() <= maxDigits &&
         text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// The text between the quotes that open at text[*pos], with \\ and \" undone;
// *pos ends after the closing quote.
bool ReadQuoted(const std::string& text, std::size_t* pos, std::string* out) {
  std::string result;
  for (std::size_t i = *pos + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      *pos = i + 1;
      *out = result;
      return true;
    }
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) ++i;
    result += text[i];
  }
  return false;
}

class Parser {
 public:
  Parser(std::vector<std::string> lines, bool wideFile, std::vector<Operation>* operations)
      : lines_(std::move(lines)), operations_(operations), wideFile_(wideFile) {}

  bool Run(std::string* error) {
    if (!ReadHeader()) return Fail(error);
    for (++index_; index_ < lines_.size(); ++index_) {
      const std::string line = Trim(lines_[index_]);
      bool ok = true;
      if (line.empty() || line[0] == ';') continue;
      if (line[0] == '[') {
        ok = ReadSection(line);
      } else if (line[0] == '"' || line[0] == '@') {
        ok = ReadValue(line);
      } else {
        ok = Problem("unexpected text \"" + line + "\"");
      }
      if (!ok) return Fail(error);
    }
    return true;
  }

 private:
  bool Fail(std::string* error) const {
    if (error != nullptr) *error = problem_;
    return false;
  }

  bool Problem(const std::string& what) { return ProblemAt(index_, what); }
  bool ProblemAt(std::size_t index, const std::string& what) {
    problem_ = "line " + std::to_string(index + 1) + ": " + what;
    return false;
  }

  bool ReadHeader() {
    while (index_ < lines_.size() && Trim(lines_[index_]).empty()) ++index_;
    const std::string header = index_ < lines_.size() ? Trim(lines_[index_]) : "";
    if (header == "REGEDIT4") {
      format_ = Format::kRegedit4;
    } else if (header == "Windows Registry Editor Version 5.00") {
      format_ = Format::kVersion5;
    } else {
      return Problem(
          "not a registry file: expected \"REGEDIT4\" or \"Windows Registry Editor Version "
          "5.00\"");
    }
    return true;
  }

  bool ReadSection(const std::string& line) {
    if (line.back() != ']') return Problem("the key line has no closing ']'");
    std::string path = line.substr(1, line.size() - 2);
    const bool remove = !path.empty() && path[0] == '-';
    if (remove) path.erase(0, 1);
    if (!CheckKeyPath(path)) return false;
    Operation operation;
    operation.kind = remove ? Operation::Kind::kDeleteKey : Operation::Kind::kCreateKey;
    operation.path = path;
    operations_->push_back(operation);
    // Values listed under a removed key are ignored, as regedit ignores them.
    keyPath_ = remove ? "" : path;
    inRemovedKey_ = remove;
    return true;
  }

  bool CheckKeyPath(const std::string& path) {
    const std::size_t slash = path.find('\\');
    std::string root = path.substr(0, slash);
    for (char& c : root) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (root != "HKEY_LOCAL_MACHINE" && root != "HKEY_CURRENT_USER" &&
        root != "HKEY_CLASSES_ROOT" && root != "HKEY_USERS") {
      return Problem("unknown root key \"" + path.substr(0, slash) + "\"");
    }
    std::istringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '\\')) {
      if (part.size() > kMaxKeyNameChars)
        return Problem("a key name is longer than 255 characters");
    }
    return true;
  }

  bool ReadValue(const std::string& line) {
    if (keyPath_.empty() && !inRemovedKey_) return Problem("a value outside any key");
    Operation operation;
    operation.path = keyPath_;
    std::size_t pos = 1;  // after '@', the default value's name
    if (line[0] == '"') {
      pos = 0;
      if (!ReadQuoted(line, &pos, &operation.name)) {
        return Problem("the value name has no closing quote");
      }
    }
    const std::string afterName = Trim(line.substr(pos));
    if (afterName.empty() || afterName[0] != '=') {
      return Problem("expected '=' after the value name");
    }
    std::string data = Trim(afterName.substr(1));
    if (!ReadData(&data, &operation)) return false;
    if (wideHex_) {
      const std::string text =
          NarrowUtf16(std::string(operation.data.begin(), operation.data.end()), 0);
      operation.data.assign(text.begin(), text.end());
    }
    if (!inRemovedKey_) operations_->push_back(operation);
    return true;
  }

  bool ReadData(std::string* data, Operation* operation) {
    wideHex_ = false;
    operation->kind = Operation::Kind::kSetValue;
    if (*data == "-") {
      operation->kind = Operation::Kind::kDeleteValue;
      return true;
    }
    if (!data->empty() && (*data)[0] == '"') {
      std::size_t pos = 0;
      std::string text;
      if (!ReadQuoted(*data, &pos, &text)) return Problem("the string has no closing quote");
      if (!Trim(data->substr(pos)).empty()) return Problem("unexpected text after the string");
      operation->type = value_type::kSz;
      operation->data.assign(text.begin(), text.end());
      operation->data.push_back(0);
      return true;
    }
    if (StartsWithNoCase(*data, "dword:")) {
      const std::string digits = data->substr(6);
      if (!IsHexDigits(digits, 8)) return Problem("dword: needs 1 to 8 hexadecimal digits");
      const auto value = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
      operation->type = value_type::kDword;
      operation->data = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                         static_cast<std::uint8_t>(value >> 16),
                         static_cast<std::uint8_t>(value >> 24)};
      return true;
    }
    std::string list;
    if (StartsWithNoCase(*data, "hex:")) {
      operation->type = value_type::kBinary;
      list = data->substr(4);
    } else if (StartsWithNoCase(*data, "hex(")) {
      const std::size_t close = data->find("):");
      const std::string digits = close == std::string::npos ? "" : data->substr(4, close - 4);
      if (!IsHexDigits(digits, 8)) return Problem("hex(n): needs a hexadecimal type number");
      operation->type = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
      list = data->substr(close + 2);
      wideHex_ = wideFile_ && format_ == Format::kVersion5 &&
                 (operation->type == value_type::kSz || operation->type == value_type::kExpandSz ||
                  operation->type == value_type::kMultiSz);
    } else {
      return Problem("unknown value data \"" + *data + "\"");
    }
    return ReadHexList(list, &operation->data);
  }

  // A comma-separated byte list, continued on the next line after a
  // trailing backslash.
  bool ReadHexList(std::string list, std::vector<std::uint8_t>* bytes) {
    const std::size_t first = index_;
    list = Trim(list);
    while (!list.empty() && list.back() == '\\') {
      list.pop_back();
      if (index_ + 1 >= lines_.size()) {
        return ProblemAt(first, "the value continues past the end of the file");
      }
      list += Trim(lines_[++index_]);
    }
    if (list.empty()) return true;
    std::istringstream items(list);
    std::string item;
    std::size_t count = 0;
    while (std::getline(items, item, ',')) {
      item = Trim(item);
      ++count;
      // regedit's lists may end with a comma; an empty item elsewhere is an error.
      if (item.empty() && items.eof()) break;
      if (!IsHexDigits(item, 2)) {
        return ProblemAt(first, "\"" + item + "\" is not a hexadecimal byte (item " +
                                    std::to_string(count) + ")");
      }
      bytes->push_back(static_cast<std::uint8_t>(std::stoul(item, nullptr, 16)));
    }
    return true;
  }

  std::vector<std::string> lines_;
  std::vector<Operation>* operations_;
  std::size_t index_ = 0;
  Format format_ = Format::kRegedit4;
  std::string keyPath_;
  bool inRemovedKey_ = false;
  bool wideHex_ = false;
  bool wideFile_ = false;
  std::string problem_;
};

void Apply(const std::vector<Operation>& operations, SimRegistry* registry) {
  for (const Operation& operation : operations) {
    switch (operation.kind) {
      case Operation::Kind::kCreateKey:
        registry->CreateKeyAt(operation.path);
        break;
      case Operation::Kind::kDeleteKey:
        registry->DeleteTreeAt(operation.path);  // a missing key is no error
        break;
      case Operation::Kind::kSetValue:
        registry->SetValueAt(operation.path, operation.name, operation.type, operation.data);
        break;
      case Operation::Kind::kDeleteValue:
        registry->DeleteValueAt(operation.path, operation.name);
        break;
    }
  }
}

}  // namespace

bool ImportRegText(const std::string& text, SimRegistry* registry, std::string* error) {
  std::vector<Operation> operations;
  const bool wideFile = text.size() >= 2 && text[0] == '\xFF' && text[1] == '\xFE';
  Parser parser(SplitLines(DecodeFile(text)), wideFile, &operations);
  if (!parser.Run(error)) return false;
  Apply(operations, registry);
  return true;
}

bool ImportRegFile(const std::string& path, SimRegistry* registry, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream contents;
  if (!file || !(contents << file.rdbuf())) {
    if (error != nullptr) *error = path + ": cannot be read";
    return false;
  }
  std::string problem;
  if (!ImportRegText(contents.str(), registry, &problem)) {
    if (error != nullptr) *error = path + ": " + problem;
    return false;
  }
  return true;
}

namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string ValueText(std::uint32_t type, const std::vector<std::uint8_t>& data) {
  const bool plainString =
      type == value_type::kSz && !data.empty() && data.back() == 0 &&
      std::find(data.begin(), data.end() - 1, 0) == data.end() - 1;
  if (plainString) return Quoted(std::string(data.begin(), data.end() - 1));
  if (type == value_type::kDword && data.size() == 4) {
    char text[16];
    std::snprintf(text, sizeof text, "dword:%02x%02x%02x%02x", data[3], data[2], data[1], data[0]);
    return text;
  }
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, type == value_type::kBinary ? "hex:" : "hex(%x):",
                static_cast<unsigned>(type));
  std::string text = prefix;
  for (std::size_t i = 0; i < data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", data[i]);
    text += byte;
  }
  return text;
}

void ExportKey(const SimRegistry& registry, const std::string& path, std::string* out) {
  *out += "\r\n[" + path + "]\r\n";
  for (const std::string& name : registry.ValueNamesAt(path)) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    registry.GetValueAt(path, name, &type, &data);
    *out += (name.empty() ? std::string("@") : Quoted(name)) + "=" + ValueText(type, data) + "\r\n";
  }
  for (const std::string& subkey : registry.SubkeyNamesAt(path)) {
    ExportKey(registry, path + "\\" + subkey, out);
  }
}

}  // namespace

std::string ExportRegText(const SimRegistry& registry, const std::string& path) {
  std::string text = "Windows Registry Editor Version 5.00\r\n";
  ExportKey(registry, path, &text);
  return text;
}

}  // namespace velnara::platform::sim
