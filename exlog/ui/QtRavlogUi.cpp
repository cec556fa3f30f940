#include "exlog/ui/QtRavlogUi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <typeinfo>

#include "exlog/ECapture.h"
#include "exlog/EConsts.h"
#include "exlog/ui/ExceptionDialog.h"
#include "exlog/ui/GuiThread.h"
#include "exlog/ui/QtText.h"
#include "exlog/ui/RequestDialog.h"
#include "exlog/ui/SendProgressWindow.h"
#include "platform/Paths.h"

namespace tavrik::exlog::ui {

namespace {

constexpr int kControlsPickupMilliseconds = 1000;

// Runs `update` on the GUI thread without waiting for it; on the GUI thread itself, at once,
// letting the window paint (the report's own work holds that thread).
void Post(std::function<void()> update) {
  if (OnGuiThread()) {
    update();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  } else if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(app, std::move(update), Qt::QueuedConnection);
  }
}

class TQtSendProgress : public TSendProgress {
 public:
  explicit TQtSendProgress(QPointer<TSendProgressWindow> window) : window_(std::move(window)) {}
  ~TQtSendProgress() override {
    Post([window = window_] {
      if (window) window->deleteLater();
    });
  }
  void SetStatus(const std::string& text) override {
    Post([window = window_, text] {
      if (window) window->SetStatus(text);
    });
  }
  void SetPosition(int position, int maximum) override {
    Post([window = window_, position, maximum] {
      if (window) window->SetPosition(position, maximum);
    });
  }

 private:
  QPointer<TSendProgressWindow> window_;
};

struct PingState {
  std::mutex mutex;
  std::condition_variable answered;
  long asked = 0;
  long done = 0;
};

}  // namespace

std::string WidgetClassName(const QWidget* widget) {
  if (!widget) return std::string();
  std::string name = DemangledTypeName(typeid(*widget).name());
  size_t colons = name.rfind("::", name.find('<'));
  return colons == std::string::npos ? name : name.substr(colons + 2);
}

std::string ControlText(const QWidget* widget) {
  if (auto* edit = qobject_cast<const QLineEdit*>(widget)) {
    if (edit->echoMode() != QLineEdit::Normal) return std::string(static_cast<size_t>(edit->text().size()), '*');
    return AnsiStr(edit->text());
  }
  if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return AnsiStr(button->text());
  if (auto* memo = qobject_cast<const QPlainTextEdit*>(widget)) return AnsiStr(memo->toPlainText());
  if (auto* rich = qobject_cast<const QTextEdit*>(widget)) return AnsiStr(rich->toPlainText());
  if (auto* combo = qobject_cast<const QComboBox*>(widget)) return AnsiStr(combo->currentText());
  if (auto* label = qobject_cast<const QLabel*>(widget)) return AnsiStr(label->text());
  return widget ? AnsiStr(widget->windowTitle()) : std::string();
}

TQtRavlogUi::TQtRavlogUi() : geometry_file_(platform::UserConfigDir() + "/" + kGeometryFileName) {
  // The watchdog waits for the main window: there is one to ask while the event loop runs.
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QTimer::singleShot(0, app, [running = event_loop_running_] { *running = true; });
    QObject::connect(app, &QCoreApplication::aboutToQuit, [running = event_loop_running_] { *running = false; });
  }
}

TDialogChoices TQtRavlogUi::ShowExceptionDialog(const TReport& report, const TRavlogModuleOptions& options) {
  TDialogChoices choices;
  RunOnGuiThread(
      [&] {
        TExceptionDialog dialog(report, options, geometry_file_);
        dialog.exec();
        choices = dialog.Choices();
      },
      kPickupMilliseconds);
  return choices;
}

std::string TQtRavlogUi::AskReproduceSteps(const TCustomizedTexts& texts) {
  std::string steps;
  RunOnGuiThread(
      [&] {
        TRequestDialog dialog(texts);
        dialog.exec();
        steps = dialog.Steps();
      },
      kPickupMilliseconds);
  return steps;
}

void TQtRavlogUi::ShowMessageBox(const std::string& caption, const std::string& text) {
  RunOnGuiThread(
      [&] {
        QMessageBox box(QMessageBox::Information, QStr(caption), QStr(text), QMessageBox::Ok);
        box.setObjectName("ExceptionMessageBox");
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.exec();
      },
      kPickupMilliseconds);
}

void TQtRavlogUi::CopyToClipboard(const std::string& text) {
  RunOnGuiThread(
      [&] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard) throw Exception("There is no clipboard.");
        clipboard->setText(QStr(text));
      },
      kPickupMilliseconds);
}

TScreenImage TQtRavlogUi::TakeScreenshot() {
  TScreenImage shot;
  RunOnGuiThread(
      [&] {
        QImage image;
        if (QWidget* window = QApplication::activeWindow())
          image = window->grab().toImage();
        else if (QScreen* screen = QGuiApplication::primaryScreen())
          image = screen->grabWindow(0).toImage();
        if (image.isNull()) throw Exception("Cannot take a screenshot.");
        image = image.convertToFormat(QImage::Format_RGB888);
        shot.width = image.width();
        shot.height = image.height();
        const size_t stride = static_cast<size_t>(shot.width) * 3;
        shot.rgb.resize(stride * static_cast<size_t>(shot.height));
        for (int y = 0; y < shot.height; ++y)
          std::copy_n(image.constScanLine(y), stride, shot.rgb.data() + static_cast<size_t>(y) * stride);
      },
      kPickupMilliseconds);
  return shot;
}

TActiveControls TQtRavlogUi::ActiveControls() {
  TActiveControls controls;
  RunOnGuiThread(
      [&] {
        if (QWidget* window = QApplication::activeWindow()) {
          controls.form_class = WidgetClassName(window);
          controls.form_text = AnsiStr(window->windowTitle());
        }
        if (QWidget* focus = QApplication::focusWidget()) {
          controls.control_class = WidgetClassName(focus);
          controls.control_text = ControlText(focus);
        }
      },
      kControlsPickupMilliseconds);
  return controls;
}

std::unique_ptr<TSendProgress> TQtRavlogUi::ShowSendProgress(const TCustomizedTexts& texts) {
  QPointer<TSendProgressWindow> window;
  RunOnGuiThread(
      [&] {
        window = new TSendProgressWindow(texts);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
      },
      kPickupMilliseconds);
  return std::make_unique<TQtSendProgress>(window);
}

bool TQtRavlogUi::Ping(int milliseconds) {
  static const auto state = std::make_shared<PingState>();
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  long asked;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    asked = ++state->asked;
  }
  QMetaObject::invokeMethod(
      app,
      [s = state, asked] {
        std::lock_guard<std::mutex> lock(s->mutex);
        s->done = std::max(s->done, asked);
        s->answered.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(state->mutex);
  return state->answered.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return state->done >= asked; });
}

TQtRavlogUi& InstallRavlogUi() {
  static TQtRavlogUi* ui = new TQtRavlogUi;  // lives as long as the logger may report
  SetRavlogUi(ui);
  SetMainWindowProbe(ui);
  return *ui;
}

}  // namespace tavrik::exlog::ui
