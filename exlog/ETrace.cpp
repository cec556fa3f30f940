#include "exlog/ETrace.h"

#include <ctime>
#include <fstream>

#include "core/StrUtils.h"

namespace tavrik::exlog {

void TTrace::Configure(const std::vector<std::string>& args, std::string file_name) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string last = args.empty() ? std::string() : UpperCase(args.back());
  enabled_ = last.find("DEBUG") != std::string::npos;
  save_each_line_ = enabled_ && last.find("SAVE") != std::string::npos;
  file_name_ = std::move(file_name);
}

void TTrace::Line(const std::string& routine, const std::string& arguments) {
  if (!enabled_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%d/%m/%y %H:%M:%S", &local);
  lines_.push_back(std::string(stamp) + "  " + std::string(static_cast<size_t>(2 * depth_.load()), ' ') + routine + "(" +
                   arguments + ")");
  if (save_each_line_) SaveLocked();
}

void TTrace::Save() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (enabled_) SaveLocked();
}

void TTrace::SaveLocked() {
  std::ofstream out(file_name_, std::ios::binary | std::ios::trunc);
  for (const std::string& line : lines_) out << line << "\r\n";
}

}  // namespace tavrik::exlog
