// One report through its steps, with a scripted user interface: which exceptions are reported,
// what the dialog, the request, the clipboard and the log file get, and that a failing optional
// step never costs the report.
#include <gtest/gtest.h>

#include <functional>

#include "core/Exception.h"
#include "exlog/ECapture.h"
#include "exlog/ELogFile.h"
#include "exlog/EUi.h"
#include "exlog/ExceptionLog.h"
#include "tests/support/TempDir.h"

namespace tavrik::exlog {
namespace {

TAVRIK_EXCEPTION(ETestFailure, Exception);
TAVRIK_EXCEPTION(EAbort, Exception);

class ScriptedUi : public TRavlogUi {
 public:
  ScriptedUi() { previous_ = SetRavlogUi(this); }
  ~ScriptedUi() override { SetRavlogUi(previous_); }

  TDialogChoices choices;
  std::string steps;
  bool fail = false;  // every method raises
  std::function<void()> during_dialog;
  std::vector<std::string> dialog_messages;  // the message field of each report shown
  std::vector<std::string> dialog_procedures;  // the first frame's procedure of each
  std::vector<int> dialog_lines;
  std::vector<std::pair<std::string, std::string>> boxes;
  std::vector<std::string> clipboard;
  int screenshots = 0;

  TDialogChoices ShowExceptionDialog(const TReport& report, const TRavlogModuleOptions&) override {
    Fail("no window");
    dialog_messages.push_back(report.general.Groups()[1].fields.back().value);
    dialog_procedures.push_back(report.stack.empty() ? "" : report.stack[0].procedure);
    dialog_lines.push_back(report.stack.empty() ? 0 : report.stack[0].line);
    if (during_dialog) std::exchange(during_dialog, nullptr)();
    return choices;
  }
  std::string AskReproduceSteps(const TCustomizedTexts&) override {
    Fail("no request");
    return steps;
  }
  void ShowMessageBox(const std::string& caption, const std::string& text) override {
    Fail("no box");
    boxes.emplace_back(caption, text);
  }
  void CopyToClipboard(const std::string& text) override {
    Fail("no clipboard");
    clipboard.push_back(text);
  }
  TScreenImage TakeScreenshot() override {
    Fail("no screen");
    ++screenshots;
    return TScreenImage{2, 1, {1, 2, 3, 4, 5, 6}};
  }
  TActiveControls ActiveControls() override {
    Fail("no controls");
    return {"TTavrikFrm", "Tavrik", "QLineEdit", "***"};
  }
  std::unique_ptr<TSendProgress> ShowSendProgress(const TCustomizedTexts&) override { return nullptr; }

 private:
  void Fail(const char* why) {
    if (fail) throw Exception(why);
  }
  TRavlogUi* previous_;
};

__attribute__((noinline)) void RaiseHere(const std::string& message) {
  throw ETestFailure(message);  // RAISE-LINE
}

constexpr int kRaiseLine = __LINE__ - 3;

class FlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetRaiseRecording(true);
    options.OutputPath = dir.Path();
  }
  void TearDown() override { SetRaiseRecording(false); }

  TExceptionLog& Log() {
    if (!log) log = std::make_unique<TExceptionLog>(options, TProgramFacts::Current(0, nullptr));
    log->SetTerminateAction([this](bool restart) { terminations.push_back(restart); });
    return *log;
  }

  // Raises `error` and reports it from its handler, as the program's error handler does.
  template <typename E>
  void Report(const E& error) {
    try {
      throw error;
    } catch (...) {
      Log().HandleException(DescribeCurrentException());
    }
  }
  void ReportRaised(const std::string& message) {
    try {
      RaiseHere(message);
    } catch (...) {
      Log().HandleException(DescribeCurrentException());
    }
  }

  std::vector<std::string> Logged() { return TLogFile(dir.File("exlog_tests.rlf")).Reports(); }

  testing::TempDir dir;
  TRavlogModuleOptionsEx options;
  std::unique_ptr<TExceptionLog> log;
  ScriptedUi ui;
  std::vector<bool> terminations;
};

TEST_F(FlowTest, TheStackIsTheRaisersEvenWhenReportedFromTheHandler) {
  ReportRaised("Disk full");
  ASSERT_EQ(ui.dialog_procedures.size(), 1u);
  EXPECT_EQ(ui.dialog_procedures[0], "RaiseHere");
  EXPECT_EQ(ui.dialog_lines[0], kRaiseLine);
  EXPECT_EQ(ui.dialog_messages[0], "Disk full.");
  EXPECT_EQ(Log().ExceptionCount(), 1);
  const std::vector<std::string> logged = Logged();
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("2.4 Type   : ETestFailure\r\n"), std::string::npos);
  EXPECT_NE(logged[0].find("3.1 Form Class   : TTavrikFrm\r\n"), std::string::npos);
  EXPECT_NE(logged[0].find("|RaiseHere"), std::string::npos);
}

TEST_F(FlowTest, WhatIsNotReported) {
  options.ExceptionMessages = {{"ETestFailure", "Probeer het later opnieuw."}};
  Report(ETestFailure("listed"));
  EXPECT_EQ(ui.boxes, (std::vector<std::pair<std::string, std::string>>{{"Information.", "Probeer het later opnieuw."}}));
  Report(EAbort("silent"));
  log.reset();
  options.ExceptionMessages.clear();
  options.LoggerActive = false;
  Report(ETestFailure("logger off"));
  EXPECT_TRUE(ui.dialog_messages.empty());
  EXPECT_TRUE(Logged().empty());
  EXPECT_EQ(Log().ExceptionCount(), 0);
}

TEST_F(FlowTest, ExceptionsOfAnyKind) {
  Report(42);
  Report(std::runtime_error("plain"));
  Log().HandleException(TRaisedException());  // no exception object at all
  const std::vector<std::string> logged = Logged();
  ASSERT_EQ(logged.size(), 3u);
  EXPECT_NE(logged[0].find("Type   : int\r\n  2.5 Message: Unknown error message.\r\n"), std::string::npos);
  EXPECT_NE(logged[1].find("Type   : std::runtime_error\r\n  2.5 Message: plain.\r\n"), std::string::npos);
  EXPECT_NE(logged[2].find("Type   : Unknown exception type.\r\n"), std::string::npos);
}

TEST_F(FlowTest, StepsClipboardAndScreenshot) {
  options.AskReproduceSteps = true;
  options.AttachScreenshot = true;
  ui.choices.copy_to_clipboard = true;
  ui.steps = "Log in\nPress Opsturen";
  ReportRaised("Upload failed");
  EXPECT_EQ(ui.screenshots, 1);
  const std::vector<std::string> logged = Logged();
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("\r\nRequest:\r\n" + std::string(40, '-') + "\r\nLog in\r\nPress Opsturen"), std::string::npos);
  ASSERT_EQ(ui.clipboard.size(), 1u);
  EXPECT_EQ(ui.clipboard[0] + "\r\n\r\n\r\n\r\n", logged[0]);
}

TEST_F(FlowTest, AFailingOptionalStepIsWarnedAndTheReportStillLogged) {
  options.AskReproduceSteps = true;
  options.AttachScreenshot = true;
  ui.fail = true;
  ReportRaised("Upload failed");
  EXPECT_EQ(Logged().size(), 1u);
  EXPECT_EQ(Log().Warnings(),
            (std::vector<std::string>{"Controls: no controls", "Screenshot: no screen",
                                      "Dialog: Cannot show the DialogBox window. no window", "Request: no request"}));
  options.OutputPath = dir.File("missing/folder");  // the log itself cannot be written
  log.reset();
  ui.fail = false;
  ReportRaised("again");
  EXPECT_EQ(Log().Warnings().size(), 1u);
  EXPECT_EQ(Log().Warnings()[0].rfind("Log: Cannot open " + dir.File("missing/folder/exlog_tests.rlf"), 0), 0u);
}

TEST_F(FlowTest, TheTerminateButtonEndsOrRestarts) {
  ui.choices.terminate = true;
  ReportRaised("one");
  log.reset();
  options.TerminateButtonRestarts = false;
  ReportRaised("two");
  EXPECT_EQ(terminations, (std::vector<bool>{true, false}));
  EXPECT_EQ(Logged().size(), 2u);  // logged before the program ends
}

TEST_F(FlowTest, AReportAskedForDuringAReportComesAfterIt) {
  ui.during_dialog = [this] { ReportRaised("second"); };
  ReportRaised("first");
  EXPECT_EQ(ui.dialog_messages, (std::vector<std::string>{"first.", "second."}));
  const std::vector<std::string> logged = Logged();
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_NE(logged[0].find("Message: first."), std::string::npos);
  EXPECT_NE(logged[1].find("Message: second."), std::string::npos);
}

}  // namespace
}  // namespace tavrik::exlog
