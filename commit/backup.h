// A way back from every Save: before a Save writes anything, the names the
// registry holds for every port are kept as a port map in a file of their
// own, which "Velnara.exe /apply FILE" puts back: names, port settings and
// COM port database claims, as a Save does.
#pragma once

#include <string>
#include <vector>

#include "discovery/port_record.h"
#include "platform/platform.h"

namespace velnara {

// The dialog's report when the file cannot be written; the Save goes on.
constexpr const char* kBackupFailedCaption = "Failed writing Port Names Backup";

// How many of the files are kept: the newest, by the time in their names.
constexpr std::size_t kBackupsKept = 50;

// The folder of the files, made when missing: "Velnara" in the common
// application data folder, or in the Windows folder on a system without
// SHGetFolderPathA or where it finds no such folder.
platform::ErrorCode BackupFolder(platform::Platform& platform, std::string* folder);

// Writes the names the registry holds now for every port of the board list
// (their committed names), as the port map "/list" writes, under a header
// that names the computer, the date and time, the program's version and
// the command that puts the names back. The file is new:
// names-YYYYMMDD-HHMMSS.txt, with "-2", "-3"... when a Save of the same
// second has the name already. Then only the newest kBackupsKept such
// files are kept; nothing else is ever deleted. *path is the file written.
platform::ErrorCode WriteBackup(platform::Platform& platform, const PortRecord* boards,
                                std::string* path);

// The kept files, newest first, with their folder.
platform::ErrorCode ListBackups(platform::Platform& platform, std::vector<std::string>* paths);

}  // namespace velnara
