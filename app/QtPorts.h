// The Qt side of the platform ports: message boxes and file dialogs, window timers, the
// processing of pending events, the screen cursor and the ZIP component's password dialog.
// BindQtPorts installs them for the running application.
#pragma once

#include "platform/Dialogs.h"
#include "platform/ScreenCursor.h"

namespace tavrik {

class QtDialogs : public platform::Dialogs {
 public:
  void ShowMessage(const std::string& text, platform::TMsgDlgType type) override;
  platform::TModalResult Confirm(const std::string& text) override;
  bool OpenFile(platform::TOpenDialogOptions& options) override;
};

// The screen cursor as the application's override cursor, set while it is not the default one.
class QtScreenCursor : public platform::ScreenCursor {
 public:
  platform::TCursor Cursor() const override { return cursor_; }
  void SetCursor(platform::TCursor cursor) override;

 private:
  platform::TCursor cursor_ = platform::TCursor::crDefault;
};

// Binds the Qt dialogs, timers, event processing and screen cursor; call once QApplication exists.
void BindQtPorts();

}  // namespace tavrik
