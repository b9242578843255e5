// The main dialog: the port tree of every card, Save, Reset and Exit.
#pragma once

#include <cstdint>

#include "discovery/port_record.h"
#include "messages/message_boxes.h"
#include "platform/dialog.h"
#include "platform/platform.h"
#include "safety/writer_lock.h"
#include "ui/port_tree_control.h"

namespace velnara {

constexpr const char* kResetQuestion = "Are you sure you want to lose your changes";
// Another copy of the program holds the machine: this one ends at once.
constexpr const char* kAlreadyRunningText = "Velnara is already running.";
// The lock that keeps a second copy out cannot be made.
constexpr const char* kLockFailedCaption = "Failed opening the lock of Velnara";
// Save or Reset found the registry holding other names than the ones read.
constexpr const char* kNamesChangedText =
    "The port names were changed outside Velnara after it read them.\n\nNothing was written. "
    "Velnara now shows the names as they are; please make your changes again.";

class MainDialog : public platform::Dialog {
 public:
  explicit MainDialog(platform::Platform& platform);
  ~MainDialog() override;

  // The About command of the system menu.
  static constexpr std::uintptr_t kAboutCommand = 0x0010;

  // Where the minimised dialog draws its icon: centred, truncating toward zero.
  static int IconOffset(int clientExtent, int iconExtent) {
    return (clientExtent - iconExtent + 1) / 2;
  }

  bool unsavedChanges() const { return unsavedChanges_; }
  bool rebootNeeded() const { return rebootNeeded_; }
  bool resetMode() const { return resetMode_; }
  const PortRecord* boards() const { return boards_; }

 protected:
  void DoDataExchange(platform::DataExchange& dx) override;
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  bool ProcessMessageTable(const platform::Message& message, std::intptr_t* result) override;

 private:
  static const platform::MessageEntry<MainDialog> kMessageTable[];

  void AppendAboutEntry();
  bool TakeLock();
  void RunBoardDiscovery();
  void FreeBoards();
  // Saves the pending names with the Save walk; false when it wrote
  // nothing (the names changed outside, or the walk could not be made safe).
  bool SavePendingNames();
  // After another program renamed ports: says so and reads the ports again.
  void ReadPortsAgain();

  // Handlers bound by the message table.
  bool OnSysCommand(const platform::Message& message, std::intptr_t* result);
  bool OnPaint(const platform::Message& message, std::intptr_t* result);
  bool OnQueryDragIcon(const platform::Message& message, std::intptr_t* result);
  void OnTreeDoubleClick(const platform::NotifyHeader& header, std::intptr_t* result);
  void OnSave();
  void OnReset();

  platform::Platform& platform_;
  platform::Button saveButton_;
  platform::Button resetButton_;
  PortTreeControl tree_;
  bool resetMode_ = false;
  platform::IconHandle icon_;
  PortRecord* boards_ = nullptr;
  platform::TreeItem rootItem_ = nullptr;
  bool unsavedChanges_ = false;
  bool rebootNeeded_ = false;
  ErrorReporter reporter_;
  WriterLock lock_;
};

}  // namespace velnara
