// TZipwright, the ZIP component: writes ZIP archives by handing the work to the ZIP engine
// library (libzipeng.so, loaded at run time), and reads the central directory of the archive it
// names. It never raises to its caller: every failure becomes a numbered message, shown in a
// message box unless Unattended, passed to OnMessage and kept in LastErrorCode/LastMessage.
//
// The unit is split: ZipWrt.cpp (properties, engine binding, AddFiles, messages),
// ZipWrtRecord.cpp (the call record), ZipWrtDir.cpp (ReadDirectory) and ZCallBck.cpp (the
// callback the engine calls while it works). Paths use "/" as this system's folder separator.
//
// Ownership: the component owns its entry list, string lists and the engine handle while
// loaded; the owner loads the engine once and unloads it once (destruction does not).
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/Component.h"
#include "core/Streams.h"
#include "platform/DynLib.h"
#include "platform/ScreenCursor.h"
#include "zip/PasswordDlg.h"
#include "zip/ZIPENG.h"
#include "zip/ZipDir.h"
#include "zip/ZipText.h"

namespace tavrik {

// The ordinal is the bit number of the option in a stored set.
enum AddOptsEnum {
  AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddZipTime, AddForceDOS, AddHiddenFiles,
  AddArchiveOnly, AddResetArchive, AddEncrypt, AddSeparateDirs, AddVolume, AddDiskSpan, AddDiskSpanErase,
};
using AddOpts = std::set<AddOptsEnum>;

enum ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest };
using ExtrOpts = std::set<ExtrOptsEnum>;

enum SFXOptsEnum { SFXAskCmdLine, SFXAskFiles, SFXAutoRun, SFXHideOverWriteBox, SFXCheckSize, SFXNoSuccessMsg };
using SFXOpts = std::set<SFXOptsEnum>;

enum OvrOpts { OvrConfirm, OvrAlways, OvrNever };
enum DeleteOpts { htdFinal, htdAllowUndo };

enum AddStoreSuffixEnum {
  assGIF, assPNG, assZ, assZIP, assZOO, assARC, assLZH, assARJ, assTAZ, assTGZ, assLHA, assRAR, assACE, assCAB,
  assGZ, assGZIP, assJAR, assEXE,
};
using AddStoreExts = std::set<AddStoreSuffixEnum>;

enum ProgressType { ProgrNewFile, ProgrUpdate, ProgrEndOfBatch, ProgrTotalFiles, ProgrTotalSize };

using TNotifyEvent = std::function<void(TComponent* sender)>;
// `file_size` is 64 bits wide: files of 2 GiB and more are ordinary here.
using TProgressEvent =
    std::function<void(TComponent* sender, ProgressType progr_type, const std::string& filename, int64_t file_size)>;
using TMessageEvent = std::function<void(TComponent* sender, int err_code, const std::string& message)>;
using TSetNewNameEvent = std::function<void(TComponent* sender, std::string& old_file_name, bool& is_changed)>;
using TNewNameEvent = std::function<void(TComponent* sender, int seq_no, const ZipDirEntry& zip_entry)>;
using TCRC32ErrorEvent = std::function<void(TComponent* sender, const std::string& for_file, uint32_t found_crc,
                                            uint32_t expected_crc, bool& do_extract)>;
using TPasswordErrorEvent =
    std::function<void(TComponent* sender, bool is_zip_action, std::string& new_password, const std::string& for_file,
                       uint32_t& repeat_count, TPasswordButton& action)>;
using TExtractOverwriteEvent = std::function<void(TComponent* sender, const std::string& for_file, bool is_older,
                                                  bool& do_overwrite, int dir_index)>;
using TExtractSkippedEvent =
    std::function<void(TComponent* sender, const std::string& for_file, int skip_type, int ext_error)>;
using TFileCommentEvent = std::function<void(TComponent* sender, const std::string& for_file,
                                             std::string& file_comment, bool& is_changed)>;

class TZipCallRecord;

class TZipwright : public TComponent {
 public:
  static constexpr const char* kVersionInfo = "1.60 N";

  // `window`: the handle of the application's main window, handed to the engine unless
  // Unattended.
  explicit TZipwright(TComponent* owner = nullptr, void* window = nullptr);
  ~TZipwright() override;

  // --- properties, in declaration order ---
  bool Verbose() const { return verbose_; }
  void SetVerbose(bool value) { verbose_ = value; }
  // Also reports the engine load (message 10601).
  bool Trace() const { return trace_; }
  void SetTrace(bool value) { trace_ = value; }
  int AddCompLevel() const { return add_comp_level_; }
  void SetAddCompLevel(int value) { add_comp_level_ = value; }
  const AddOpts& AddOptions() const { return add_options_; }
  void SetAddOptions(AddOpts value) { add_options_ = std::move(value); }
  const std::string& ExtrBaseDir() const { return extr_base_dir_; }
  void SetExtrBaseDir(std::string value) { extr_base_dir_ = std::move(value); }
  const ExtrOpts& ExtrOptions() const { return extr_options_; }
  void SetExtrOptions(ExtrOpts value) { extr_options_ = std::move(value); }
  const SFXOpts& SFXOptions() const { return sfx_options_; }
  void SetSFXOptions(SFXOpts value) { sfx_options_ = std::move(value); }
  // The file specs to add; the caller appends to it and AddFiles empties it.
  std::vector<std::string>& FSpecArgs() { return fspec_args_; }
  void SetFSpecArgs(const std::vector<std::string>& value) { fspec_args_ = value; }
  // No message boxes or dialogs, and no window handle for the engine.
  bool Unattended() const { return unattended_; }
  void SetUnattended(bool value) { unattended_ = value; }
  const std::string& ZipFileName() const { return zip_file_name_; }
  // Runs ReadDirectory (unless the component is being designed).
  void SetZipFileName(std::string value);
  const std::string& Password() const { return password_; }
  // At most 255 characters are kept.
  void SetPassword(const std::string& value) { password_ = value.substr(0, 255); }
  const std::string& SFXPath() const { return sfx_path_; }
  void SetSFXPath(std::string value) { sfx_path_ = std::move(value); }
  // The folder of libzipeng.so; one trailing "/" is dropped.
  const std::string& DLLDirectory() const { return dll_directory_; }
  void SetDLLDirectory(std::string value);
  OvrOpts SFXOverWriteMode() const { return sfx_overwrite_mode_; }
  void SetSFXOverWriteMode(OvrOpts value) { sfx_overwrite_mode_ = value; }
  const std::string& SFXCaption() const { return sfx_caption_; }
  void SetSFXCaption(std::string value) { sfx_caption_ = std::move(value); }
  const std::string& SFXDefaultDir() const { return sfx_default_dir_; }
  void SetSFXDefaultDir(std::string value) { sfx_default_dir_ = std::move(value); }
  const std::string& SFXCommandLine() const { return sfx_command_line_; }
  void SetSFXCommandLine(std::string value) { sfx_command_line_ = std::move(value); }
  const std::string& SFXMessage() const { return sfx_message_; }
  void SetSFXMessage(std::string value) { sfx_message_ = std::move(value); }
  // Where the engine makes its temporary archive (empty: beside the archive).
  const std::string& TempDir() const { return temp_dir_; }
  void SetTempDir(std::string value) { temp_dir_ = std::move(value); }
  int KeepFreeOnDisk1() const { return keep_free_on_disk1_; }
  void SetKeepFreeOnDisk1(int value) { keep_free_on_disk1_ = value; }
  int MaxVolumeSize() const { return max_volume_size_; }
  void SetMaxVolumeSize(int value) { max_volume_size_ = value; }
  int MinFreeVolumeSize() const { return min_free_volume_size_; }
  void SetMinFreeVolumeSize(int value) { min_free_volume_size_ = value; }
  bool ConfirmErase() const { return confirm_erase_; }
  void SetConfirmErase(bool value) { confirm_erase_ = value; }
  CodePageOpts CodePage() const { return code_page_; }
  void SetCodePage(CodePageOpts value) { code_page_ = value; }
  DeleteOpts HowToDelete() const { return how_to_delete_; }
  void SetHowToDelete(DeleteOpts value) { how_to_delete_ = value; }
  std::string VersionInfo() const { return kVersionInfo; }
  void SetVersionInfo(const std::string&) {}  // accepted and ignored
  // The saved icon image; assigning copies.
  const std::string& SFXIcon() const { return sfx_icon_; }
  void SetSFXIcon(const std::string& value) { sfx_icon_ = value; }
  const AddStoreExts& AddStoreSuffixes() const { return add_store_suffixes_; }
  void SetAddStoreSuffixes(AddStoreExts value) { add_store_suffixes_ = std::move(value); }
  // How often a password may be asked; values above 15 are kept as 15.
  uint32_t PasswordReqCount() const { return password_req_count_; }
  void SetPasswordReqCount(uint32_t value) { password_req_count_ = value > 15 ? 15 : value; }
  std::vector<std::string>& FSpecArgsExcl() { return fspec_args_excl_; }
  void SetFSpecArgsExcl(const std::vector<std::string>& value) { fspec_args_excl_ = value; }
  // Keep entries without a file name part (folders) in the entry list.
  bool UseDirOnlyEntries() const { return use_dir_only_entries_; }
  void SetUseDirOnlyEntries(bool value) { use_dir_only_entries_ = value; }
  // The base folder of relative specs; a trailing "/" is added when missing.
  const std::string& RootDir() const { return root_dir_; }
  void SetRootDir(std::string value);

  // --- events ---
  TNotifyEvent OnDirUpdate;
  TProgressEvent OnProgress;
  TMessageEvent OnMessage;
  TSetNewNameEvent OnSetNewName;
  TNewNameEvent OnNewName;
  TCRC32ErrorEvent OnCRC32Error;
  TPasswordErrorEvent OnPasswordError;
  TExtractOverwriteEvent OnExtractOverwrite;
  TExtractSkippedEvent OnExtractSkipped;
  TFileCommentEvent OnFileComment;

  // --- operations ---
  // Loads the engine and resolves its entry points; reports failures, never raises. Nothing
  // happens when it is already loaded.
  void LoadZipEngine();
  // Frees the engine if it is loaded; safe to call at any time.
  void UnloadZipEngine();
  // The engine's version (loading it for this call when needed), 0 when it cannot be had.
  int ZipEngineVersion();
  // Adds what FSpecArgs names (less FSpecArgsExcl) to ZipFileName; afterwards AddedCount holds
  // the number of files the engine processed. Never raises.
  void AddFiles();
  // Fills the entry list from the central directory of ZipFileName.
  void ReadDirectory();
  // Shows message `number` (the program's text or the general fallback) followed by `extra`.
  void ShowZipMessage(int number, const std::string& extra = "");

  // --- run-time state ---
  bool EngineLoaded() const { return engine_.Loaded(); }
  const std::string& EnginePath() const { return engine_.Path(); }
  int AddedCount() const { return added_count_; }
  int LastErrorCode() const { return last_error_code_; }
  int LastFullErrorCode() const { return last_full_error_code_; }
  const std::string& LastMessage() const { return last_message_; }
  bool Busy() const { return busy_; }
  bool Cancel() const { return cancel_; }
  // Set while the engine works, the next callback tells it to stop.
  void SetCancel(bool value) { cancel_ = value; }
  // The entries of ZipFileName, in directory order.
  const std::vector<ZipDirEntry>& ZipContents() const { return entries_; }
  int Count() const { return static_cast<int>(entries_.size()); }

  // Facts about the archive kept by ReadDirectory.
  int64_t ZipFileSize() const { return zip_file_size_; }
  int64_t ZipEndOffset() const { return zip_end_offset_; }
  // The offset of the first local header: 0 when the archive is empty or missing.
  int64_t ZipFirstLocalOffset() const { return zip_first_local_; }
  const std::string& ZipComment() const { return zip_comment_; }
  int EndRecordDisk() const { return end_record_disk_; }
  bool MultiDisk() const { return multi_disk_; }
  bool DataInFront() const { return data_in_front_; }
  int SkippedEntries() const { return skipped_entries_; }
  // The mount point of the archive's folder, and that volume's label.
  const std::string& DriveRoot() const { return drive_root_; }
  const std::string& VolumeName() const { return volume_name_; }
  bool Spanned() const { return spanned_; }

  // The callback's work for one record (ZCallBck.cpp); exceptions of handlers pass through.
  void HandleCallback(ZipCallbackRecord& record);
  // What the callback answers: -1 when Cancel is set, else 0.
  int32_t CallbackAnswer() const { return cancel_ ? kZipCallbackAbort : 0; }
  // Keeps an error that left a handler during a callback, to be reported when the engine is back.
  void KeepCallbackError(std::exception_ptr error);

 private:
  bool Has(AddOptsEnum option) const { return add_options_.count(option) != 0; }
  std::unique_ptr<TZipCallRecord> BuildCallRecord(int version);
  void RunEngine();
  void ReportZipError(const EZipwright& error);
  void ReadDirectoryFrom(int fd);
  void CheckDrive();
  void BusyCursor(bool on);
  void ResetArchiveFacts();
  // Password requests of the callback (ZCallBck.cpp).
  void PasswordRequest(ZipCallbackRecord& record, const std::string& text);
  std::string AskAddPassword();
  std::string AskExtractPassword();

  bool verbose_ = false;
  bool trace_ = false;
  int add_comp_level_ = 9;
  AddOpts add_options_;
  std::string extr_base_dir_;
  ExtrOpts extr_options_;
  SFXOpts sfx_options_{SFXCheckSize};
  std::vector<std::string> fspec_args_;
  bool unattended_ = false;
  std::string zip_file_name_;
  std::string password_;
  std::string sfx_path_ = "ZipStub.bin";
  std::string dll_directory_;
  OvrOpts sfx_overwrite_mode_ = OvrConfirm;
  std::string sfx_caption_ = "Self-extracting Archive";
  std::string sfx_default_dir_;
  std::string sfx_command_line_;
  std::string sfx_message_;
  std::string temp_dir_;
  int keep_free_on_disk1_ = 0;
  int max_volume_size_ = 0;
  int min_free_volume_size_ = 65536;
  bool confirm_erase_ = true;
  CodePageOpts code_page_ = cpAuto;
  DeleteOpts how_to_delete_ = htdAllowUndo;
  std::string sfx_icon_;
  AddStoreExts add_store_suffixes_;
  uint32_t password_req_count_ = 1;
  std::vector<std::string> fspec_args_excl_;
  bool use_dir_only_entries_ = false;
  std::string root_dir_;

  void* window_;
  platform::TDynLib engine_;
  GetZipEngVersionFunc get_version_ = nullptr;
  ZipEngExecFunc exec_ = nullptr;
  int added_count_ = 0;
  int last_error_code_ = 0;
  int last_full_error_code_ = 0;
  std::string last_message_;
  bool busy_ = false;
  bool cancel_ = false;
  int64_t total_size_ = 0;
  TPasswordButton password_dialog_result_ = pbOK;
  TMemoryStream buffer_;
  std::exception_ptr callback_error_;
  int busy_cursor_count_ = 0;
  platform::TCursor saved_cursor_{};

  std::vector<ZipDirEntry> entries_;
  int64_t zip_file_size_ = 0;
  int64_t zip_end_offset_ = 0;
  int64_t zip_first_local_ = 0;
  std::string zip_comment_;
  int end_record_disk_ = 0;
  bool multi_disk_ = false;
  bool data_in_front_ = false;
  int skipped_entries_ = 0;
  std::string drive_root_;
  std::string volume_name_;
  bool spanned_ = false;
};

}  // namespace tavrik
