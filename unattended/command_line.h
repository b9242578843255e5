// The command line: no argument runs the dialog; the rest is for
// administrators who set up many PCs and want nothing to wait for a click.
//
//   Velnara.exe /list [/out FILE] [/log FILE]          the port map of this PC
//   Velnara.exe /list /backups [/out FILE] [/log FILE] the kept names, newest first
//   Velnara.exe /check MAP [/reclaim] [/log FILE]      what a map would change
//   Velnara.exe /apply MAP [/reclaim] [/restart] [/nobackup] [/log FILE]
//   Velnara.exe /?
//
// MAP is a map file, or names given as arguments: COM5=COM47 COM6=COM48.
//
// Options are read without regard to case, and "-" does what "/" does.
#pragma once

#include <string>
#include <vector>

namespace velnara {

enum class Mode { kDialog, kUsage, kList, kListBackups, kCheck, kApply };

struct Command {
  Mode mode = Mode::kDialog;
  std::string mapFile;                   // /check FILE, /apply FILE
  std::vector<std::string> assignments;  // /check, /apply COM5=COM47 ...
  std::string outFile;                   // /list /out FILE
  std::string logFile;                   // /log FILE
  bool restart = false;                  // /apply /restart
  bool noBackup = false;                 // /apply /nobackup
  bool reclaim = false;                  // /check, /apply /reclaim
  std::string text;                      // the arguments as given, for the log
};

// Reads the arguments that follow the program's name. False with *problem
// (one line) when they ask for nothing this program does.
bool ParseCommandLine(const std::vector<std::string>& args, Command* command, std::string* problem);

// What "/?" shows: the commands and the exit statuses.
std::string UsageText();

}  // namespace velnara
