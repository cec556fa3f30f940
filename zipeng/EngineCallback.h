// The engine's side of the callback: each report or question becomes one call of the component's
// callback with a record filled for it. An answer of -1 means the component wants the engine to
// stop: the call then raises EZipAborted, and the run ends with the archive as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/Exception.h"
#include "zip/ZIPENG.h"

namespace tavrik::zipeng {

TAVRIK_EXCEPTION(EZipAborted, Exception);

class TEngineCallback {
 public:
  TEngineCallback(const ZipCallCommon& call, int32_t engine_version);

  void TotalFiles(int64_t count);
  void TotalSize(int64_t bytes);
  void NewFile(const std::string& name, int64_t size);
  void Progress(int64_t bytes);
  void EndOfBatch();
  void Message(int32_t code, const std::string& text);
  // The name the component gives the entry instead of `name`, if it changes it.
  std::optional<std::string> NewName(const std::string& name);
  // The comment the component gives the entry, if any.
  std::optional<std::string> FileComment(const std::string& name);
  // A password for adding, asked of the component; empty when it gives none.
  std::string AskPassword(const std::string& for_file);

 private:
  // Calls back with the record as filled; raises EZipAborted on -1.
  void Call(int32_t action, int32_t error_code, int64_t size, const std::string& text);

  ZipCallbackFunc callback_;
  ZipCallbackRecord record_{};
};

}  // namespace tavrik::zipeng
