#include "exlog/ExceptionLog.h"

#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>

#include "exlog/EConsts.h"
#include "exlog/EFreeze.h"
#include "exlog/ELogFile.h"
#include "exlog/EMail.h"
#include "exlog/EModules.h"
#include "exlog/EReport.h"
#include "exlog/ESettingsBlock.h"
#include "exlog/ESignals.h"
#include "exlog/EStack.h"
#include "exlog/EThreads.h"
#include "exlog/EUi.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"

extern char** environ;

namespace tavrik::exlog {

namespace {

std::string FileNameOf(const std::string& file) { return file.substr(file.rfind('/') + 1); }

std::string QuotedParameters(const std::vector<std::string>& args) {
  std::string out;
  for (const std::string& a : args) out += (out.empty() ? "\"" : " \"") + a + "\"";
  return out;
}

// A folder of the report's own for its attachment files, removed with them at the end.
class TTempFolder {
 public:
  TTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ravlog-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TTempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Marks the report of this thread as running, so that a report asked for from inside it (an
// error in a dialog's own event loop) waits its turn instead of nesting.
class TReportingThread {
 public:
  explicit TReportingThread(std::atomic<pid_t>& owner) : owner_(owner) { owner_ = ::gettid(); }
  ~TReportingThread() { owner_ = 0; }

 private:
  std::atomic<pid_t>& owner_;
};

}  // namespace

TProgramFacts TProgramFacts::Current(int argc, char** argv) {
  TProgramFacts p;
  p.file = platform::ExecutablePath();
  for (int i = 1; i < argc; ++i) p.args.emplace_back(argv[i]);
  std::error_code ignored;
  p.start_dir = std::filesystem::current_path(ignored).string();
  clock_gettime(CLOCK_REALTIME, &p.start_date);
  std::optional<TVersionInfo> info = ReadVersionInfo(p.file);
  p.description = info && !info->description.empty() ? info->description : FileNameOf(p.file);
  p.version = info && !info->version.empty() ? info->version : "0.0.0.0";
  return p;
}

TExceptionLog::TExceptionLog(TRavlogModuleOptionsEx options, TProgramFacts program)
    : options_(std::move(options)), program_(std::move(program)) {
  std::string trace_file = program_.file;
  size_t dot = trace_file.rfind('.');
  if (dot != std::string::npos && dot > trace_file.rfind('/')) trace_file.resize(dot);
  trace_.Configure(program_.args, trace_file + kTraceFileExtension);
  terminate_ = [this](bool restart) { TerminateProgram(program_, restart); };
}

std::vector<std::string> TExceptionLog::Warnings() {
  std::lock_guard<std::mutex> lock(warnings_mutex_);
  return warnings_;
}

void TExceptionLog::Warn(const std::string& kind, const std::string& text) {
  trace_.Line("Warning", kind + ", " + Blanked(text));
  std::fprintf(stderr, "Ravlog: %s: %s\n", kind.c_str(), Blanked(text).c_str());
  std::lock_guard<std::mutex> lock(warnings_mutex_);
  warnings_.push_back(kind + ": " + text);
}

TRavlogModuleOptionsEx TExceptionLog::OptionsFor(uintptr_t address, std::string& module_file) {
  module_file = address ? ModuleFileOf(address) : program_.file;
  if (module_file.empty()) module_file = program_.file;
  if (module_file == program_.file) return options_;
  std::lock_guard<std::mutex> lock(modules_mutex_);
  auto found = module_options_.find(module_file);
  if (found == module_options_.end()) {
    std::optional<TRavlogModuleOptionsEx> own;
    try {
      own = ModuleSettings(module_file);
    } catch (const std::exception& e) {
      Warn("Settings", module_file + ": " + e.what());
    }
    found = module_options_.emplace(module_file, std::move(own)).first;
  }
  if (found->second) return *found->second;
  // A module without settings of its own reports with the program's, into the program's log.
  module_file = program_.file;
  return options_;
}

void TExceptionLog::HandleException(TRaisedException raised, bool unattended) {
  if (reporting_thread_ == ::gettid()) {
    deferred_.emplace_back(std::move(raised), unattended);
    return;
  }
  // A fatal signal must not wait for ever on a report its own thread may have left halfway.
  std::unique_lock<std::timed_mutex> lock(report_mutex_, std::defer_lock);
  if (unattended) {
    if (!lock.try_lock_for(std::chrono::seconds(5))) Warn("Report", "a report in progress did not end");
  } else {
    lock.lock();
  }
  TReportingThread owner(reporting_thread_);
  RunSteps(raised, unattended);
  while (!deferred_.empty()) {
    auto next = std::move(deferred_.front());
    deferred_.pop_front();
    RunSteps(next.first, next.second);
  }
  trace_.Save();
}

void TExceptionLog::RunSteps(TRaisedException& raised, bool unattended) {
  TTraceScope scope(trace_, "HandleException", raised.class_name + ", " + Blanked(raised.message));
  TRaiseCapture& capture = raised.capture;
  TRavlogUi* ui = unattended ? nullptr : CurrentRavlogUi();
  TRavlogModuleOptionsEx options;
  std::string module_file;
  TReport report;
  int step = 1;
  try {
    options = OptionsFor(capture.address, module_file);
    if (!options.LoggerActive || raised.class_name == kSilentClassName) return;

    step = 2;
    if (const std::string* listed = options.ListedMessage(raised.class_name)) {
      if (ui)
        ui->ShowMessageBox(options.CustomizedTexts[txInformation], *listed);
      else
        std::printf("%s\n", listed->c_str());
      return;
    }

    step = 3;
    std::vector<TFrame> frames = capture.Frames();
    frames.insert(frames.end(), raised.creation_frames.begin(), raised.creation_frames.end());
    TRavlogFunctionsList functions;
    TRavlogStackList stack;
    stack.Build(frames, functions);
    TRavlogModulesList modules;
    modules.Build();

    step = 4;
    TReportFacts facts;
    facts.start_date = program_.start_date;
    facts.description = program_.description;
    facts.version = program_.version;
    facts.parameters = QuotedParameters(program_.args);
    facts.date = capture.when;
    facts.address = capture.address;
    facts.module = FileNameOf(ModuleFileOf(capture.address));
    facts.type = raised.class_name;
    facts.message = raised.message;
    if (ui) {
      try {
        facts.controls = ui->ActiveControls();
      } catch (const std::exception& e) {
        Warn("Controls", e.what());
      }
    }
    facts.computer_name = platform::ComputerName();
    facts.user_name = platform::UserName();
    facts.total_memory = platform::TotalMemory();
    facts.free_memory = platform::AvailableMemory();
    platform::TDiskSpace disk = platform::DiskSpace(platform::ChangeFileName(program_.file, "."));
    facts.total_disk = disk.total;
    facts.free_disk = disk.free;
    facts.os_type = platform::OsName();
    facts.os_build = platform::OsRelease();
    facts.os_update = platform::OsBuildText();
    facts.os_language = platform::LanguageName();
    report.Build(facts, options.CustomizedTexts, options.ReportFields, stack.Entries(), modules.Entries(), capture);
    ++count_;
  } catch (const std::exception& e) {
    Warn("Step " + std::to_string(step), e.what());
    return;
  }

  // From here on every step is optional: a failure is warned about and the report goes on.
  TTempFolder temp;
  std::string screenshot;
  if (options.AttachScreenshot && ui) {
    trace_.Line("Screenshot");
    try {
      if (temp.Path().empty()) throw Exception("No temporary folder.");
      std::string png = EncodePng(ui->TakeScreenshot());
      screenshot = temp.Path() + "/" + kScreenshotFileName;
      std::ofstream out(screenshot, std::ios::binary);
      out.write(png.data(), static_cast<std::streamsize>(png.size()));
      if (!out.flush()) throw Exception("Cannot write " + screenshot);
    } catch (const std::exception& e) {
      screenshot.clear();
      Warn("Screenshot", e.what());
    }
  }

  TDialogChoices choices;
  choices.send_email = options.EmailSendMode != esmNoEmail;
  choices.attach_screenshot = options.AttachScreenshot;
  if (options.ShowExceptionDialog) {
    trace_.Line("ShowExceptionDialog");
    if (!ui) {
      std::fwrite(report.text.data(), 1, report.text.size(), stdout);
      std::fflush(stdout);
    } else {
      try {
        choices = ui->ShowExceptionDialog(report, options);
      } catch (const std::exception& e) {
        Warn("Dialog", std::string(kCannotShowDialog) + " " + e.what());
      }
    }
  }

  std::string steps;
  if (options.AskReproduceSteps && ui && (options.EmailSendMode != esmNoEmail || options.SaveLogFile)) {
    trace_.Line("AskReproduceSteps");
    try {
      steps = ui->AskReproduceSteps(options.CustomizedTexts);
    } catch (const std::exception& e) {
      Warn("Request", e.what());
    }
  }
  const std::string logged = ReportWithSteps(report.text, steps, options.CustomizedTexts[txRequest]);
  const std::string log_file = LogFileName(module_file, options.OutputPath);

  if (options.SaveLogFile) {
    TTraceScope log_scope(trace_, "SaveLogFile", log_file);
    try {
      TLogFile(log_file).Append(logged, options.ErrorsInLogFile);
    } catch (const std::exception& e) {
      Warn("Log", e.what());
    }
  }

  if (choices.copy_to_clipboard && ui) {
    try {
      ui->CopyToClipboard(logged);
    } catch (const std::exception& e) {
      Warn("Clipboard", e.what());
    }
  }

  if (options.EmailSendMode != esmNoEmail && choices.send_email) {
    TTraceScope send_scope(trace_, "SendReport", std::to_string(options.EmailSendMode));
    try {
      TReportMail mail{report.text, steps, FileNameOf(log_file), choices.attach_screenshot ? screenshot : std::string(),
                       temp.Path()};
      std::unique_ptr<TSendProgress> progress;
      if (ui && options.ShowSendProgress && options.EmailSendMode != esmEmailClient) {
        try {
          progress = ui->ShowSendProgress(options.CustomizedTexts);
        } catch (const std::exception& e) {
          Warn("Progress", e.what());
        }
      }
      SendReport(options, mail, progress.get(), [this](const std::string& kind, const std::string& text) {
        Warn(kind, text);
      });
    } catch (const std::exception& e) {
      Warn("Mail", e.what());
    }
  }

  if (choices.terminate) {
    trace_.Line("Terminate", options.TerminateButtonRestarts ? "restart" : "");
    trace_.Save();
    terminate_(options.TerminateButtonRestarts);
  }
}

void TerminateProgram(const TProgramFacts& program, bool restart) {
  if (restart) {
    std::vector<std::string> args = program.args;
    args.insert(args.begin(), program.file);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, program.start_dir.c_str());
    pid_t child = 0;
    posix_spawn(&child, program.file.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
  }
  std::fflush(stdout);
  ::_exit(1);
}

// --- the installed logger ---

namespace {

TExceptionLog* g_log = nullptr;
pthread_t g_main_thread;
std::unique_ptr<TFreezeThread> g_freeze;
std::terminate_handler g_previous_terminate = nullptr;

void ReportCurrent(bool main_thread) {
  TExceptionLog* log = g_log;
  if (!log) return;
  TRaisedException raised = DescribeCurrentException();
  raised.main_thread = main_thread;
  raised.creation_frames = TRavlogThreadsList::Instance().CreationFrames(raised.thread_id);
  log->HandleException(std::move(raised));
}

// An exception that nothing catches: the unwinder found no handler, so the stack at the raise is
// still the one recorded. After the report the program cannot go on.
void OnTerminate() {
  if (g_log) {
    ReportCurrent(::gettid() == ::getpid());
    g_log->Trace().Save();
  }
  std::fflush(stdout);
  ::_exit(1);
}

void OnFrozen() {
  TExceptionLog* log = g_log;
  if (!log) return;
  TRaisedException raised;
  raised.class_name = kFrozenClassName;
  raised.message = log->Options().FreezeMessage;
  raised.thread_id = ::getpid();
  if (!CaptureThreadContext(g_main_thread, raised.capture, 1000)) raised.capture.Complete();
  log->HandleException(std::move(raised));
}

void OnFatalSignal(const TFatalSignal& fatal) {
  TExceptionLog* log = g_log;
  if (!log) return;
  TRaisedException raised;
  raised.capture = fatal.capture;
  raised.class_name = FatalSignalClass(fatal);
  raised.message = FatalSignalMessage(fatal, FileNameOf(ModuleFileOf(fatal.capture.address)));
  raised.thread_id = fatal.thread_id;
  raised.main_thread = fatal.thread_id == ::getpid();
  raised.creation_frames = TRavlogThreadsList::Instance().CreationFrames(fatal.thread_id);
  log->HandleException(std::move(raised), true);
}

}  // namespace

void Install(int argc, char** argv) {
  if (g_log) return;
  TProgramFacts program = TProgramFacts::Current(argc, argv);
  TRavlogModuleOptionsEx options;
  std::string settings_problem;
  try {
    if (std::optional<TRavlogModuleOptionsEx> stored = ModuleSettings(program.file)) options = *stored;
  } catch (const std::exception& e) {
    settings_problem = e.what();
  }
  g_log = new TExceptionLog(options, std::move(program));
  if (!settings_problem.empty()) g_log->Warn("Settings", settings_problem);
  g_log->Trace().Line("Install", g_log->Program().file);
  g_main_thread = ::pthread_self();
  SetRaiseRecording(true);
  SetThreadWrapping(true);
  g_previous_terminate = std::set_terminate(OnTerminate);
  // A crash leaves the failing thread waiting while the report is written and mailed.
  if (!InstallFatalSignalHandlers(OnFatalSignal, 60000))
    g_log->Warn("Install", "Cannot hook the fatal signals.");
  if (options.FreezeCheckEnabled && options.LoggerActive)
    g_freeze = std::make_unique<TFreezeThread>(options.FreezeTimeout, OnFrozen);
  std::atexit(Uninstall);
}

void Uninstall() {
  if (!g_log) return;
  g_freeze.reset();
  UninstallFatalSignalHandlers();
  std::set_terminate(g_previous_terminate);
  SetRaiseRecording(false);
  SetThreadWrapping(false);
  g_log->Trace().Line("Uninstall");
  g_log->Trace().Save();
  // The logger object stays: a thread still running may report through it.
}

TExceptionLog* InstalledLog() { return g_log; }

void HandleApplicationException() { ReportCurrent(true); }

void ReportThreadException() { ReportCurrent(false); }

}  // namespace tavrik::exlog
