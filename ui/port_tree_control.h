// The port tree: the platform's tree view with a black brush of its own,
// which paints the message-box and edit children of the tree green on
// black. Everything else it does is the tree view's.
#pragma once

#include <cstdint>

#include "platform/dialog.h"

namespace velnara {

class PortTreeControl : public platform::TreeView {
 public:
  static constexpr platform::ColorRef kTextColor = 0x00FF00;  // green
  static constexpr platform::ColorRef kBackColor = 0x000000;  // black

  // Makes the brush; without one, the colour requests still set the two
  // colours and answer a null brush.
  explicit PortTreeControl(platform::WindowSystem& windows);
  // Deletes the brush only when the window never did (it was never shown).
  ~PortTreeControl() override;

 protected:
  bool ReceivesOwnMessages() const override { return true; }
  bool OnMessage(const platform::Message& message, std::intptr_t* result) override;

 private:
  // The colour request of a child of kind 0 (message box) to 6 (static).
  bool OnControlColor(const platform::Message& message, std::intptr_t* result);
  // WM_DESTROY: the tree view's own handling, then the brush goes.
  bool OnDestroy(const platform::Message& message, std::intptr_t* result);

  platform::WindowSystem& windowSystem_;
  platform::BrushHandle brush_;
  bool brushDeleted_ = false;
};

}  // namespace velnara
