#include "app/QtPorts.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include "app/QtPasswordDlg.h"
#include "app/QtText.h"
#include "platform/MessagePump.h"
#include "platform/ScreenCursor.h"
#include "platform/Timer.h"

namespace tavrik {

namespace {

class QtTimer : public platform::Timer {
 public:
  QtTimer() {
    timer_.setInterval(1000);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (on_timer_) on_timer_();
    });
  }
  void SetInterval(int milliseconds) override { timer_.setInterval(milliseconds); }
  int Interval() const override { return timer_.interval(); }
  void SetEnabled(bool enabled) override {
    if (enabled)
      timer_.start();
    else
      timer_.stop();
  }
  bool Enabled() const override { return timer_.isActive(); }
  void SetOnTimer(std::function<void()> on_timer) override { on_timer_ = std::move(on_timer); }

 private:
  QTimer timer_;
  std::function<void()> on_timer_;
};

// "Text|*.A;*.B|All|*.*" -> "Text (*.A *.B);;All (*.*)"
QString QtFilter(const std::string& filter) {
  QStringList parts = QStr(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    out << parts[i] + " (" + parts[i + 1].split(';').join(' ') + ")";
  return out.join(";;");
}

QtDialogs qt_dialogs;
QtPasswordDialog qt_password_dialog;
QtScreenCursor qt_screen_cursor;

}  // namespace

void QtDialogs::ShowMessage(const std::string& text, platform::TMsgDlgType type) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (type) {
    case platform::TMsgDlgType::mtInformation: icon = QMessageBox::Information; break;
    case platform::TMsgDlgType::mtWarning: icon = QMessageBox::Warning; break;
    case platform::TMsgDlgType::mtError: icon = QMessageBox::Critical; break;
    case platform::TMsgDlgType::mtConfirmation: icon = QMessageBox::Question; break;
    case platform::TMsgDlgType::mtCustom: break;
  }
  QMessageBox box(icon, QApplication::applicationName(), QStr(text), QMessageBox::Ok);
  box.exec();
}

platform::TModalResult QtDialogs::Confirm(const std::string& text) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), QStr(text),
                  QMessageBox::Ok | QMessageBox::Cancel);
  return box.exec() == QMessageBox::Ok ? platform::TModalResult::mrOk : platform::TModalResult::mrCancel;
}

bool QtDialogs::OpenFile(platform::TOpenDialogOptions& options) {
  QFileDialog dialog(QApplication::activeWindow(), QString(), QStr(options.file_name), QtFilter(options.filter));
  dialog.setFileMode(options.file_must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (options.hide_read_only) dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setSizeGripEnabled(options.sizable);
  if (!options.file_name.empty()) dialog.selectFile(QStr(options.file_name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  options.file_name = AnsiStr(dialog.selectedFiles().first());
  return true;
}

void QtScreenCursor::SetCursor(platform::TCursor cursor) {
  if (cursor == cursor_) return;
  const QCursor shape = cursor == platform::TCursor::crHourGlass ? Qt::WaitCursor : Qt::ArrowCursor;
  if (cursor_ == platform::TCursor::crDefault)
    QApplication::setOverrideCursor(shape);
  else if (cursor == platform::TCursor::crDefault)
    QApplication::restoreOverrideCursor();
  else
    QApplication::changeOverrideCursor(shape);
  cursor_ = cursor;
}

void BindQtPorts() {
  platform::SetDialogs(&qt_dialogs);
  platform::SetScreenCursor(&qt_screen_cursor);
  platform::SetTimerFactory([] { return std::make_unique<QtTimer>(); });
  platform::SetProcessMessages([] { QCoreApplication::processEvents(); });
  SetPasswordDialogPort(&qt_password_dialog);
}

}  // namespace tavrik
