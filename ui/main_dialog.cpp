#include "ui/main_dialog.h"

#include <memory>

#include "commit/reboot_prompt.h"
#include "commit/recovery.h"
#include "commit/walk_record.h"
#include "commit/walks.h"
#include "discovery/board_discovery.h"
#include "rename/rename_command.h"
#include "ui/platform_gate.h"
#include "ui/rename_dialog.h"
#include "ui/resource.h"

namespace velnara {

using namespace platform;

namespace {
constexpr std::uintptr_t kIconBig = 1;    // ICON_BIG
constexpr std::uintptr_t kIconSmall = 0;  // ICON_SMALL
}  // namespace

const MessageEntry<MainDialog> MainDialog::kMessageTable[] = {
    MessageHandler(wm::kSysCommand, &MainDialog::OnSysCommand),
    MessageHandler(wm::kPaint, &MainDialog::OnPaint),
    MessageHandler(wm::kQueryDragIcon, &MainDialog::OnQueryDragIcon),
    NotifyHandler(notify::kDoubleClick, IDC_PORT_TREE, &MainDialog::OnTreeDoubleClick),
    CommandHandler(notify::kButtonClicked, IDC_SAVE, &MainDialog::OnSave),
    CommandHandler(notify::kButtonClicked, IDC_RESET, &MainDialog::OnReset),
};

MainDialog::MainDialog(Platform& platform)
    : Dialog(platform.windows, IDD_VELNARA_DIALOG),
      platform_(platform),
      tree_(platform.windows),
      icon_(platform.windows.LoadIcon(IDR_MAINFRAME)),
      reporter_(platform),
      lock_(platform.system) {}

// The exits free the records; a dialog that ends otherwise (its run cut
// short) frees what is left.
MainDialog::~MainDialog() {
  FreeBoards();
}

bool MainDialog::ProcessMessageTable(const Message& message, std::intptr_t* result) {
  return DispatchMessageTable(*this, kMessageTable, message, result);
}

void MainDialog::DoDataExchange(DataExchange& dx) {
  dx.Bind(IDC_SAVE, saveButton_);
  dx.Bind(IDC_RESET, resetButton_);
  dx.Bind(IDC_PORT_TREE, tree_);
}

bool MainDialog::OnInitDialog() {
  Dialog::OnInitDialog();
  AppendAboutEntry();
  windows().SendMessage(handle(), wm::kSetIcon, kIconBig, reinterpret_cast<std::intptr_t>(icon_));
  windows().SendMessage(handle(), wm::kSetIcon, kIconSmall, reinterpret_cast<std::intptr_t>(icon_));
  if (!IsSupportedSystem(platform_.system)) {
    AppMessageBox(platform_, kUnsupportedSystemText, mb::kOk);
    platform_.system.ExitProcess(-1);
  }
  if (!TakeLock()) return true;
  const Recovery recovery = velnara::RecoverInterruptedWalk(platform_, reporter_, true);
  if (recovery.Found() && recovery.state != Recovery::State::kUnreadable) {
    RecordRecovery(platform_, reporter_, recovery, false);
  }
  if (recovery.Found()) AppMessageBox(platform_, RecoveryBoxText(recovery).c_str(), mb::kOk);
  if (recovery.state == Recovery::State::kFailed ||
      recovery.state == Recovery::State::kUnreadable) {
    // Nothing may be written while the journal stays: the next start tries again.
    EndDialog(id::kCancel);
    return true;
  }
  RunBoardDiscovery();
  // The names the interrupted walk (or the putting back) wrote take
  // effect at the next start, as a Save's.
  rebootNeeded_ = recovery.NeedsRestart();
  return true;  // the focus goes to Exit
}

// The dialog holds the machine for its whole life; a second copy ends at
// once, before it reads anything.
bool MainDialog::TakeLock() {
  const ErrorCode code = lock_.Take(0);
  if (code == error::kSuccess) return true;
  if (code == error::kWaitTimeout) {
    AppMessageBox(platform_, kAlreadyRunningText, mb::kOk);
  } else {
    reporter_.Report(kLockFailedCaption, code);
  }
  EndDialog(id::kCancel);
  return false;
}

void MainDialog::AppendAboutEntry() {
  const MenuHandle menu = windows().GetSystemMenu(handle());
  if (menu == nullptr) return;
  const std::string about = windows().LoadString(IDS_ABOUTBOX);
  if (about.empty()) return;
  windows().AppendMenu(menu, mf::kSeparator, 0, nullptr);
  windows().AppendMenu(menu, mf::kString, kAboutCommand, about.c_str());
}

void MainDialog::RunBoardDiscovery() {
  boards_ = nullptr;
  unsavedChanges_ = false;
  const DiscoveryResult found = DiscoverBoards(platform_.registry, &tree_, reporter_);
  rootItem_ = found.rootItem;
  boards_ = found.boards;
  rebootNeeded_ = false;
}

void MainDialog::FreeBoards() {
  ListFree(boards_);
  boards_ = nullptr;
}

bool MainDialog::SavePendingNames() {
  resetMode_ = false;
  const SaveOutcome outcome =
      RunSaveWalk(platform_, reporter_, WalkTarget{tree_, boards_, unsavedChanges_, rebootNeeded_});
  if (outcome.notJournaled) return false;  // said; the changes stay to be saved
  if (!outcome.namesChanged) return true;
  ReadPortsAgain();
  return false;
}

void MainDialog::ReadPortsAgain() {
  AppMessageBox(platform_, kNamesChangedText, mb::kOk);
  tree_.DeleteAllItems();
  FreeBoards();
  const bool rebootNeeded = rebootNeeded_;  // what an earlier Save wrote still needs it
  RunBoardDiscovery();
  rebootNeeded_ = rebootNeeded;
  resetButton_.Enable(false);
  saveButton_.Enable(false);
}

void MainDialog::OnSave() {
  if (!unsavedChanges_) return;
  if (!SavePendingNames()) return;
  resetButton_.Enable(false);
  saveButton_.Enable(false);
  unsavedChanges_ = false;
  rebootNeeded_ = true;  // offered when the dialog is left
}

void MainDialog::OnReset() {
  if (!AnsweredYes(AppMessageBox(platform_, kResetQuestion, mb::kYesNo))) return;
  resetMode_ = true;  // stays set until a Save walk clears it
  const SaveOutcome outcome = RunResetWalk(
      platform_, reporter_, WalkTarget{tree_, boards_, unsavedChanges_, rebootNeeded_});
  if (outcome.namesChanged) {
    ReadPortsAgain();
    return;
  }
  if (outcome.notJournaled) return;  // said; nothing was written
  resetButton_.Enable(false);
  saveButton_.Enable(false);
}

// Exit: leaving with Exit saves. The buttons and the unsaved-changes flag
// stay as they are; the dialog ends, unless the Save found the names
// changed outside (then the user sees them as they are and may save
// again) or could not be made safe (said; the user may try again, or leave
// with the cancel command).
void MainDialog::OnOK() {
  if (unsavedChanges_) {
    if (!SavePendingNames()) return;
    rebootNeeded_ = true;
  }
  if (rebootNeeded_) RunRebootPrompt(platform_);
  FreeBoards();
  EndDialog(id::kOk);
}

// The cancel command drops what no Save has committed.
void MainDialog::OnCancel() {
  if (rebootNeeded_) RunRebootPrompt(platform_);
  FreeBoards();
  EndDialog(id::kCancel);
}

bool MainDialog::OnSysCommand(const Message& message, std::intptr_t* result) {
  if ((message.wParam & 0xFFF0) != kAboutCommand) return false;
  Dialog about(windows(), IDD_ABOUTBOX);
  about.DoModal();
  *result = 0;
  return true;
}

bool MainDialog::OnPaint(const Message& /*message*/, std::intptr_t* result) {
  if (!windows().IsIconic(handle())) return false;
  const DeviceContext dc = windows().BeginPaint(handle());
  windows().SendMessage(handle(), wm::kIconEraseBkgnd, reinterpret_cast<std::uintptr_t>(dc), 0);
  const int iconWidth = windows().GetSystemMetrics(kSmCxIcon);
  const int iconHeight = windows().GetSystemMetrics(kSmCyIcon);
  const Rect client = windows().GetClientRect(handle());
  windows().DrawIcon(dc, IconOffset(client.right - client.left, iconWidth),
                     IconOffset(client.bottom - client.top, iconHeight), icon_);
  windows().EndPaint(handle());
  *result = 0;
  return true;
}

bool MainDialog::OnQueryDragIcon(const Message& /*message*/, std::intptr_t* result) {
  *result = reinterpret_cast<std::intptr_t>(icon_);
  return true;
}

void MainDialog::OnTreeDoubleClick(const NotifyHeader& /*header*/, std::intptr_t* result) {
  const RenameTarget target{tree_, saveButton_, resetButton_, unsavedChanges_};
  RenameDialog dialog(windows());
  RunRenameCommand(platform_, target, dialog);
  *result = 0;  // the tree's own handling of the double-click goes on
}

}  // namespace velnara
