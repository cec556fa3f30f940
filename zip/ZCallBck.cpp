#include "zip/ZCallBck.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "core/StrUtils.h"
#include "platform/MessagePump.h"
#include "zip/ZipWrt.h"

namespace tavrik {

namespace {

std::set<void*>& Live() {
  static std::set<void*> live;
  return live;
}

constexpr size_t kMaxAnswerText = kZipCallbackTextSize - 1;
// The largest buffer an engine may ask for; a request for more is refused, not attempted.
constexpr intptr_t kMaxBufferRequest = intptr_t{256} << 20;

// Writes at most `limit` characters of `text` and a terminating zero into the record's text.
void PutText(ZipCallbackRecord& record, const std::string& text, size_t limit) {
  size_t n = std::min(text.size(), limit);
  std::memcpy(record.text, text.data(), n);
  record.text[n] = '\0';
}

}  // namespace

void RegisterZipwright(TZipwright* component) { Live().insert(component); }
void UnregisterZipwright(TZipwright* component) { Live().erase(component); }

std::string CallbackText(const ZipCallbackRecord& record) {
  return TrimRight(std::string(record.text, strnlen(record.text, kZipCallbackTextSize)));
}

int32_t ZIPENG_CALL ZipCallbackEntry(ZipCallbackRecord* record) noexcept {
  if (!record || Live().count(record->caller) == 0) return kZipCallbackAbort;
  auto* component = static_cast<TZipwright*>(record->caller);
  try {
    component->HandleCallback(*record);
    platform::ProcessMessages();
  } catch (...) {
    component->KeepCallbackError(std::current_exception());
  }
  return component->CallbackAnswer();
}

void TZipwright::KeepCallbackError(std::exception_ptr error) {
  if (!callback_error_) callback_error_ = error;
  cancel_ = true;
}

void TZipwright::HandleCallback(ZipCallbackRecord& r) {
  const std::string text = CallbackText(r);
  const int64_t size = r.size;
  switch (r.action) {
    case zcaNewFile:
      if (OnProgress) OnProgress(this, ProgrNewFile, text, size);
      break;
    case zcaProgress:
      if (OnProgress) OnProgress(this, ProgrUpdate, "", size);
      break;
    case zcaEndOfBatch:
      if (OnProgress) OnProgress(this, ProgrEndOfBatch, "", 0);
      break;
    case zcaMessage:
      last_message_ = text;
      if (r.error_code != 0) {
        last_error_code_ = r.error_code & 0xFF;
        last_full_error_code_ = r.error_code;
      }
      if (OnMessage) OnMessage(this, r.error_code, text);
      break;
    case zcaTotalFiles:
      if (OnProgress) OnProgress(this, ProgrTotalFiles, "", size);
      break;
    case zcaTotalSize:
      total_size_ = size;
      if (OnProgress) OnProgress(this, ProgrTotalSize, "", size);
      break;
    case zcaNewName:
      if (OnSetNewName) {
        std::string name = text;
        bool changed = false;
        OnSetNewName(this, name, changed);
        if (changed) PutText(r, name, kMaxAnswerText);
        r.error_code = changed ? 1 : 0;
      }
      break;
    case zcaPassword:
      PasswordRequest(r, text);
      break;
    case zcaCrcError: {
      bool do_extract = true;
      if (OnCRC32Error) {
        OnCRC32Error(this, text, static_cast<uint32_t>(r.error_code), static_cast<uint32_t>(r.size), do_extract);
        r.error_code = do_extract ? 1 : 0;
      } else {
        r.error_code = 2;
      }
      break;
    }
    case zcaOverwrite:
      if (OnExtractOverwrite) {
        bool do_overwrite = (r.size & 0xFF) != 0;
        OnExtractOverwrite(this, text, (r.error_code >> 16 & 1) != 0, do_overwrite, r.error_code & 0xFFFF);
        r.size = do_overwrite ? 1 : 0;
      }
      break;
    case zcaSkipped:
      if (r.error_code != 0) {
        last_error_code_ = r.error_code & 0xFF;
        last_full_error_code_ = r.error_code;
      }
      if (OnExtractSkipped) OnExtractSkipped(this, text, static_cast<int>(r.size & 0xFF) - 1, r.error_code);
      break;
    case zcaFileComment:
      if (OnFileComment) {
        std::string comment(1, r.text[256]);
        bool changed = false;
        OnFileComment(this, text, comment, changed);
        if (changed && !comment.empty())
          PutText(r, comment, kMaxAnswerText);
        else
          r.text[0] = '\0';
        r.error_code = changed ? 1 : 0;
        r.size = static_cast<intptr_t>(std::min(comment.size(), kMaxAnswerText));
      }
      break;
    case zcaBufferRequest:
      try {
        if (r.size < 0 || r.size > kMaxBufferRequest) throw std::length_error("buffer size out of range");
        buffer_.SetSize(r.size);
        if (r.error_code != 1) r.size = reinterpret_cast<intptr_t>(buffer_.Memory());
      } catch (const std::exception&) {
        r.error_code = 1;
        r.size = 0;
      }
      break;
    default:
      break;
  }
}

void TZipwright::PasswordRequest(ZipCallbackRecord& r, const std::string& text) {
  uint32_t repeat_count = static_cast<uint32_t>(r.size);
  TPasswordButton action = pbOK;
  std::string new_password;
  if (OnPasswordError) {
    password_dialog_result_ = pbOK;
    OnPasswordError(this, r.zip_side != 0, new_password, text, repeat_count, action);
    if (action != pbOK) new_password.clear();
    if (action == pbCancelAll || action == pbAbort) password_dialog_result_ = action;
  } else {
    new_password = (r.error_code & 1) != 0 ? AskAddPassword() : AskExtractPassword();
  }
  if (!new_password.empty()) {
    PutText(r, new_password, kZipMaxAnswerPassword);
    r.error_code = 1;
  } else {
    repeat_count = 0;
    r.error_code = 0;
  }
  r.size = std::min<uint32_t>(repeat_count, 15);
  if (password_dialog_result_ == pbCancelAll) r.action = 0;
  if (password_dialog_result_ == pbAbort) cancel_ = true;
}

std::string TZipwright::AskAddPassword() {
  if (unattended_) {
    ShowZipMessage(zmPasswordUnattendedAdd);
    return {};
  }
  TPasswordDlg dialog(pbbOK | pbbCancel);
  const std::string caption = ZipMessageText(zmPwdCaption, ZipGeneralFallback(zmPwdCaption));
  std::string first = dialog.ShowPwdDlg(caption, ZipMessageText(zmPwdPrompt, ""));
  password_dialog_result_ = dialog.Result();
  if (first.empty()) return {};
  std::string second = dialog.ShowPwdDlg(caption, ZipMessageText(zmPwdConfirmPrompt, ""));
  password_dialog_result_ = dialog.Result();
  if (second.empty()) return {};
  if (first != second) {
    ShowZipMessage(zmPasswordsDiffer);
    return {};
  }
  return first;
}

std::string TZipwright::AskExtractPassword() {
  if (unattended_) {
    ShowZipMessage(zmPasswordUnattendedExtract);
    return {};
  }
  TPasswordDlg dialog(pbbOK | pbbCancel | pbbCancelAll);
  std::string answer =
      dialog.ShowPwdDlg(ZipMessageText(zmPwdCaption, ZipGeneralFallback(zmPwdCaption)), ZipMessageText(zmPwdPrompt, ""));
  password_dialog_result_ = dialog.Result();
  return answer;
}

}  // namespace tavrik
