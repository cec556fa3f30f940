#include "platform/SystemInfo.h"

#include <langinfo.h>
#include <pwd.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <fstream>

namespace tavrik::platform {

std::string ComputerName() {
  char name[HOST_NAME_MAX + 1] = {};
  return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

std::string UserName() {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) return found->pw_name;
  return std::string();
}

uint64_t TotalMemory() {
  struct sysinfo info {};
  return ::sysinfo(&info) == 0 ? static_cast<uint64_t>(info.totalram) * info.mem_unit : 0;
}

uint64_t AvailableMemory() {
  // Free memory alone leaves out the caches the kernel gives back on demand.
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  uint64_t kilobytes = 0;
  while (meminfo >> key >> kilobytes) {
    if (key == "MemAvailable:") return kilobytes * 1024;
    meminfo.ignore(64, '\n');
  }
  struct sysinfo info {};
  return ::sysinfo(&info) == 0 ? static_cast<uint64_t>(info.freeram) * info.mem_unit : 0;
}

TDiskSpace DiskSpace(const std::string& path) {
  struct statvfs fs {};
  if (::statvfs(path.c_str(), &fs) != 0) return {};
  return {static_cast<uint64_t>(fs.f_blocks) * fs.f_frsize, static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize};
}

std::string OsName() {
  std::ifstream release("/etc/os-release");
  std::string line;
  while (std::getline(release, line)) {
    if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
    std::string value = line.substr(12);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    if (!value.empty()) return value;
  }
  utsname u{};
  return ::uname(&u) == 0 ? std::string(u.sysname) : std::string();
}

std::string OsRelease() {
  utsname u{};
  return ::uname(&u) == 0 ? std::string(u.release) : std::string();
}

std::string OsBuildText() {
  utsname u{};
  return ::uname(&u) == 0 ? std::string(u.version) : std::string();
}

std::string LanguageName() {
  const char* language = ::nl_langinfo(_NL_IDENTIFICATION_LANGUAGE);
  return language && *language ? std::string(language) : std::string("English");
}

}  // namespace tavrik::platform
