// A way back from every Save: before a Save writes anything, the names the
// registry holds for every port are kept as a port map in a file of their
// own, which "Velnara.exe /apply FILE" puts back: names, port settings and
// COM port database claims, as a Save does.
//
// The files live in a folder of the administrators' own: any user may make
// folders and files in the common application data folder, and a file
// planted among the kept names would be applied by an administrator who
// takes "the newest".
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

// The folder's access list: SYSTEM and Administrators full control, Users
// read, nothing taken from the folder above.
constexpr const char* kBackupFolderSddl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)";

// What keeps a file from being written or listed: the failed call's code,
// or, for a folder that is not the administrators' own, what is wrong with
// it (the code then ERROR_ACCESS_DENIED), and the file or folder concerned.
struct BackupProblem {
  platform::ErrorCode code = 0;
  std::string reason;  // empty: the code says it
  std::string path;
};

// The folder of the kept names, whether it is there or not: "Velnara" in
// the common application data folder (in the Windows folder on a system
// without SHGetFolderPathA). The journal of a walk lives there too.
platform::ErrorCode KeptNamesFolder(platform::Platform& platform, std::string* folder);

// Makes the folder with kBackupFolderSddl when it is missing; one that is
// there already is used only when it is a folder, not a reparse point,
// owned by Administrators, SYSTEM or the account running the program, and
// it gets that access list again. False fills *problem.
bool PrepareKeptNamesFolder(platform::Platform& platform, std::string* folder,
                            BackupProblem* problem);

// Writes the names the registry holds now for every port of the board list
// (their committed names), as the port map "/list" writes, under a header
// that names the computer, the date and time, the program's version and
// the command that puts the names back, into `folder` (prepared). The file
// is new, and whole when it appears: names-YYYYMMDD-HHMMSS.txt, with "-2",
// "-3"... when a Save of the same second has the name already. Then of the
// older files only the newest are kept (kBackupsKept with this one); the
// file just written, and any file not written by the program, are never
// deleted. *path is the file written; false fills *problem.
bool WriteBackup(platform::Platform& platform, const std::string& folder, const PortRecord* boards,
                 std::string* path, BackupProblem* problem);

// The kept files, newest first, with their folder: only files of the name
// form, owned by Administrators, SYSTEM or the account running the program,
// and never through a reparse point. No folder yet: none.
bool ListBackups(platform::Platform& platform, std::vector<std::string>* paths,
                 BackupProblem* problem);

}  // namespace velnara
