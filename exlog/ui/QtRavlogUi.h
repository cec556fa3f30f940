// The Qt side of the logger's user-interface port and of the freeze watchdog's view of the main
// window. InstallRavlogUi binds it once the application object exists; from then on reports
// show the error dialog instead of writing to standard output.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "exlog/EFreeze.h"
#include "exlog/EUi.h"

class QWidget;

namespace tavrik::exlog::ui {

class TQtRavlogUi : public TRavlogUi, public TMainWindowProbe {
 public:
  // How long a report on another thread waits for the GUI thread to take up a dialog.
  static constexpr int kPickupMilliseconds = 5000;

  TQtRavlogUi();

  // The geometry file of the error dialog (by default "Ravlog.ini" in the user's configuration
  // folder).
  void SetGeometryFile(std::string file) { geometry_file_ = std::move(file); }
  const std::string& GeometryFile() const { return geometry_file_; }

  TDialogChoices ShowExceptionDialog(const TReport& report, const TRavlogModuleOptions& options) override;
  std::string AskReproduceSteps(const TCustomizedTexts& texts) override;
  void ShowMessageBox(const std::string& caption, const std::string& text) override;
  void CopyToClipboard(const std::string& text) override;
  TScreenImage TakeScreenshot() override;
  TActiveControls ActiveControls() override;
  std::unique_ptr<TSendProgress> ShowSendProgress(const TCustomizedTexts& texts) override;

  bool HasMainWindow() override { return *event_loop_running_; }
  bool Ping(int milliseconds) override;

 private:
  std::string geometry_file_;
  // Shared with the timer that sets it, which may fire after this object has gone.
  std::shared_ptr<std::atomic<bool>> event_loop_running_ = std::make_shared<std::atomic<bool>>(false);
};

// The class name of a widget as a report gives it: its C++ class without namespaces.
std::string WidgetClassName(const QWidget* widget);
// The text of a control; a field that hides its input shows one "*" per character.
std::string ControlText(const QWidget* widget);

// Binds the Qt user interface (call once the application object exists); returns it.
TQtRavlogUi& InstallRavlogUi();

}  // namespace tavrik::exlog::ui
