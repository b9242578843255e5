#include "unattended/command_line.h"

#include "text/text.h"
#include "unattended/outcomes.h"

namespace velnara {

namespace {

bool IsOption(const std::string& arg) {
  return arg.size() > 1 && (arg[0] == '/' || arg[0] == '-');
}

// The arguments as one line, each with spaces quoted.
std::string Joined(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) {
    if (!text.empty()) text += ' ';
    text += arg.find(' ') != std::string::npos ? "\"" + arg + "\"" : arg;
  }
  return text;
}

// The commands, by the option that names them.
struct CommandVerb {
  const char* name;
  Mode mode;
};
constexpr CommandVerb kCommands[] = {
    {"?", Mode::kUsage}, {"list", Mode::kList}, {"check", Mode::kCheck}, {"apply", Mode::kApply}};

// The options each command takes besides its own: the commands (a bit for
// each of /list, /check and /apply), whether a file follows, and what the
// option sets.
constexpr unsigned kForList = 1;
constexpr unsigned kForCheck = 2;
constexpr unsigned kForApply = 4;
struct OptionSpec {
  const char* name;
  unsigned commands;
  bool takesFile;
  void (*set)(Command* command, const std::string& file);
};
const OptionSpec kOptions[] = {
    {"out", kForList, true, [](Command* c, const std::string& file) { c->outFile = file; }},
    {"log", kForList | kForCheck | kForApply, true,
     [](Command* c, const std::string& file) { c->logFile = file; }},
    {"backups", kForList, false,
     [](Command* c, const std::string&) { c->mode = Mode::kListBackups; }},
    {"restart", kForApply, false, [](Command* c, const std::string&) { c->restart = true; }},
    {"nobackup", kForApply, false, [](Command* c, const std::string&) { c->noBackup = true; }},
    {"reclaim", kForCheck | kForApply, false,
     [](Command* c, const std::string&) { c->reclaim = true; }},
};

unsigned CommandBit(Mode mode) {
  switch (mode) {
    case Mode::kList:
      return kForList;
    case Mode::kCheck:
      return kForCheck;
    case Mode::kApply:
      return kForApply;
    default:
      return 0;
  }
}

// The option `arg` names among those `mode` takes; null for none.
const OptionSpec* FindOption(Mode mode, const std::string& arg) {
  if (!IsOption(arg)) return nullptr;
  for (const OptionSpec& option : kOptions) {
    if ((option.commands & CommandBit(mode)) != 0 && SameName(arg.substr(1), option.name)) {
      return &option;
    }
  }
  return nullptr;
}

// The operands of /check and /apply: one map file, or names given as
// PORT=NAME, one an argument.
bool ReadMapOperands(const std::string& name, const std::vector<std::string>& operands,
                     Command* command, std::string* problem) {
  if (operands.empty()) {
    *problem = name + " needs a map file, or names such as COM5=COM47";
    return false;
  }
  // An empty argument (a variable of a batch file that was never set) names
  // no file: never read as one.
  for (const std::string& operand : operands) {
    if (operand.empty()) {
      *problem = name + " was given an empty argument, which names no map file";
      return false;
    }
  }
  if (operands.size() == 1 && operands[0].find('=') == std::string::npos) {
    command->mapFile = operands[0];
    return true;
  }
  for (const std::string& operand : operands) {
    if (operand.find('=') == std::string::npos) {
      *problem = "\"" + operand + "\" is neither PORT=NAME nor the only argument of " + name;
      return false;
    }
  }
  command->assignments = operands;
  return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, Command* command,
                      std::string* problem) {
  *command = Command();
  command->text = Joined(args);
  if (args.empty()) return true;
  const CommandVerb* named = nullptr;
  for (const CommandVerb& verb : kCommands) {
    if (IsOption(args[0]) && SameName(args[0].substr(1), verb.name)) named = &verb;
  }
  if (named == nullptr) {
    *problem = "\"" + args[0] + "\" is not a command: use /list, /check, /apply or /?";
    return false;
  }
  command->mode = named->mode;
  if (named->mode == Mode::kUsage) {
    if (args.size() == 1) return true;
    *problem = "/? takes nothing more";
    return false;
  }

  const Mode base = command->mode;  // /backups changes the mode, not what /list takes
  std::vector<std::string> operands;
  std::vector<const OptionSpec*> seen;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (!IsOption(args[i])) {
      operands.push_back(args[i]);
      continue;
    }
    const OptionSpec* option = FindOption(base, args[i]);
    if (option == nullptr) {
      *problem = "\"" + args[i] + "\" does not go with " + args[0];
      return false;
    }
    for (const OptionSpec* earlier : seen) {
      if (earlier == option) {
        *problem = std::string("/") + option->name + " is given twice";
        return false;
      }
    }
    seen.push_back(option);
    std::string file;
    if (option->takesFile) {
      // The next argument is the file; an option of the command there means
      // the file was left out ("/log /restart" never logs to "\restart").
      if (i + 1 == args.size() || args[i + 1].empty() || FindOption(base, args[i + 1]) != nullptr) {
        *problem = std::string("/") + option->name + " needs a file";
        return false;
      }
      file = args[++i];
    }
    option->set(command, file);
  }

  if (base == Mode::kList) {
    if (operands.empty()) return true;
    *problem = "/list takes no \"" + operands[0] + "\"";
    return false;
  }
  return ReadMapOperands(base == Mode::kCheck ? "/check" : "/apply", operands, command, problem);
}

std::string UsageText() {
  // Lines short enough for a message box, which wraps long ones.
  return "Velnara " VELNARA_SHOWN_VERSION
         " names the COM ports of Tarvex 880 cards.\r\n"
         "\r\n"
         "Velnara.exe\r\n"
         "    the dialog\r\n"
         "Velnara.exe /list [/out FILE] [/log FILE]\r\n"
         "    the port map of this PC, then the names held\r\n"
         "    for other hardware\r\n"
         "Velnara.exe /list /backups [/out FILE] [/log FILE]\r\n"
         "    the names kept before each Save, newest first\r\n"
         "Velnara.exe /check MAP [/reclaim] [/log FILE]\r\n"
         "    what a map would change; writes nothing\r\n"
         "Velnara.exe /apply MAP [/reclaim] [/restart]\r\n"
         "            [/nobackup] [/log FILE]\r\n"
         "    writes the names of a map\r\n"
         "Velnara.exe /?   (or -?)\r\n"
         "    this text\r\n"
         "\r\n"
         "MAP is a file, or names given here: COM5=COM47 ...\r\n"
         "A map has a line for each port to name:\r\n"
         "    PCI 2.12.0 port 1 = COM3\r\n"
         "        (its card's PCI bus.device.function and\r\n"
         "        its number on the card)\r\n"
         "    COM14 = COM16   (the name it has now)\r\n"
         "; or # begins a comment: at the start of a line,\r\n"
         "or after a blank.\r\n"
         "/reclaim takes a name held only by hardware that\r\n"
         "is gone; a connected device's name never.\r\n"
         "/log FILE is appended to, one part per run.\r\n"
         "\r\n" +
         ExitStatusText();
}

}  // namespace velnara
