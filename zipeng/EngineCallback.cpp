#include "zipeng/EngineCallback.h"

#include <algorithm>
#include <cstring>

namespace tavrik::zipeng {

namespace {

// The answer text of the record, up to its first zero byte.
std::string AnswerText(const ZipCallbackRecord& record) {
  return std::string(record.text, strnlen(record.text, sizeof record.text));
}

}  // namespace

TEngineCallback::TEngineCallback(const ZipCallCommon& call, int32_t engine_version) : callback_(call.callback) {
  record_.window = call.window;
  record_.caller = call.caller;
  record_.version = engine_version;
  record_.zip_side = 1;
}

void TEngineCallback::Call(int32_t action, int32_t error_code, int64_t size, const std::string& text) {
  if (!callback_) return;
  record_.action = action;
  record_.error_code = error_code;
  record_.size = static_cast<intptr_t>(size);
  std::memset(record_.text, 0, sizeof record_.text);
  std::memcpy(record_.text, text.data(), std::min(text.size(), sizeof record_.text - 1));
  if (callback_(&record_) == kZipCallbackAbort) throw EZipAborted("Stopped at the caller's request");
}

void TEngineCallback::TotalFiles(int64_t count) { Call(zcaTotalFiles, 0, count, ""); }
void TEngineCallback::TotalSize(int64_t bytes) { Call(zcaTotalSize, 0, bytes, ""); }
void TEngineCallback::NewFile(const std::string& name, int64_t size) { Call(zcaNewFile, 0, size, name); }
void TEngineCallback::Progress(int64_t bytes) { Call(zcaProgress, 0, bytes, ""); }
void TEngineCallback::EndOfBatch() { Call(zcaEndOfBatch, 0, 0, ""); }
void TEngineCallback::Message(int32_t code, const std::string& text) { Call(zcaMessage, code, 0, text); }

std::optional<std::string> TEngineCallback::NewName(const std::string& name) {
  Call(zcaNewName, 0, 0, name);
  if (record_.error_code != 1) return std::nullopt;
  return AnswerText(record_);
}

std::optional<std::string> TEngineCallback::FileComment(const std::string& name) {
  Call(zcaFileComment, 0, 0, name);
  if (record_.error_code != 1) return std::nullopt;
  return AnswerText(record_);
}

std::string TEngineCallback::AskPassword(const std::string& for_file) {
  Call(zcaPassword, 1, 1, for_file);  // bit 0: for adding; asked once
  if (record_.error_code != 1) return {};
  return AnswerText(record_).substr(0, kZipMaxAnswerPassword);
}

}  // namespace tavrik::zipeng
