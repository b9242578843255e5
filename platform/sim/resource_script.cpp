#include "platform/sim/resource_script.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

namespace velnara::platform::sim {
namespace {

// The Windows constants a resource script may use, as <windows.h> and
// <commctrl.h> define them for the resource compiler.
struct NamedValue {
  const char* name;
  std::uint32_t value;
};

// clang-format off
constexpr NamedValue kWindowsConstants[] = {
    // Window styles.
    {"WS_OVERLAPPED", 0x00000000}, {"WS_POPUP", 0x80000000}, {"WS_CHILD", 0x40000000},
    {"WS_MINIMIZE", 0x20000000}, {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000},
    {"WS_CLIPSIBLINGS", 0x04000000}, {"WS_CLIPCHILDREN", 0x02000000},
    {"WS_MAXIMIZE", 0x01000000}, {"WS_CAPTION", 0x00C00000}, {"WS_BORDER", 0x00800000},
    {"WS_DLGFRAME", 0x00400000}, {"WS_VSCROLL", 0x00200000}, {"WS_HSCROLL", 0x00100000},
    {"WS_SYSMENU", 0x00080000}, {"WS_THICKFRAME", 0x00040000}, {"WS_GROUP", 0x00020000},
    {"WS_TABSTOP", 0x00010000}, {"WS_MINIMIZEBOX", 0x00020000},
    {"WS_MAXIMIZEBOX", 0x00010000},
    // Extended window styles.
    {"WS_EX_DLGMODALFRAME", 0x00000001}, {"WS_EX_NOPARENTNOTIFY", 0x00000004},
    {"WS_EX_TOPMOST", 0x00000008}, {"WS_EX_ACCEPTFILES", 0x00000010},
    {"WS_EX_TRANSPARENT", 0x00000020}, {"WS_EX_TOOLWINDOW", 0x00000080},
    {"WS_EX_WINDOWEDGE", 0x00000100}, {"WS_EX_CLIENTEDGE", 0x00000200},
    {"WS_EX_CONTEXTHELP", 0x00000400}, {"WS_EX_CONTROLPARENT", 0x00010000},
    {"WS_EX_STATICEDGE", 0x00020000}, {"WS_EX_APPWINDOW", 0x00040000},
    // Dialog styles.
    {"DS_ABSALIGN", 0x0001}, {"DS_SYSMODAL", 0x0002}, {"DS_3DLOOK", 0x0004},
    {"DS_FIXEDSYS", 0x0008}, {"DS_NOFAILCREATE", 0x0010}, {"DS_LOCALEDIT", 0x0020},
    {"DS_SETFONT", 0x0040}, {"DS_MODALFRAME", 0x0080}, {"DS_NOIDLEMSG", 0x0100},
    {"DS_SETFOREGROUND", 0x0200}, {"DS_CONTROL", 0x0400}, {"DS_CENTER", 0x0800},
    {"DS_CENTERMOUSE", 0x1000}, {"DS_CONTEXTHELP", 0x2000}, {"DS_SHELLFONT", 0x0048},
    // Button styles.
    {"BS_PUSHBUTTON", 0x0000}, {"BS_DEFPUSHBUTTON", 0x0001}, {"BS_CHECKBOX", 0x0002},
    {"BS_AUTOCHECKBOX", 0x0003}, {"BS_RADIOBUTTON", 0x0004}, {"BS_3STATE", 0x0005},
    {"BS_AUTO3STATE", 0x0006}, {"BS_GROUPBOX", 0x0007}, {"BS_AUTORADIOBUTTON", 0x0009},
    {"BS_OWNERDRAW", 0x000B}, {"BS_LEFTTEXT", 0x0020}, {"BS_ICON", 0x0040},
    {"BS_BITMAP", 0x0080}, {"BS_LEFT", 0x0100}, {"BS_RIGHT", 0x0200}, {"BS_CENTER", 0x0300},
    {"BS_TOP", 0x0400}, {"BS_BOTTOM", 0x0800}, {"BS_VCENTER", 0x0C00},
    {"BS_PUSHLIKE", 0x1000}, {"BS_MULTILINE", 0x2000}, {"BS_NOTIFY", 0x4000},
    {"BS_FLAT", 0x8000},
    // Static styles.
    {"SS_LEFT", 0x0000}, {"SS_CENTER", 0x0001}, {"SS_RIGHT", 0x0002}, {"SS_ICON", 0x0003},
    {"SS_BLACKRECT", 0x0004}, {"SS_GRAYRECT", 0x0005}, {"SS_WHITERECT", 0x0006},
    {"SS_BLACKFRAME", 0x0007}, {"SS_GRAYFRAME", 0x0008}, {"SS_WHITEFRAME", 0x0009},
    {"SS_SIMPLE", 0x000B}, {"SS_LEFTNOWORDWRAP", 0x000C}, {"SS_BITMAP", 0x000E},
    {"SS_ETCHEDHORZ", 0x0010}, {"SS_ETCHEDVERT", 0x0011}, {"SS_ETCHEDFRAME", 0x0012},
    {"SS_NOPREFIX", 0x0080}, {"SS_NOTIFY", 0x0100}, {"SS_CENTERIMAGE", 0x0200},
    {"SS_RIGHTJUST", 0x0400}, {"SS_REALSIZEIMAGE", 0x0800}, {"SS_SUNKEN", 0x1000},
    {"SS_ENDELLIPSIS", 0x4000}, {"SS_PATHELLIPSIS", 0x8000}, {"SS_WORDELLIPSIS", 0xC000},
    // Edit styles.
    {"ES_LEFT", 0x0000}, {"ES_CENTER", 0x0001}, {"ES_RIGHT", 0x0002},
    {"ES_MULTILINE", 0x0004}, {"ES_UPPERCASE", 0x0008}, {"ES_LOWERCASE", 0x0010},
    {"ES_PASSWORD", 0x0020}, {"ES_AUTOVSCROLL", 0x0040}, {"ES_AUTOHSCROLL", 0x0080},
    {"ES_NOHIDESEL", 0x0100}, {"ES_OEMCONVERT", 0x0400}, {"ES_READONLY", 0x0800},
    {"ES_WANTRETURN", 0x1000}, {"ES_NUMBER", 0x2000},
    // Combo box styles.
    {"CBS_SIMPLE", 0x0001}, {"CBS_DROPDOWN", 0x0002}, {"CBS_DROPDOWNLIST", 0x0003},
    {"CBS_OWNERDRAWFIXED", 0x0010}, {"CBS_OWNERDRAWVARIABLE", 0x0020},
    {"CBS_AUTOHSCROLL", 0x0040}, {"CBS_OEMCONVERT", 0x0080}, {"CBS_SORT", 0x0100},
    {"CBS_HASSTRINGS", 0x0200}, {"CBS_NOINTEGRALHEIGHT", 0x0400},
    {"CBS_DISABLENOSCROLL", 0x0800}, {"CBS_UPPERCASE", 0x2000}, {"CBS_LOWERCASE", 0x4000},
    // Tree-view styles.
    {"TVS_HASBUTTONS", 0x0001}, {"TVS_HASLINES", 0x0002}, {"TVS_LINESATROOT", 0x0004},
    {"TVS_EDITLABELS", 0x0008}, {"TVS_DISABLEDRAGDROP", 0x0010},
    {"TVS_SHOWSELALWAYS", 0x0020}, {"TVS_RTLREADING", 0x0040}, {"TVS_NOTOOLTIPS", 0x0080},
    {"TVS_CHECKBOXES", 0x0100}, {"TVS_TRACKSELECT", 0x0200}, {"TVS_SINGLEEXPAND", 0x0400},
    {"TVS_INFOTIP", 0x0800}, {"TVS_FULLROWSELECT", 0x1000}, {"TVS_NOSCROLL", 0x2000},
    {"TVS_NONEVENHEIGHT", 0x4000}, {"TVS_NOHSCROLL", 0x8000},
    // Dialog command ids, languages, the version record's name.
    {"IDOK", 1}, {"IDCANCEL", 2}, {"IDABORT", 3}, {"IDRETRY", 4}, {"IDIGNORE", 5},
    {"IDYES", 6}, {"IDNO", 7}, {"LANG_NEUTRAL", 0x00}, {"LANG_ENGLISH", 0x09},
    {"SUBLANG_NEUTRAL", 0x00}, {"SUBLANG_DEFAULT", 0x01}, {"SUBLANG_ENGLISH_US", 0x01},
    {"SUBLANG_ENGLISH_UK", 0x02}, {"VS_VERSION_INFO", 1},
};
// clang-format on

const NamedValue* FindWindowsConstant(const std::string& name) {
  for (const NamedValue& constant : kWindowsConstants) {
    if (name == constant.name) return &constant;
  }
  return nullptr;
}

struct ParseError {
  int line;
  std::string message;
};

[[noreturn]] void Fail(int line, std::string message) {
  throw ParseError{line, std::move(message)};
}

// --- Tokens ---------------------------------------------------------------

struct Token {
  enum class Type { Word, Number, String, Punct, End };
  Type type = Type::End;
  std::string text;  // words and punctuation; strings with escapes resolved
  std::uint32_t number = 0;
  int line = 0;

  bool IsWord(const char* word) const { return type == Type::Word && text == word; }
  bool IsPunct(char c) const { return type == Type::Punct && text[0] == c; }
  bool OpensBlock() const { return IsWord("BEGIN") || IsPunct('{'); }
  bool ClosesBlock() const { return IsWord("END") || IsPunct('}'); }
};

bool IsWordStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// A string literal of the resource compiler: "" stands for one quote, and the
// C escapes \n (a line feed alone), \t, \r, \\ and \" are resolved.
std::string ReadString(const std::string& text, std::size_t* pos, int line) {
  std::string value;
  std::size_t i = *pos + 1;
  for (;;) {
    if (i >= text.size() || text[i] == '\n') Fail(line, "string is not closed");
    const char c = text[i];
    if (c == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        value += '"';
        i += 2;
        continue;
      }
      *pos = i + 1;
      return value;
    }
    if (c == '\\') {
      const char e = i + 1 < text.size() ? text[i + 1] : '\0';
      switch (e) {
        case 'n':
          value += '\n';
          break;
        case 't':
          value += '\t';
          break;
        case 'r':
          value += '\r';
          break;
        case '\\':
          value += '\\';
          break;
        case '"':
          value += '"';
          break;
        default:
          Fail(line, std::string("unknown escape \\") + e + " in a string");
      }
      i += 2;
      continue;
    }
    value += c;
    ++i;
  }
}

std::uint32_t ReadNumber(const std::string& text, std::size_t* pos, int line) {
  std::size_t i = *pos;
  std::uint64_t value = 0;
  if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    i += 2;
    const std::size_t digits = i;
    while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i]))) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
      value = value * 16 + static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
      value &= 0xFFFFFFFFu;
      ++i;
    }
    if (i == digits) Fail(line, "hexadecimal number without digits");
  } else {
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      value = (value * 10 + static_cast<std::uint64_t>(text[i] - '0')) & 0xFFFFFFFFu;
      ++i;
    }
  }
  // The L and U suffixes of C numbers mean nothing to the resource compiler.
  while (i < text.size() &&
         (text[i] == 'L' || text[i] == 'l' || text[i] == 'U' || text[i] == 'u')) {
    ++i;
  }
  if (i < text.size() && IsWordChar(text[i])) Fail(line, "malformed number");
  *pos = i;
  return static_cast<std::uint32_t>(value);
}

// Splits preprocessed text into tokens. `firstLine` numbers its first line.
std::vector<Token> Tokenize(const std::string& text, int firstLine) {
  std::vector<Token> tokens;
  int line = firstLine;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      ++i;
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    Token token;
    token.line = line;
    if (c == '"') {
      token.type = Token::Type::String;
      token.text = ReadString(text, &i, line);
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      token.type = Token::Type::Number;
      token.number = ReadNumber(text, &i, line);
    } else if (IsWordStart(c)) {
      token.type = Token::Type::Word;
      const std::size_t start = i;
      while (i < text.size() && IsWordChar(text[i])) ++i;
      token.text = text.substr(start, i - start);
    } else if (std::string(",|&+-~(){}").find(c) != std::string::npos) {
      token.type = Token::Type::Punct;
      token.text = std::string(1, c);
      ++i;
    } else {
      Fail(line, std::string("unexpected character '") + c + "'");
    }
    tokens.push_back(std::move(token));
  }
  Token end;
  end.line = line;
  tokens.push_back(end);
  return tokens;
}

// --- Symbols and expressions ----------------------------------------------

struct TokenStream {
  std::vector<Token> tokens;
  std::size_t pos = 0;

  const Token& Peek() const { return tokens[pos]; }
  Token Next() {
    Token token = tokens[pos];
    if (pos + 1 < tokens.size()) ++pos;
    return token;
  }
  bool AcceptPunct(char c) {
    if (!Peek().IsPunct(c)) return false;
    Next();
    return true;
  }
  void ExpectPunct(char c, const char* where) {
    if (!AcceptPunct(c)) Fail(Peek().line, std::string("expected '") + c + "' " + where);
  }
};

struct MacroDefinition {
  std::string body;
  int line;
};

// Names defined by #define in the resource header and the script; object-
// like macros only, their bodies evaluated when a number is needed.
class Symbols {
 public:
  void Define(const std::string& name, std::string body, int line) {
    defines_[name] = {std::move(body), line};
  }
  void Undefine(const std::string& name) { defines_.erase(name); }
  bool IsDefined(const std::string& name) const {
    return defines_.count(name) != 0 || FindWindowsConstant(name) != nullptr ||
           name == "RC_INVOKED";
  }
  const MacroDefinition* Find(const std::string& name) const {
    const auto found = defines_.find(name);
    return found == defines_.end() ? nullptr : &found->second;
  }

 private:
  std::map<std::string, MacroDefinition> defines_;
};

// Integer expressions with C's | & + - ~ and parentheses over numbers and
// names. In #if conditions `defined` works and unknown names count as 0.
class Evaluator {
 public:
  Evaluator(const Symbols& symbols, bool condition) : symbols_(symbols), condition_(condition) {}

  std::uint32_t Or(TokenStream& in) {
    std::uint32_t value = And(in);
    while (in.AcceptPunct('|')) value |= And(in);
    return value;
  }

  // A style: starts from `initial`; each term is or-ed in, and a term
  // written "NOT x" clears the bits of x, from left to right as windres
  // reads them ("WS_TABSTOP | NOT WS_TABSTOP" has no tab stop).
  std::uint32_t Style(TokenStream& in, std::uint32_t initial) {
    std::uint32_t style = initial;
    do {
      if (in.Peek().IsWord("NOT")) {
        in.Next();
        style &= ~Unary(in);
      } else {
        style |= And(in);
      }
    } while (in.AcceptPunct('|'));
    return style;
  }

 private:
  std::uint32_t And(TokenStream& in) {
    std::uint32_t value = Sum(in);
    while (in.AcceptPunct('&')) value &= Sum(in);
    return value;
  }

  std::uint32_t Sum(TokenStream& in) {
    std::uint32_t value = Unary(in);
    for (;;) {
      if (in.AcceptPunct('+')) {
        value += Unary(in);
      } else if (in.AcceptPunct('-')) {
        value -= Unary(in);
      } else {
        return value;
      }
    }
  }

  std::uint32_t Unary(TokenStream& in) {
    if (in.AcceptPunct('-')) return 0u - Unary(in);
    if (in.AcceptPunct('~')) return ~Unary(in);
    if (in.AcceptPunct('(')) {
      const std::uint32_t value = Or(in);
      in.ExpectPunct(')', "to close a parenthesis");
      return value;
    }
    const Token token = in.Next();
    if (token.type == Token::Type::Number) return token.number;
    if (token.type == Token::Type::Word) {
      if (condition_ && token.text == "defined") return Defined(in);
      return Name(token);
    }
    Fail(token.line, token.type == Token::Type::End
                         ? "expression expected at the end"
                         : "expression expected before '" + token.text + "'");
  }

  std::uint32_t Defined(TokenStream& in) {
    const bool parenthesised = in.AcceptPunct('(');
    const Token name = in.Next();
    if (name.type != Token::Type::Word) Fail(name.line, "name expected after defined");
    if (parenthesised) in.ExpectPunct(')', "after defined(name");
    return symbols_.IsDefined(name.text) ? 1 : 0;
  }

  std::uint32_t Name(const Token& token) {
    if (const MacroDefinition* define = symbols_.Find(token.text)) {
      if (++depth_ > 32) Fail(token.line, token.text + " is defined in terms of itself");
      TokenStream body{Tokenize(define->body, token.line)};
      if (body.Peek().type == Token::Type::End) {
        Fail(token.line, token.text + " is defined without a value");
      }
      const std::uint32_t value = Or(body);
      if (body.Peek().type != Token::Type::End) {
        Fail(token.line, "the value of " + token.text + " is not a number");
      }
      --depth_;
      return value;
    }
    if (const NamedValue* constant = FindWindowsConstant(token.text)) return constant->value;
    if (condition_) return 0;
    Fail(token.line, "unknown name " + token.text);
  }

  const Symbols& symbols_;
  bool condition_;
  int depth_ = 0;
};

// --- Preprocessing --------------------------------------------------------

// Blanks out // and /* */ comments, keeping line breaks and string literals.
std::string StripComments(const std::string& text) {
  std::string out = text;
  std::size_t i = 0;
  while (i < out.size()) {
    if (out[i] == '"') {
      for (++i; i < out.size() && out[i] != '\n'; ++i) {
        if (out[i] == '\\') {
          ++i;
        } else if (out[i] == '"') {
          if (i + 1 < out.size() && out[i + 1] == '"') {
            ++i;
          } else {
            break;
          }
        }
      }
      ++i;
    } else if (out.compare(i, 2, "//") == 0) {
      while (i < out.size() && out[i] != '\n') out[i++] = ' ';
    } else if (out.compare(i, 2, "/*") == 0) {
      const std::size_t end = out.find("*/", i + 2);
      const std::size_t stop = end == std::string::npos ? out.size() : end + 2;
      for (; i < stop; ++i) {
        if (out[i] != '\n') out[i] = ' ';
      }
    } else {
      ++i;
    }
  }
  return out;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Runs the directives: #define and #undef feed `symbols`; #if, #ifdef,
// #ifndef, #elif, #else and #endif choose lines; #include and #pragma are
// left to the real compiler (the resource header arrives separately and the
// system headers are known through the table above). Returns the text of the
// lines that remain, every other line left empty so line numbers stay true.
std::string Preprocess(const std::string& source, Symbols& symbols) {
  struct Branch {
    bool parentActive;
    bool active;
    bool taken;
  };
  std::vector<Branch> branches;
  const auto active = [&branches] { return branches.empty() || branches.back().active; };
  const auto condition = [&symbols](const std::string& text, int line) {
    Evaluator evaluator(symbols, true);
    TokenStream in{Tokenize(text, line)};
    const bool value = evaluator.Or(in) != 0;
    if (in.Peek().type != Token::Type::End) Fail(line, "malformed #if condition");
    return value;
  };

  std::istringstream lines(StripComments(source));
  std::string out;
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    const int first = ++number;
    std::string text = Trim(line);
    if (text.empty() || text[0] != '#') {
      out += active() ? line : std::string();
      out += '\n';
      continue;
    }
    while (!text.empty() && text.back() == '\\' && std::getline(lines, line)) {
      text.pop_back();
      text += ' ' + Trim(line);
      ++number;
    }
    std::size_t i = 1;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t end = i;
    while (end < text.size() && IsWordChar(text[end])) ++end;
    const std::string directive = text.substr(i, end - i);
    const std::string rest = Trim(text.substr(end));

    if (directive == "if" || directive == "ifdef" || directive == "ifndef") {
      const bool parent = active();
      bool value = false;
      if (parent) {
        if (directive == "if") {
          value = condition(rest, first);
        } else {
          const bool defined = symbols.IsDefined(rest);
          value = directive == "ifdef" ? defined : !defined;
        }
      }
      branches.push_back({parent, parent && value, value});
    } else if (directive == "elif" || directive == "else" || directive == "endif") {
      if (branches.empty()) Fail(first, "#" + directive + " without #if");
      Branch& branch = branches.back();
      if (directive == "endif") {
        branches.pop_back();
      } else if (directive == "else") {
        branch.active = branch.parentActive && !branch.taken;
        branch.taken = true;
      } else {
        const bool value = branch.parentActive && !branch.taken && condition(rest, first);
        branch.active = value;
        branch.taken = branch.taken || value;
      }
    } else if (!active()) {
      // Directives in a branch that is not taken are not looked at.
    } else if (directive == "define") {
      std::size_t nameEnd = 0;
      while (nameEnd < rest.size() && IsWordChar(rest[nameEnd])) ++nameEnd;
      if (nameEnd == 0) Fail(first, "#define without a name");
      // Macros with parameters cannot be resource numbers; they are skipped.
      if (nameEnd >= rest.size() || rest[nameEnd] != '(') {
        symbols.Define(rest.substr(0, nameEnd), Trim(rest.substr(nameEnd)), first);
      }
    } else if (directive == "undef") {
      symbols.Undefine(rest);
    } else if (directive == "error") {
      Fail(first, "#error " + rest);
    } else if (directive != "include" && directive != "pragma") {
      Fail(first, "unknown directive #" + directive);
    }
    for (int n = first; n <= number; ++n) out += '\n';
  }
  if (!branches.empty()) Fail(number, "#if without #endif");
  return out;
}

// --- Resource statements --------------------------------------------------

// A control statement other than CONTROL. When the statement gives no style
// the control gets `defaultStyle`; when it gives one, windres starts from
// `baseStyle` instead, so an LTEXT with a style loses WS_GROUP and a COMBOBOX
// with a style loses CBS_SIMPLE and WS_TABSTOP. WS_CHILD | WS_VISIBLE come
// first in both cases.
struct ControlStatement {
  const char* keyword;
  const char* className;
  ControlKind kind;
  bool hasText;
  std::uint32_t defaultStyle;
  std::uint32_t baseStyle;
};

constexpr std::uint32_t kWsGroup = style::kGroup;
constexpr std::uint32_t kWsTabStop = style::kTabStop;
constexpr std::uint32_t kWsBorder = 0x00800000;
constexpr std::uint32_t kSsIcon = 0x0003;

constexpr ControlStatement kControlStatements[] = {
    {"LTEXT", "Static", ControlKind::Static, true, 0x0000 | kWsGroup, 0x0000},
    {"CTEXT", "Static", ControlKind::Static, true, 0x0001 | kWsGroup, 0x0001},
    {"RTEXT", "Static", ControlKind::Static, true, 0x0002 | kWsGroup, 0x0002},
    {"ICON", "Static", ControlKind::Static, true, kSsIcon, kSsIcon},
    {"PUSHBUTTON", "Button", ControlKind::Button, true, 0x0000 | kWsTabStop, 0x0000 | kWsTabStop},
    {"DEFPUSHBUTTON", "Button", ControlKind::Button, true, 0x0001 | kWsTabStop,
     0x0001 | kWsTabStop},
    {"GROUPBOX", "Button", ControlKind::Button, true, 0x0007, 0x0007},
    {"EDITTEXT", "Edit", ControlKind::Edit, false, kWsBorder | kWsTabStop, kWsBorder | kWsTabStop},
    {"COMBOBOX", "ComboBox", ControlKind::ComboBox, false, 0x0001 | kWsTabStop, 0},
};

const char* const kMemoryFlags[] = {"PRELOAD", "LOADONCALL", "FIXED",  "MOVEABLE", "DISCARDABLE",
                                    "PURE",    "IMPURE",     "SHARED", "NONSHARED"};

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return i == a.size() && b[i] == '\0';
}

ControlKind KindOfClass(const std::string& className) {
  if (EqualsIgnoringCase(className, "Button")) return ControlKind::Button;
  if (EqualsIgnoringCase(className, "Edit")) return ControlKind::Edit;
  if (EqualsIgnoringCase(className, "Static")) return ControlKind::Static;
  if (EqualsIgnoringCase(className, "ComboBox")) return ControlKind::ComboBox;
  if (EqualsIgnoringCase(className, "SysTreeView32")) return ControlKind::TreeView;
  return ControlKind::Other;
}

class ScriptParser {
 public:
  ScriptParser(std::vector<Token> tokens, const Symbols& symbols, ResourceScript* script)
      : in_{std::move(tokens)}, eval_(symbols, false), script_(*script) {}

  void Run() {
    while (in_.Peek().type != Token::Type::End) Statement();
  }

 private:
  void Statement() {
    if (in_.Peek().IsWord("LANGUAGE")) {
      in_.Next();
      LanguageArguments();
      return;
    }
    if (in_.Peek().IsWord("STRINGTABLE")) {
      in_.Next();
      StringTable();
      return;
    }
    const Token name = in_.Next();
    const Token type = in_.Next();
    if ((name.type != Token::Type::Word && name.type != Token::Type::Number) ||
        (type.type != Token::Type::Word && type.type != Token::Type::Number)) {
      Fail(name.line, "resource name and type expected");
    }
    if (type.IsWord("DIALOG") || type.IsWord("DIALOGEX")) {
      Dialog(ResourceId(name), type.IsWord("DIALOGEX"));
    } else if (type.IsWord("ICON")) {
      IconResource(ResourceId(name));
    } else {
      SkipResource(type);
    }
  }

  int ResourceId(const Token& name) {
    TokenStream one{{name, Token{Token::Type::End, "", 0, name.line}}};
    return ToInt(eval_.Or(one));
  }

  static int ToInt(std::uint32_t value) { return static_cast<std::int32_t>(value); }

  int Number() { return ToInt(eval_.Or(in_)); }

  int NumberAfterComma(const char* what) {
    in_.ExpectPunct(',', what);
    return Number();
  }

  std::string String(const char* what) {
    const Token token = in_.Next();
    if (token.type != Token::Type::String) Fail(token.line, std::string("string expected ") + what);
    return token.text;
  }

  void SkipMemoryFlags() {
    for (bool skipped = true; skipped;) {
      skipped = false;
      for (const char* flag : kMemoryFlags) {
        if (in_.Peek().IsWord(flag)) {
          in_.Next();
          skipped = true;
        }
      }
    }
  }

  void LanguageArguments() {
    Number();
    NumberAfterComma("between language and sublanguage");
  }

  // Options that may stand between a resource statement and its block.
  bool CommonOption() {
    if (in_.Peek().IsWord("LANGUAGE")) {
      in_.Next();
      LanguageArguments();
      return true;
    }
    if (in_.Peek().IsWord("CHARACTERISTICS") || in_.Peek().IsWord("VERSION")) {
      in_.Next();
      Number();
      return true;
    }
    return false;
  }

  void ExpectBlock(const char* what) {
    if (!in_.Peek().OpensBlock()) Fail(in_.Peek().line, std::string("BEGIN expected ") + what);
    in_.Next();
  }

  void SkipBlock() {
    const int line = in_.Peek().line;
    int depth = 0;
    do {
      const Token token = in_.Next();
      if (token.type == Token::Type::End) Fail(line, "block without END");
      if (token.OpensBlock()) ++depth;
      if (token.ClosesBlock()) --depth;
    } while (depth > 0);
  }

  // A resource this reader has no use for (VERSIONINFO, MENU, a file of
  // another type): its file name on the statement's line, or its block.
  void SkipResource(const Token& type) {
    for (;;) {
      const Token& token = in_.Peek();
      if (token.type == Token::Type::End) Fail(type.line, type.text + " resource without END");
      if (token.OpensBlock()) {
        SkipBlock();
        return;
      }
      if (token.type == Token::Type::String && token.line == type.line) {
        in_.Next();
        return;
      }
      in_.Next();
    }
  }

  void StringTable() {
    SkipMemoryFlags();
    while (CommonOption()) {
    }
    ExpectBlock("after STRINGTABLE");
    while (!in_.Peek().ClosesBlock()) {
      const int line = in_.Peek().line;
      const int id = Number();
      in_.AcceptPunct(',');
      std::string text = String("after a string id");
      if (!script_.strings.emplace(id, std::move(text)).second) {
        Fail(line, "string " + std::to_string(id) + " is defined twice");
      }
    }
    in_.Next();
  }

  void IconResource(int id) {
    const int line = in_.Peek().line;
    SkipMemoryFlags();
    std::string file = String("as the icon's file name");
    if (!script_.icons.emplace(id, std::move(file)).second) {
      Fail(line, "icon " + std::to_string(id) + " is defined twice");
    }
  }

  void Dialog(int id, bool extended) {
    const int line = in_.Peek().line;
    DialogTemplate dialog;
    dialog.id = id;
    SkipMemoryFlags();
    dialog.x = Number();
    dialog.y = NumberAfterComma("after the dialog's x");
    dialog.width = NumberAfterComma("after the dialog's y");
    dialog.height = NumberAfterComma("after the dialog's width");
    if (extended && in_.AcceptPunct(',')) Number();  // help id

    // Without a STYLE statement a dialog is a bordered popup with a system
    // menu; CAPTION adds the caption bar and FONT the DS_SETFONT bit, in the
    // order the statements come, and STYLE replaces what stood before.
    std::uint32_t style = 0x80000000 | kWsBorder | style::kSysMenu;
    while (!in_.Peek().OpensBlock()) {
      const Token option = in_.Next();
      if (option.IsWord("STYLE")) {
        style = eval_.Style(in_, 0);
      } else if (option.IsWord("EXSTYLE")) {
        dialog.exStyle = eval_.Style(in_, 0);
      } else if (option.IsWord("CAPTION")) {
        dialog.caption = String("after CAPTION");
        style |= 0x00C00000;
      } else if (option.IsWord("FONT")) {
        dialog.fontSize = Number();
        in_.ExpectPunct(',', "after the font size");
        dialog.fontName = String("as the font name");
        while (extended && in_.AcceptPunct(',')) Number();  // weight, italic, charset
        style |= 0x0040;
      } else if (option.IsWord("MENU") || option.IsWord("CLASS")) {
        in_.Next();
      } else if (option.IsWord("LANGUAGE")) {
        LanguageArguments();
      } else if (option.IsWord("CHARACTERISTICS") || option.IsWord("VERSION")) {
        Number();
      } else {
        Fail(option.line, "unexpected '" + option.text + "' in dialog " + std::to_string(id));
      }
    }
    dialog.style = style;
    in_.Next();
    while (!in_.Peek().ClosesBlock()) {
      if (in_.Peek().type == Token::Type::End) Fail(line, "dialog without END");
      dialog.controls.push_back(Control(extended));
    }
    in_.Next();
    if (!script_.dialogs.emplace(id, std::move(dialog)).second) {
      Fail(line, "dialog " + std::to_string(id) + " is defined twice");
    }
  }

  // A control's text: a string, or for icons and CONTROL a resource number,
  // which the template holds as "#n" (the form FindResource takes as well).
  std::string ControlText(bool numberAllowed, bool resourceName) {
    if (in_.Peek().type == Token::Type::String) {
      std::string text = in_.Next().text;
      // Named resources are upper-cased by the compiler.
      if (resourceName) {
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
      return text;
    }
    if (!numberAllowed) Fail(in_.Peek().line, "string expected as the control's text");
    return "#" + std::to_string(Number());
  }

  void Position(ControlTemplate* control, bool sizeOptional) {
    control->x = NumberAfterComma("before the control's x");
    control->y = NumberAfterComma("before the control's y");
    if (sizeOptional && !in_.Peek().IsPunct(',')) return;
    control->width = NumberAfterComma("before the control's width");
    control->height = NumberAfterComma("before the control's height");
  }

  void ExtendedStyleAndHelpId(ControlTemplate* control, bool extended) {
    if (!in_.AcceptPunct(',')) return;
    control->exStyle = eval_.Style(in_, 0);
    if (extended && in_.AcceptPunct(',')) Number();  // help id
  }

  ControlTemplate Control(bool extended) {
    const Token keyword = in_.Next();
    ControlTemplate control;
    if (keyword.IsWord("CONTROL")) {
      control.text = ControlText(true, false);
      control.id = NumberAfterComma("before the control id");
      in_.ExpectPunct(',', "before the control class");
      const Token className = in_.Next();
      if (className.type != Token::Type::String && className.type != Token::Type::Word) {
        Fail(className.line, "control class expected");
      }
      control.className = className.text;
      control.kind = KindOfClass(className.text);
      in_.ExpectPunct(',', "before the control style");
      control.style = eval_.Style(in_, style::kChild | style::kVisible);
      Position(&control, false);
      ExtendedStyleAndHelpId(&control, extended);
      return control;
    }

    const ControlStatement* statement = nullptr;
    for (const ControlStatement& candidate : kControlStatements) {
      if (keyword.IsWord(candidate.keyword)) statement = &candidate;
    }
    if (statement == nullptr) {
      Fail(keyword.line, "unknown control statement '" + keyword.text + "'");
    }
    const bool icon = keyword.IsWord("ICON");
    control.className = statement->className;
    control.kind = statement->kind;
    if (statement->hasText) {
      control.text = ControlText(icon, icon);
      in_.ExpectPunct(',', "after the control's text");
    }
    control.id = Number();
    // ICON may leave out its size: a static icon takes the size of its icon.
    Position(&control, icon);
    std::uint32_t style = style::kChild | style::kVisible;
    if (in_.AcceptPunct(',')) {
      style = eval_.Style(in_, style | statement->baseStyle);
      ExtendedStyleAndHelpId(&control, extended);
    } else {
      style |= statement->defaultStyle;
    }
    control.style = style;
    return control;
  }

  TokenStream in_;
  Evaluator eval_;
  ResourceScript& script_;
};

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream content;
  content << file.rdbuf();
  *text = content.str();
  return true;
}

bool Parse(const std::string& rcText, const std::string& rcName, const std::string& headerText,
           const std::string& headerName, ResourceScript* script, std::string* error) {
  ResourceScript result;
  Symbols symbols;
  const std::string* source = &headerName;
  try {
    Preprocess(headerText, symbols);
    source = &rcName;
    ScriptParser parser(Tokenize(Preprocess(rcText, symbols), 1), symbols, &result);
    parser.Run();
  } catch (const ParseError& problem) {
    if (error != nullptr) {
      *error = *source + " line " + std::to_string(problem.line) + ": " + problem.message;
    }
    return false;
  }
  *script = std::move(result);
  return true;
}

}  // namespace

bool ParseResourceScript(const std::string& rcText, const std::string& headerText,
                         ResourceScript* script, std::string* error) {
  return Parse(rcText, "resource script", headerText, "resource header", script, error);
}

bool LoadResourceScript(const std::string& rcPath, const std::string& headerPath,
                        ResourceScript* script, std::string* error) {
  std::string rcText;
  std::string headerText;
  for (const auto& [path, text] :
       {std::pair{&rcPath, &rcText}, std::pair{&headerPath, &headerText}}) {
    if (!ReadFile(*path, text)) {
      if (error != nullptr) *error = "cannot read " + *path;
      return false;
    }
  }
  return Parse(rcText, rcPath, headerText, headerPath, script, error);
}

const ResourceScript& ProgramResources() {
  static const ResourceScript resources = [] {
    ResourceScript script;
    std::string error;
    if (!LoadResourceScript(VELNARA_RC_PATH, VELNARA_RESOURCE_H_PATH, &script, &error)) {
      std::fprintf(stderr, "The program's resource script cannot be read: %s\n", error.c_str());
      std::abort();
    }
    return script;
  }();
  return resources;
}

}  // namespace velnara::platform::sim
