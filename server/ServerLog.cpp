#include "server/ServerLog.h"

#include <sys/time.h>

#include <ctime>

namespace tavrik::server {

TServerLog::TServerLog() : file_(stderr) {}

TServerLog::TServerLog(const std::string& file_name) : file_(std::fopen(file_name.c_str(), "a")), own_file_(true) {
  if (!file_) throw EServerLog("Cannot open log file " + file_name);
}

TServerLog::TServerLog(TSink sink) : sink_(std::move(sink)) {}

TServerLog::~TServerLog() {
  if (own_file_ && file_) std::fclose(file_);
}

void TServerLog::Line(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (sink_) {
    sink_(text);
    return;
  }
  timeval now{};
  ::gettimeofday(&now, nullptr);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  char stamp[32];
  size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(stamp + n, sizeof stamp - n, ".%03d ", static_cast<int>(now.tv_usec / 1000));
  std::fputs(stamp, file_);
  std::fputs(text.c_str(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
}

}  // namespace tavrik::server
