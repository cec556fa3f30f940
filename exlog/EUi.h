// The port through which the logger reaches the user interface: the error dialog, the request
// dialog, the message box, the clipboard, the screenshot, the active controls, the sending
// progress. exlog/ui binds the Qt side; a
// program without one is a console program, whose reports go to standard output.
//
// Any method may be called from any thread; the binding runs it where its toolkit needs it.
// A method that cannot do its work raises an Exception with the reason.
#pragma once

#include <memory>
#include <string>

#include "exlog/EPng.h"
#include "exlog/EReport.h"
#include "exlog/ETypes.h"

namespace tavrik::exlog {

// The boxes of the error dialog as the user left them, and which button closed it.
struct TDialogChoices {
  bool send_email = false;
  bool attach_screenshot = false;
  bool copy_to_clipboard = false;
  bool terminate = false;
};

// The progress window of the SMTP dialogue; gone when destroyed.
class TSendProgress {
 public:
  virtual ~TSendProgress() = default;
  virtual void SetStatus(const std::string& text) = 0;
  virtual void SetPosition(int position, int maximum) = 0;
};

class TRavlogUi {
 public:
  virtual ~TRavlogUi() = default;

  virtual TDialogChoices ShowExceptionDialog(const TReport& report, const TRavlogModuleOptions& options) = 0;
  // The request dialog; the typed steps, "" when none.
  virtual std::string AskReproduceSteps(const TCustomizedTexts& texts) = 0;
  virtual void ShowMessageBox(const std::string& caption, const std::string& text) = 0;
  virtual void CopyToClipboard(const std::string& text) = 0;
  virtual TScreenImage TakeScreenshot() = 0;
  virtual TActiveControls ActiveControls() = 0;
  virtual std::unique_ptr<TSendProgress> ShowSendProgress(const TCustomizedTexts& texts) = 0;
};

// The bound interface (not owned), or nullptr in a console program.
TRavlogUi* CurrentRavlogUi();
// Binds `ui`; returns the previous binding.
TRavlogUi* SetRavlogUi(TRavlogUi* ui);

}  // namespace tavrik::exlog
