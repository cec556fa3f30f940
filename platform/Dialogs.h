// The dialog port: message boxes, OK/Cancel confirmations and the file-open dialog. The program
// binds a Qt implementation; tests bind a scripted one that records the texts and gives queued
// answers. Until one is bound, a console implementation writes to standard error and answers
// Cancel, so nothing below the user interface ever waits for a window that is not there.
#pragma once

#include <string>

namespace tavrik::platform {

// mtCustom: a plain message, without an icon.
enum class TMsgDlgType { mtInformation, mtWarning, mtError, mtConfirmation, mtCustom };
enum class TModalResult { mrOk, mrCancel };

struct TOpenDialogOptions {
  std::string filter;       // "Description|*.A;*.B|Other|*.*"
  std::string file_name;    // proposed on entry; the chosen file after an accepted dialog
  bool hide_read_only = false;
  bool path_must_exist = false;
  bool file_must_exist = false;
  bool sizable = false;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A message box with an OK button.
  virtual void ShowMessage(const std::string& text, TMsgDlgType type) = 0;
  // A confirmation with OK and Cancel; mrOk only when OK was chosen.
  virtual TModalResult Confirm(const std::string& text) = 0;
  // Shows the dialog; true when a file was chosen (then options.file_name holds it). On Cancel
  // options.file_name keeps what it held.
  virtual bool OpenFile(TOpenDialogOptions& options) = 0;
};

// The dialogs in use; never null.
Dialogs& CurrentDialogs();
// Binds `dialogs` (not owned; nullptr restores the console implementation). Returns the previous.
Dialogs* SetDialogs(Dialogs* dialogs);

}  // namespace tavrik::platform
