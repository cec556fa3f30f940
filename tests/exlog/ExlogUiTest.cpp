// The logger's Qt side on the offscreen platform: the error dialog folded and unfolded, its boxes
// and buttons, its geometry in Ravlog.ini, the request dialog, the active controls with a
// password masked, the screenshot, work handed to the GUI thread from others, and one report
// from raise to clipboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <thread>

#include "core/Exception.h"
#include "exlog/ECapture.h"
#include "exlog/ELogFile.h"
#include "exlog/ExceptionLog.h"
#include "exlog/ui/ExceptionDialog.h"
#include "exlog/ui/GuiThread.h"
#include "exlog/ui/QtRavlogUi.h"
#include "exlog/ui/RequestDialog.h"
#include "exlog/ui/SendProgressWindow.h"
#include "platform/IniFile.h"
#include "tests/support/TempDir.h"
#include "tests/support/WhenShown.h"

namespace tavrik::exlog::ui {
namespace {

TAVRIK_EXCEPTION(EUploadFailed, Exception);

using testing::WhenShown;

template <typename T>
T* Find(QWidget* w, const char* name) {
  T* found = w->findChild<T*>(name);
  EXPECT_NE(found, nullptr) << name;
  return found;
}

TReport SampleReport() {
  TReportFacts facts;
  facts.type = "EUploadFailed";
  facts.message = "Upload failed";
  TStackEntry frame;
  frame.address = 0x1234;
  frame.module = "tavrik";
  frame.unit = "Main.cpp";
  frame.class_name = "TTavrikFrm";
  frame.procedure = "StartBtnClick";
  frame.line = 120;
  TModuleEntry module;
  module.handle = 0x400000;
  module.name = "tavrik";
  TReport report;
  report.Build(facts, TCustomizedTexts(), kAllReportFields, {frame, frame}, {module}, TRaiseCapture());
  return report;
}

class ExlogUiTest : public ::testing::Test {
 protected:
  std::string Ini() const { return dir.File("Ravlog.ini"); }
  testing::TempDir dir;
  TRavlogModuleOptions options;
};

TEST_F(ExlogUiTest, TheDialogOpensFoldedAndDetailsUnfoldsItsPages) {
  options.ActivePage = 1;
  options.EmailSendMode = esmSmtpServer;
  options.AttachScreenshot = true;
  TExceptionDialog dialog(SampleReport(), options, Ini());
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Error.");
  EXPECT_EQ(dialog.MessageLbl->text(),
            "An error has occurred during program execution.\nPlease read the following information for further details.");
  EXPECT_FALSE(dialog.Expanded());
  EXPECT_TRUE(dialog.SendCB->isVisible() && dialog.SendCB->isChecked());
  EXPECT_TRUE(dialog.ScreenshotCB->isVisible() && dialog.ScreenshotCB->isChecked() && dialog.ScreenshotCB->isEnabled());
  EXPECT_FALSE(dialog.ClipboardCB->isChecked());
  QTest::mouseClick(dialog.SendCB, Qt::LeftButton);
  EXPECT_FALSE(dialog.ScreenshotCB->isEnabled());  // a screenshot goes only with a mail
  QTest::mouseClick(dialog.SendCB, Qt::LeftButton);

  QTest::mouseClick(dialog.DetailsBtn, Qt::LeftButton);
  EXPECT_TRUE(dialog.Expanded());
  EXPECT_EQ(dialog.PageControl->currentIndex(), 1);
  QStringList tabs;
  for (int i = 0; i < dialog.PageControl->count(); ++i) tabs << dialog.PageControl->tabText(i);
  EXPECT_EQ(tabs, (QStringList{"General", "Call Stack", "Modules", "CPU"}));
  EXPECT_EQ(dialog.CallStackList->headerItem()->text(4), "Procedure/Method");
  ASSERT_EQ(dialog.CallStackList->topLevelItemCount(), 2);
  EXPECT_EQ(dialog.CallStackList->topLevelItem(0)->text(3), "TTavrikFrm");
  EXPECT_EQ(dialog.ModulesList->topLevelItem(0)->text(0), "0000000000400000");
  EXPECT_TRUE(dialog.GeneralMemo->toPlainText().contains("2.5 Message: Upload failed."));
  EXPECT_TRUE(dialog.CpuMemo->toPlainText().startsWith("Registers:"));

  dialog.resize(700, 450);
  dialog.CallStackList->setColumnWidth(4, 222);
  QTest::mouseClick(dialog.DetailsBtn, Qt::LeftButton);  // folding stores the geometry
  EXPECT_FALSE(dialog.Expanded());
  TIniFile ini(Ini());
  EXPECT_EQ(ini.ReadInteger("Coordinates", "Width", 0), 700);
  EXPECT_EQ(ini.ReadInteger("Coordinates", "Height", 0), 450);
  EXPECT_EQ(ini.ReadInteger("Coordinates", "WindowsState", 0), 1);
  EXPECT_EQ(ini.ReadInteger("Coordinates", "Col4", 0), 222);
  EXPECT_GT(ini.ReadInteger("Coordinates", "ColMod1", 0), 0);
  EXPECT_EQ(ini.ReadSection("Coordinates").size(), 5u + 12);

  QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  TDialogChoices choices = dialog.Choices();
  EXPECT_TRUE(choices.send_email && choices.attach_screenshot);
  EXPECT_FALSE(choices.copy_to_clipboard || choices.terminate);
}

TEST_F(ExlogUiTest, BoxesFollowTheSettingsAndTheTerminateButtonItsCaption) {
  TExceptionDialog plain(SampleReport(), options, Ini());
  plain.show();
  EXPECT_FALSE(plain.SendCB->isVisible());
  EXPECT_FALSE(plain.ScreenshotCB->isVisible());
  EXPECT_EQ(plain.TerminateBtn->text(), "&Restart");
  QTest::mouseClick(plain.ClipboardCB, Qt::LeftButton);
  QTest::mouseClick(plain.TerminateBtn, Qt::LeftButton);
  EXPECT_FALSE(plain.isVisible());
  TDialogChoices choices = plain.Choices();
  EXPECT_TRUE(choices.terminate && choices.copy_to_clipboard);
  EXPECT_FALSE(choices.send_email || choices.attach_screenshot);

  options.TerminateButtonRestarts = false;
  options.EmailSendMode = esmEmailClient;
  TExceptionDialog other(SampleReport(), options, Ini());
  other.show();
  EXPECT_EQ(other.TerminateBtn->text(), "&Terminate");
  EXPECT_TRUE(other.SendCB->isVisible());
  EXPECT_FALSE(other.ScreenshotCB->isVisible());  // no screenshot asked for
}

TEST_F(ExlogUiTest, AStoredPlaceOffTheScreenIsMovedBackOntoIt) {
  TIniFile ini(Ini());
  ini.WriteInteger("Coordinates", "Width", 500);
  ini.WriteInteger("Coordinates", "Height", 300);
  ini.WriteInteger("Coordinates", "Left", -4000);
  ini.WriteInteger("Coordinates", "Top", 90000);
  TExceptionDialog dialog(SampleReport(), options, Ini());
  dialog.SetExpanded(true);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(dialog.width(), 500);
  EXPECT_EQ(dialog.height(), 300);
  EXPECT_EQ(dialog.x(), screen.left());
  EXPECT_EQ(dialog.y() + 300, screen.bottom() + 1);
}

TEST_F(ExlogUiTest, TheRequestDialogGivesTheTypedSteps) {
  TRequestDialog request{TCustomizedTexts()};
  EXPECT_EQ(request.windowTitle(), "Request.");
  EXPECT_EQ(request.RequestLbl->text(), "Please describe the steps to reproduce the error:");
  QTest::keyClicks(request.StepsMemo, "Log in");
  EXPECT_EQ(request.Steps(), "Log in");
}

class TTestFrm : public QMainWindow {};

TEST_F(ExlogUiTest, ActiveControlsWithAPasswordMaskedAndTheScreenshot) {
  TTestFrm form;
  form.setWindowTitle("Tavrik");
  auto* password = new QLineEdit(&form);
  password->setEchoMode(QLineEdit::Password);
  password->setText("geheim");
  form.setCentralWidget(password);
  form.resize(200, 100);
  form.show();
  form.setStyleSheet("background: rgb(10, 200, 30)");
  QApplication::setActiveWindow(&form);
  password->setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  TQtRavlogUi ui;
  TActiveControls controls = ui.ActiveControls();
  EXPECT_EQ(controls.form_class, "TTestFrm");
  EXPECT_EQ(controls.form_text, "Tavrik");
  EXPECT_EQ(controls.control_class, "QLineEdit");
  EXPECT_EQ(controls.control_text, "******");
  password->setEchoMode(QLineEdit::Normal);
  EXPECT_EQ(ControlText(password), "geheim");

  QImage decoded;
  ASSERT_TRUE(decoded.loadFromData(QByteArray::fromStdString(EncodePng(ui.TakeScreenshot())), "PNG"));
  EXPECT_EQ(decoded.size(), form.size() * form.devicePixelRatio());
}

TEST_F(ExlogUiTest, WorkFromOtherThreadsRunsOnTheGuiThreadWhileItAnswers) {
  std::atomic<bool> ran_on_gui{false}, done{false};
  std::thread worker([&] {
    RunOnGuiThread([&] { ran_on_gui = OnGuiThread(); }, 10000);
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);  // the GUI thread answers
  worker.join();
  EXPECT_TRUE(ran_on_gui);

  // A GUI thread that does not answer: the work is dropped, the caller told, and it never runs.
  std::atomic<bool> ran{false};
  std::string error;
  std::thread blocked([&] {
    try {
      RunOnGuiThread([&] { ran = true; }, 100);
    } catch (const Exception& e) {
      error = e.what();
    }
  });
  blocked.join();  // the GUI thread is held here
  QCoreApplication::processEvents();
  EXPECT_EQ(error, "The user interface does not answer.");
  EXPECT_FALSE(ran);

  TQtRavlogUi ui;
  std::atomic<int> answered{-1};
  std::thread pinger([&] { answered = ui.Ping(10000); });
  while (answered < 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  pinger.join();
  EXPECT_EQ(answered, 1);
}

TEST_F(ExlogUiTest, TheProgressWindowShowsTheDialogue) {
  TQtRavlogUi ui;
  std::unique_ptr<TSendProgress> progress = ui.ShowSendProgress(TCustomizedTexts());
  progress->SetStatus("Message 1/2: Sending message...");
  progress->SetPosition(3, 4);
  TSendProgressWindow* shown = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "SendProgressWindow" && w->isVisible()) shown = static_cast<TSendProgressWindow*>(w);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->windowTitle(), "SMTP.");
  EXPECT_EQ(shown->StatusLbl->text(), "Message 1/2: Sending message...");
  EXPECT_EQ(shown->SendPB->value(), 3);
  EXPECT_EQ(shown->SendPB->maximum(), 4);
  progress.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_NE(w->objectName(), "SendProgressWindow");
}

TEST_F(ExlogUiTest, OneReportFromTheRaiseToTheClipboard) {
  TQtRavlogUi& ui = InstallRavlogUi();
  ui.SetGeometryFile(Ini());
  TRavlogModuleOptionsEx settings;
  settings.OutputPath = dir.Path();
  settings.ExceptionMessages = {{"EListed", "Probeer het later opnieuw."}};
  TExceptionLog log(settings, TProgramFacts::Current(0, nullptr));
  SetRaiseRecording(true);
  WhenShown("ExceptionDialog", [](QWidget* w) {
    QTest::mouseClick(Find<QCheckBox>(w, "ClipboardCB"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>(w, "OKBtn"), Qt::LeftButton);
  });
  try {
    throw EUploadFailed("Upload failed");
  } catch (...) {
    log.HandleException(DescribeCurrentException());
  }
  TAVRIK_EXCEPTION(EListed, Exception);
  QString box_text;
  WhenShown("ExceptionMessageBox", [&](QWidget* w) {
    box_text = static_cast<QMessageBox*>(w)->text();
    static_cast<QMessageBox*>(w)->accept();
  });
  try {
    throw EListed("not shown");
  } catch (...) {
    log.HandleException(DescribeCurrentException());
  }
  SetRaiseRecording(false);
  EXPECT_EQ(box_text, "Probeer het later opnieuw.");
  const std::vector<std::string> logged = TLogFile(dir.File("exlog_ui_tests.rlf")).Reports();
  ASSERT_EQ(logged.size(), 1u);
  const std::string clipboard = QApplication::clipboard()->text().toStdString();
  EXPECT_GT(clipboard.size(), 1000u);
  EXPECT_EQ(logged[0].rfind(clipboard, 0), 0u);  // the report as logged
  EXPECT_TRUE(log.Warnings().empty());
}

}  // namespace
}  // namespace tavrik::exlog::ui
