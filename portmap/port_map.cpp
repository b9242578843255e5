#include "portmap/port_map.h"

#include <algorithm>

#include "rename/name_form.h"
#include "text/text.h"

namespace velnara {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string Trimmed(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// Moves *at past `word` when the text holds it there, without regard to
// case; false, *at unchanged, when it does not.
bool ConsumeKeyword(const std::string& text, std::size_t* at, const char* word) {
  if (!StartsWithName(text.substr(*at), word)) return false;
  *at += std::string(word).size();
  return true;
}

void SkipBlanks(const std::string& text, std::size_t* at) {
  while (*at < text.size() && IsBlank(text[*at])) ++*at;
}

// Reads a decimal number of at most three digits, no greater than `max`,
// and moves *at past it.
bool ConsumeNumber(const std::string& text, std::size_t* at, unsigned max, unsigned* value) {
  const DecimalNumber number = ParseDecimal(text.c_str() + *at, DecimalForm::kDigitsOnly);
  if (!number.found || number.digits > 3 || number.value > static_cast<long>(max)) return false;
  *value = static_cast<unsigned>(number.value);
  *at += number.length;
  return true;
}

// "PCI b.d.f port n", whole; the bounds of PCI and of a location code's
// port byte.
bool ParseAddress(const std::string& text, PortAddress* address) {
  std::size_t at = 0;
  if (!ConsumeKeyword(text, &at, "PCI")) return false;
  SkipBlanks(text, &at);
  if (!ConsumeNumber(text, &at, 255, &address->bus) || !ConsumeKeyword(text, &at, ".") ||
      !ConsumeNumber(text, &at, 31, &address->device) || !ConsumeKeyword(text, &at, ".") ||
      !ConsumeNumber(text, &at, 7, &address->function)) {
    return false;
  }
  SkipBlanks(text, &at);
  if (!ConsumeKeyword(text, &at, "PORT")) return false;
  SkipBlanks(text, &at);
  return ConsumeNumber(text, &at, 256, &address->number) && address->number >= 1 &&
         at == text.size();
}

// "PCI" and a digit, blanks between allowed: an address, or a wrong one.
bool LooksLikeAddress(const std::string& text) {
  std::size_t at = 0;
  if (!ConsumeKeyword(text, &at, "PCI")) return false;
  SkipBlanks(text, &at);
  return at < text.size() && IsDigit(text[at]);
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

std::string FormatCards(const PortRecord* boards) {
  std::string text;
  for (const PortRecord* board = boards; board != nullptr; board = board->next) {
    const std::size_t ports = PortCount(board);
    text += std::string(text.empty() ? "" : ", ") + FormatCardAddress(*board) + " (" +
            (board->modelName != nullptr ? board->modelName : "") + ", " + std::to_string(ports) +
            (ports == 1 ? " port)" : " ports)");
  }
  return text.empty() ? "no Tarvex 880 card" : text;
}

std::string FormatPortMap(const PortRecord* boards, std::vector<std::string>* leftOut) {
  std::string text;
  for (const PortRecord* board = boards; board != nullptr; board = board->next) {
    if (!text.empty()) text += kLineEnd;
    text += "; ";
    text += board->modelName != nullptr ? board->modelName : "";
    text += kLineEnd;
    for (const PortRecord& port : PortsOfBoard(board)) {
      const std::string address = FormatAddress(AddressOf(port));
      const NameForm form = CheckNameForm(port.committedName);
      if (form == NameForm::kFine) {
        text += address + " = " + port.committedName + kLineEnd;
        continue;
      }
      const std::string why = "its name " + QuotedName(port.committedName) + " " +
                              NameFormReason(form) + ", which no map gives a port";
      text += "; " + address + " is left out: " + why + kLineEnd;
      if (leftOut != nullptr) leftOut->push_back(address + " is left out of the map: " + why);
    }
  }
  return text;
}

bool ParseMapLine(const std::string& text, int number, MapEntry* entry, std::string* problem) {
  *entry = MapEntry();
  if (text.size() > kMaxMapLine) {
    *problem = "longer than " + std::to_string(kMaxMapLine) + " characters";
    return false;
  }
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
      *problem = byte == 0 ? "holds a NUL byte" : "holds a control character";
      return false;
    }
  }
  std::string line = Trimmed(text);
  // A comment at the end of the line begins with a blank.
  for (std::size_t i = 1; i < line.size(); ++i) {
    if ((line[i] == ';' || line[i] == '#') && IsBlank(line[i - 1])) {
      line = Trimmed(line.substr(0, i));
      break;
    }
  }
  if (line.empty() || line[0] == ';' || line[0] == '#') return true;
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) {
    *problem = Quoted(line) + " is not of the form PORT = NAME";
    return false;
  }
  if (line.find('=', equals + 1) != std::string::npos) {
    *problem = "has more than one '='";
    return false;
  }
  const std::string port = Trimmed(line.substr(0, equals));
  if (port.empty()) {
    *problem = "names no port before '='";
    return false;
  }
  if (LooksLikeAddress(port)) {
    if (!ParseAddress(port, &entry->address)) {
      *problem = Quoted(port) +
                 " is not a port's address: PCI bus.device.function port number, such as "
                 "PCI 2.12.0 port 1";
      return false;
    }
    entry->byAddress = true;
  } else {
    entry->currentName = port;
  }
  entry->newName = Trimmed(line.substr(equals + 1));
  entry->line = number;
  return true;
}

void ParsePortMap(const std::string& text, std::vector<MapEntry>* entries,
                  std::vector<MapProblem>* problems) {
  // Notepad's "Unicode" puts a byte order mark first; its "UTF-8" one too,
  // which is harmless for the ASCII a map holds.
  if (text.size() >= 2 &&
      ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'))) {
    problems->push_back({1, "the map is saved as Unicode; save it as ANSI"});
    return;
  }
  std::size_t at = text.compare(0, 3, kUtf8Mark) == 0 ? 3 : 0;
  // "copy /a" ends what it writes with a Ctrl-Z: the text ends there.
  const std::size_t size = std::min(text.find('\x1A', at), text.size());
  for (int number = 1; at < size; ++number) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos || end > size) end = size;
    std::string line = text.substr(at, end - at);
    // CR LF, and the CR CR LF of a file that went through a text-mode copy
    // twice: one line end.
    while (!line.empty() && line.back() == '\r') line.pop_back();
    at = end + 1;
    // A byte order mark within the file (two files joined) is no character
    // anyone can see: say what it is.
    if (line.find(kUtf8Mark) != std::string::npos) {
      problems->push_back({number,
                           "holds a UTF-8 byte order mark (EF BB BF) that is not at the "
                           "start of the file; save the map as ANSI"});
      continue;
    }
    MapEntry entry;
    std::string problem;
    if (!ParseMapLine(line, number, &entry, &problem)) {
      problems->push_back({number, problem});
    } else if (entry.line != 0) {
      entries->push_back(entry);
    }
  }
}

void ResolvePortMap(PortRecord* boards, const std::vector<MapEntry>& entries, const char* unit,
                    std::vector<MappedPort>* ports, std::vector<MapProblem>* problems) {
  for (const MapEntry& entry : entries) {
    std::vector<PortRecord*> found;
    std::vector<PortRecord*> done;  // for a name no port has: the ports named as asked
    for (PortRecord& port : Ports(boards)) {
      const bool named = entry.byAddress ? AddressOf(port) == entry.address
                                         : SameName(port.committedName, entry.currentName);
      if (named) found.push_back(&port);
      if (!entry.byAddress && port.committedName == entry.newName) done.push_back(&port);
    }
    if (found.empty() && done.size() == 1) found = done;
    const std::string what =
        entry.byAddress ? FormatAddress(entry.address) : Quoted(entry.currentName);
    if (found.empty()) {
      problems->push_back(
          {entry.line,
           entry.byAddress ? "no port is at " + what : "no port of this PC is named " + what,
           entry.byAddress});
      continue;
    }
    if (found.size() > 1) {
      problems->push_back({entry.line, std::to_string(found.size()) + " ports answer to " + what +
                                           "; name each by its PCI address"});
      continue;
    }
    int earlier = 0;
    for (const MappedPort& mapped : *ports) {
      if (mapped.port == found[0]) earlier = mapped.line;
    }
    if (earlier != 0) {
      problems->push_back({entry.line, FormatAddress(AddressOf(*found[0])) +
                                           " is named again (first on " + unit + " " +
                                           std::to_string(earlier) + ")"});
      continue;
    }
    ports->push_back({entry.line, found[0], entry.newName});
  }
}

}  // namespace velnara
