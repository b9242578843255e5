#include "safety/journal.h"

#include "safety/backup.h"
#include "safety/durable_file.h"
#include "text/text.h"

namespace velnara {

using namespace platform;

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kFirstLine = "velnara-journal 1";
constexpr const char* kHeader =
    "; Velnara: the journal of a walk that writes port names. While this file\r\n"
    "; is here, that walk did not end: the next start of Velnara (the dialog,\r\n"
    "; /check or /apply) puts every place back as it was before the walk, or\r\n"
    "; removes this file when the walk had written everything. Do not edit it.\r\n";
// Far more than the journal of the largest machine (4,096 ports).
constexpr std::size_t kMostJournalBytes = 16 * 1024 * 1024;

const char kHex[] = "0123456789ABCDEF";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A text as one field: nothing that could end the field or the line, and
// "-" alone for the empty text.
std::string Field(const std::string& text) {
  if (text.empty()) return "-";
  std::string field;
  field.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || c == '%' || (c == '-' && text.size() == 1)) {
      field += '%';
      field += kHex[byte >> 4];
      field += kHex[byte & 0xF];
    } else {
      field += c;
    }
  }
  return field;
}

bool ReadField(const std::string& field, std::string* text) {
  text->clear();
  if (field == "-") return true;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      *text += field[i];
      continue;
    }
    if (i + 2 >= field.size()) return false;
    const int high = HexDigit(field[i + 1]);
    const int low = HexDigit(field[i + 2]);
    if (high < 0 || low < 0) return false;
    *text += static_cast<char>(high << 4 | low);
    i += 2;
  }
  return true;
}

std::string StateField(const ValueState& state) {
  if (!state.exists) return "-";
  std::string field = std::to_string(state.type) + ":";
  field.reserve(field.size() + 2 * state.data.size());
  for (const std::uint8_t byte : state.data) {
    field += kHex[byte >> 4];
    field += kHex[byte & 0xF];
  }
  return field;
}

bool ReadState(const std::string& field, ValueState* state) {
  *state = ValueState();
  if (field == "-") return true;
  const std::size_t colon = field.find(':');
  if (colon == std::string::npos) return false;
  const DecimalNumber type = ParseDecimal(field.c_str(), DecimalForm::kDigitsOnly);
  if (!type.found || type.length != colon || type.digits > 10) return false;
  const std::string hex = field.substr(colon + 1);
  if (hex.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    state->data.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  state->exists = true;
  state->type = static_cast<std::uint32_t>(type.value);
  return true;
}

// FNV-1a: enough to know a changed or shortened file.
std::uint32_t Sum(const std::string& text) {
  std::uint32_t sum = 2166136261u;
  for (const char c : text) {
    sum ^= static_cast<unsigned char>(c);
    sum *= 16777619u;
  }
  return sum;
}

std::string Hex8(std::uint32_t value) {
  std::string text(8, '0');
  for (int digit = 7; digit >= 0; --digit, value >>= 4) {
    text[static_cast<std::size_t>(digit)] = kHex[value & 0xF];
  }
  return text;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at <= line.size()) {
    const std::size_t space = line.find(' ', at);
    const std::size_t end = space == std::string::npos ? line.size() : space;
    words.push_back(line.substr(at, end - at));
    if (space == std::string::npos) break;
    at = space + 1;
  }
  return words;
}

bool ReadNumber(const std::string& word, long most, long* value) {
  const DecimalNumber number = ParseDecimal(word.c_str(), DecimalForm::kDigitsOnly);
  if (!number.found || number.length != word.size() || number.value > most) return false;
  *value = number.value;
  return true;
}

bool ReadFlag(const std::string& word, bool* flag) {
  if (word != "0" && word != "1") return false;
  *flag = word == "1";
  return true;
}

// One line of the body; false when it is none FormatJournal writes.
bool ReadLine(const std::vector<std::string>& words, Journal* journal) {
  const std::string& kind = words[0];
  if (kind == "walk" && words.size() == 2) return ReadField(words[1], &journal->walk);
  if (kind == "port" && words.size() == 4) {
    JournalPort port;
    journal->ports.push_back(port);
    JournalPort& read = journal->ports.back();
    return ReadField(words[1], &read.address) && ReadField(words[2], &read.before) &&
           ReadField(words[3], &read.after);
  }
  if (kind == "value" && words.size() == 5) {
    journal->values.emplace_back();
    ValuePlace& place = journal->values.back();
    return ReadField(words[1], &place.key) && ReadField(words[2], &place.name) &&
           ReadState(words[3], &place.before) && ReadState(words[4], &place.after);
  }
  if (kind == "list" && words.size() == 3) {
    journal->lists.emplace_back();
    ListPlace& place = journal->lists.back();
    return ReadField(words[1], &place.key) && ReadField(words[2], &place.sddl) &&
           !place.sddl.empty();
  }
  if (kind == "claim" && words.size() == 4) {
    journal->claims.emplace_back();
    ClaimPlace& place = journal->claims.back();
    return ReadNumber(words[1], 4096, &place.number) && place.number >= 1 &&
           ReadFlag(words[2], &place.before) && ReadFlag(words[3], &place.after);
  }
  return false;
}

}  // namespace

bool operator==(const ValueState& a, const ValueState& b) {
  if (a.exists != b.exists) return false;
  return !a.exists || (a.type == b.type && a.data == b.data);
}

std::string FormatJournal(const Journal& journal) {
  std::string text = kHeader;
  text += std::string(kFirstLine) + kLineEnd;
  text += "walk " + Field(journal.walk) + kLineEnd;
  for (const JournalPort& port : journal.ports) {
    text += "port " + Field(port.address) + " " + Field(port.before) + " " + Field(port.after) +
            kLineEnd;
  }
  for (const ValuePlace& place : journal.values) {
    text += "value " + Field(place.key) + " " + Field(place.name) + " " + StateField(place.before) +
            " " + StateField(place.after) + kLineEnd;
  }
  for (const ListPlace& place : journal.lists) {
    text += "list " + Field(place.key) + " " + Field(place.sddl) + kLineEnd;
  }
  for (const ClaimPlace& place : journal.claims) {
    text += "claim " + std::to_string(place.number) + " " + (place.before ? "1" : "0") + " " +
            (place.after ? "1" : "0") + kLineEnd;
  }
  std::size_t lines = 0;
  for (const char c : text) lines += c == '\n';
  return text + "end " + std::to_string(lines) + " " + Hex8(Sum(text)) + kLineEnd;
}

bool ParseJournal(const std::string& text, Journal* journal, std::string* problem) {
  *journal = Journal();
  const std::string tail = "\r\nend ";
  const std::size_t endAt = text.rfind(tail);
  if (endAt == std::string::npos) {
    *problem = "it has no last line: it was cut short";
    return false;
  }
  const std::string body = text.substr(0, endAt + 2);
  std::size_t lines = 0;
  for (const char c : body) lines += c == '\n';
  const std::string last = text.substr(endAt + 2);
  if (last != "end " + std::to_string(lines) + " " + Hex8(Sum(body)) + kLineEnd) {
    *problem = "its lines are not the ones Velnara wrote: it was changed or cut short";
    return false;
  }
  bool first = true;
  int number = 0;
  for (std::size_t at = 0; at < body.size();) {
    const std::size_t end = body.find('\n', at);
    std::string line = body.substr(at, end - at);
    at = end == std::string::npos ? body.size() : end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (first) {
      if (line != kFirstLine) {
        *problem = "it is no journal this Velnara writes (line " + std::to_string(number) + ")";
        return false;
      }
      first = false;
      continue;
    }
    if (!ReadLine(Words(line), journal)) {
      *problem = "line " + std::to_string(number) + " cannot be read";
      return false;
    }
  }
  if (first || journal->walk.empty()) {
    *problem = "it names no walk";
    return false;
  }
  return true;
}

ErrorCode JournalPath(Platform& platform, std::string* path) {
  std::string folder;
  if (const ErrorCode code = KeptNamesFolder(platform, &folder); code != error::kSuccess) {
    return code;
  }
  *path = folder + "\\journal.txt";
  return error::kSuccess;
}

ErrorCode WriteJournal(Platform& platform, const std::string& path, const Journal& journal) {
  return WriteNewFileWhole(platform.files, path, FormatJournal(journal));
}

FoundJournal FindJournal(Platform& platform) {
  FoundJournal found;
  if (JournalPath(platform, &found.path) != error::kSuccess) return found;
  File file(platform.files);
  const ErrorCode opened =
      file.Open(found.path, file::kGenericRead, file::kOpenExisting, file::kShareRead);
  if (opened == error::kFileNotFound || opened == error::kPathNotFound) return found;
  std::string text;
  ErrorCode code = opened;
  if (code == error::kSuccess) code = file.ReadAll(kMostJournalBytes, &text);
  found.state = FoundJournal::State::kUnreadable;
  if (code != error::kSuccess) {
    found.code = code;
    found.problem = "it cannot be read";
    return found;
  }
  if (ParseJournal(text, &found.journal, &found.problem)) {
    found.state = FoundJournal::State::kReadable;
  }
  return found;
}

}  // namespace velnara
