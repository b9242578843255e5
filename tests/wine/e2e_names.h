// What the end-to-end tests look for in the running program: captions and
// texts as the program shows them, control ids from its resource header.
#pragma once

#include <windows.h>

#include "ui/resource.h"

namespace velnara::wine_test {

constexpr char kMainCaption[] = "Ostrand : Tarvex 880 - Velnara V2.03";
constexpr char kAboutCaption[] = "About Velnara";
constexpr char kRenameCaption[] = "Select a new Port Name";
// Message boxes carry the program file's name as their caption.
constexpr char kBoxCaption[] = "Velnara";
constexpr char kGateText[] = "Velnara will only run on Windows XP or Windows 2000 SP2,SP3 or SP4";

constexpr int kSaveId = IDC_SAVE;
constexpr int kResetId = IDC_RESET;
constexpr int kTreeId = IDC_PORT_TREE;
constexpr int kOldNameId = IDC_OLD_NAME;
constexpr int kNewNameId = IDC_NEW_NAME;
constexpr WPARAM kAboutCommand = IDM_ABOUTBOX;

constexpr DWORD kPollMs = 50;

}  // namespace velnara::wine_test
