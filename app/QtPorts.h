// The Qt side of the platform ports: message boxes and file dialogs, window timers, the
// processing of pending events, the screen cursor and the ZIP component's password dialog.
// BindQtPorts installs them for the running application.
#pragma once

#include "platform/Dialogs.h"

namespace tavrik {

class QtDialogs : public platform::Dialogs {
 public:
  void ShowMessage(const std::string& text, platform::TMsgDlgType type) override;
  platform::TModalResult Confirm(const std::string& text) override;
  bool OpenFile(platform::TOpenDialogOptions& options) override;
};

// Binds the Qt dialogs, timers and event processing; call once QApplication exists.
void BindQtPorts();

}  // namespace tavrik
