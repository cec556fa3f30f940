// The server's log: one line per event, each prefixed with a local timestamp
// ("2024-05-01 12:00:00.123 "), written whole under a lock so lines of different sessions never
// mix. Goes to standard error, a file, or (in tests) a callback that sees the text without the
// timestamp.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

#include "core/Exception.h"
#include "core/StrUtils.h"  // Printable, for the lines of the log

namespace tavrik::server {

TAVRIK_EXCEPTION(EServerLog, Exception);

class TServerLog {
 public:
  using TSink = std::function<void(const std::string& line)>;

  TServerLog();  // standard error
  // Appends to `file_name`; raises EServerLog when it cannot be opened.
  explicit TServerLog(const std::string& file_name);
  explicit TServerLog(TSink sink);
  ~TServerLog();
  TServerLog(const TServerLog&) = delete;
  TServerLog& operator=(const TServerLog&) = delete;

  void SetVerbose(bool verbose) { verbose_ = verbose; }
  bool Verbose() const { return verbose_; }

  void Line(const std::string& text);
  // Only with Verbose on: the per-command lines.
  void Detail(const std::string& text) {
    if (verbose_) Line(text);
  }

 private:
  std::mutex mutex_;
  FILE* file_ = nullptr;
  bool own_file_ = false;
  TSink sink_;
  bool verbose_ = false;
};

}  // namespace tavrik::server
