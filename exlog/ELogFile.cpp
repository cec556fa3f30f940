#include "exlog/ELogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/StrUtils.h"
#include "exlog/EConsts.h"

namespace tavrik::exlog {

namespace {

std::string EndsWithSlash(const std::string& path) { return !path.empty() && path.back() != '/' ? path + "/" : path; }

[[noreturn]] void Fail(const std::string& what, const std::string& file) {
  throw ERavlogLogError(what + " " + file + ": " + std::strerror(errno));
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string ReadAll(int fd) {
  std::string text;
  char piece[65536];
  ssize_t n;
  while ((n = ::pread(fd, piece, sizeof piece, static_cast<off_t>(text.size()))) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return text;
    text.append(piece, static_cast<size_t>(n));
  }
  return text;
}

// Opens the log file locked. A writer that renamed a new file into place while we waited left
// us holding the lock of the old one: then the new file is opened and locked instead.
int OpenLocked(const std::string& file) {
  for (;;) {
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd == -1) Fail("Cannot open", file);
    while (::flock(fd, LOCK_EX) == -1) {
      if (errno != EINTR) {
        ::close(fd);
        Fail("Cannot lock", file);
      }
    }
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::stat(file.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev)
      return fd;
    ::close(fd);
  }
}

}  // namespace

std::string LogFileName(const std::string& module_file, const std::string& output_path) {
  if (output_path.size() >= 4 && SameText(output_path.substr(output_path.size() - 4), kLogFileExtension))
    return output_path;
  std::string name = module_file.substr(module_file.rfind('/') + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  name += kLogFileExtension;
  if (!output_path.empty()) return EndsWithSlash(output_path) + name;
  size_t slash = module_file.rfind('/');
  return slash == std::string::npos ? name : module_file.substr(0, slash + 1) + name;
}

std::string NormalizedSteps(const std::string& typed) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < typed.size(); ++i) {
    char c = typed[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < typed.size() && typed[i + 1] == '\n') ++i;
      lines.push_back(TrimRight(line));
      line.clear();
    } else {
      line += static_cast<unsigned char>(c) < 32 ? ' ' : c;
    }
  }
  lines.push_back(TrimRight(line));
  std::vector<std::string> kept;
  for (const std::string& l : lines)
    if (!l.empty() || (!kept.empty() && !kept.back().empty())) kept.push_back(l);
  while (!kept.empty() && kept.back().empty()) kept.pop_back();
  std::string out;
  for (size_t i = 0; i < kept.size(); ++i) out += (i ? "\r\n" : "") + kept[i];
  return out;
}

std::string ReportWithSteps(const std::string& report, const std::string& steps, const std::string& request_title) {
  const std::string normalized = NormalizedSteps(steps);
  if (normalized.empty()) return report;
  return report + "\r\n" + request_title + ":\r\n" + std::string(40, '-') + "\r\n" + normalized;
}

std::vector<std::string> TLogFile::Split(const std::string& text) {
  std::vector<std::string> reports;
  const std::string heading = kReportHeading;
  const std::string separator = kReportSeparator;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = text.compare(pos, heading.size(), heading) == 0 ? pos : std::string::npos;
    for (size_t at = pos; start == std::string::npos; at += 1) {
      at = text.find(heading, at);
      if (at == std::string::npos) return reports;
      if (text[at - 1] == '\n' || text[at - 1] == '\r') start = at;
    }
    size_t end = text.find(separator, start);
    end = end == std::string::npos ? text.size() : end + separator.size();
    reports.push_back(text.substr(start, end - start));
    pos = end;
  }
  return reports;
}

void TLogFile::Append(const std::string& report, int max_reports) {
  if (max_reports < 1) max_reports = 1;
  const int fd = OpenLocked(file_name_);
  std::vector<std::string> reports = Split(ReadAll(fd));
  reports.push_back(report + kReportSeparator);
  size_t keep = static_cast<size_t>(max_reports);
  size_t first = reports.size() > keep ? reports.size() - keep : 0;
  std::string text;
  for (size_t i = first; i < reports.size(); ++i) text += reports[i];

  struct stat held {};
  mode_t mode = ::fstat(fd, &held) == 0 ? (held.st_mode & 07777) : 0644;
  std::string temp = file_name_ + ".XXXXXX";
  int out = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out == -1) {
    ::close(fd);
    Fail("Cannot write", file_name_);
  }
  bool written = ::fchmod(out, mode) == 0 && WriteAll(out, text) && ::fsync(out) == 0;
  int saved = errno;
  written = ::close(out) == 0 && written;
  if (!written || ::rename(temp.c_str(), file_name_.c_str()) != 0) {
    if (written) saved = errno;
    ::unlink(temp.c_str());
    ::close(fd);
    errno = saved;
    Fail("Cannot write", file_name_);
  }
  ::close(fd);  // the lock goes with the old file's last descriptor
}

std::vector<std::string> TLogFile::Reports() const {
  std::ifstream in(file_name_, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return Split(text.str());
}

}  // namespace tavrik::exlog
