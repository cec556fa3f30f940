#include "zip/ZipWrt.h"

#include <utility>

#include "core/StrUtils.h"
#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "zip/ZCallBck.h"
#include "zip/ZipWrtRecord.h"

namespace tavrik {

namespace {

std::string UpperExtension(const std::string& path) {
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return UpperCase(path.substr(dot));
}

}  // namespace

TZipwright::TZipwright(TComponent* owner, void* window) : TComponent(owner), window_(window) {
  for (int s = assGIF; s < assEXE; ++s) add_store_suffixes_.insert(static_cast<AddStoreSuffixEnum>(s));
  RegisterZipwright(this);
}

TZipwright::~TZipwright() { UnregisterZipwright(this); }

void TZipwright::SetZipFileName(std::string value) {
  zip_file_name_ = std::move(value);
  if (!IsDesigning()) ReadDirectory();
}

void TZipwright::SetDLLDirectory(std::string value) {
  if (!value.empty() && value.back() == '/') value.pop_back();
  dll_directory_ = std::move(value);
}

void TZipwright::SetRootDir(std::string value) {
  if (!value.empty() && value.back() != '/') value.push_back('/');
  root_dir_ = std::move(value);
}

// --- messages ------------------------------------------------------------------------------

void TZipwright::ShowZipMessage(int number, const std::string& extra) {
  std::string text = ZipMessageText(number, ZipGeneralFallback(number)) + extra;
  last_message_ = text;
  last_error_code_ = number;
  if (!unattended_) platform::CurrentDialogs().ShowMessage(text, platform::TMsgDlgType::mtCustom);
  if (OnMessage) OnMessage(this, 0, text);
}

void TZipwright::ReportZipError(const EZipwright& error) {
  if (error.Display() && !unattended_)
    platform::CurrentDialogs().ShowMessage(error.Message(), platform::TMsgDlgType::mtCustom);
  last_error_code_ = error.Number();
  last_message_ = error.Message();
  if (OnMessage) OnMessage(this, 0, error.Message());
}

void TZipwright::BusyCursor(bool on) {
  if (on) {
    if (busy_cursor_count_++ == 0) {
      saved_cursor_ = platform::CurrentScreenCursor().Cursor();
      platform::CurrentScreenCursor().SetCursor(platform::TCursor::crHourGlass);
    }
  } else if (busy_cursor_count_ > 0 && --busy_cursor_count_ == 0) {
    platform::CurrentScreenCursor().SetCursor(saved_cursor_);
  }
}

// --- the engine ----------------------------------------------------------------------------

void TZipwright::LoadZipEngine() {
  if (engine_.Loaded()) return;  // a second load would leave the first handle behind
  try {
    std::string in_folder = dll_directory_.empty()
                                ? std::string()
                                : dll_directory_ + "/" + platform::SharedLibraryFileName(kZipEngineLibrary);
    bool loaded = !in_folder.empty() && platform::IsRegularFile(in_folder) ? engine_.LoadFile(in_folder)
                                                                          : engine_.Load(kZipEngineLibrary);
    if (!loaded) {
      ShowZipMessage(zmEngineLoadFailed);
      return;
    }
    if (trace_) ShowZipMessage(zmEngineLoaded);
    exec_ = reinterpret_cast<ZipEngExecFunc>(engine_.Symbol(kZipEngExecName));
    get_version_ = reinterpret_cast<GetZipEngVersionFunc>(engine_.Symbol(kGetZipEngVersionName));
    if (!exec_) ShowZipMessage(zmNoZipEngExec);
    if (!get_version_) ShowZipMessage(zmNoGetZipEngVersion);
  } catch (const std::exception&) {
    // A handler's error while the load is reported changes nothing about the load.
  }
}

void TZipwright::UnloadZipEngine() {
  engine_.Unload();
  exec_ = nullptr;
  get_version_ = nullptr;
}

int TZipwright::ZipEngineVersion() {
  const bool load_here = !engine_.Loaded();
  if (load_here) LoadZipEngine();
  if (!engine_.Loaded()) return 0;
  int version = get_version_ ? get_version_() : 0;
  if (load_here) UnloadZipEngine();
  return version;
}

// --- adding files --------------------------------------------------------------------------

void TZipwright::AddFiles() {
  added_count_ = 0;
  if (fspec_args_.empty()) return ShowZipMessage(zmNoFileSpecs);
  if (zip_file_name_.empty()) return ShowZipMessage(zmNoZipFileName);
  if (unattended_ && Has(AddEncrypt) && password_.empty()) return ShowZipMessage(zmNoPasswordUnattended);
  const bool exe = UpperExtension(zip_file_name_) == ".EXE";
  if (Has(AddDiskSpan) || Has(AddDiskSpanErase)) {
    if (Has(AddFreshen) || Has(AddUpdate)) return ShowZipMessage(zmSpanWithUpdate);
    if (exe) return ShowZipMessage(zmSpanToExe);
    return ShowZipMessage(zmException, "\nWriting an archive across several disks is not available.");
  }
  if (busy_) return;
  if (exe && zip_first_local_ == 0 && !platform::PathExists(zip_file_name_))
    return ShowZipMessage(zmException, "\nSelf-extracting archives are not available.");

  const bool load_here = !engine_.Loaded();
  if (load_here) LoadZipEngine();
  if (!engine_.Loaded()) return;
  if (!exec_ || !get_version_) {
    ShowZipMessage(exec_ ? zmNoGetZipEngVersion : zmNoZipEngExec);
    if (load_here) UnloadZipEngine();
    return;
  }
  busy_ = true;
  cancel_ = false;
  password_dialog_result_ = pbOK;
  callback_error_ = nullptr;
  {
    // Runs whether or not an error of a message handler passes.
    struct Cleanup {
      TZipwright& zip;
      bool unload;
      ~Cleanup() {
        zip.fspec_args_.clear();
        zip.fspec_args_excl_.clear();
        if (unload) zip.UnloadZipEngine();
        zip.cancel_ = zip.busy_ = false;
      }
    } cleanup{*this, load_here};
    RunEngine();
  }
  if (added_count_ > 0) ReadDirectory();
}

void TZipwright::RunEngine() {
  try {
    std::unique_ptr<TZipCallRecord> call = BuildCallRecord(get_version_());
    added_count_ = exec_(call->Common());
    if (callback_error_) std::rethrow_exception(std::exchange(callback_error_, nullptr));
  } catch (const std::exception& e) {
    ShowZipMessage(zmException, std::string("\n") + e.what());
  } catch (...) {
    ShowZipMessage(zmException);
  }
}

}  // namespace tavrik
