// Facts about the machine and the system the program runs on, as an error report lists them.
// Each answers "" or 0 when the system will not tell.
#pragma once

#include <cstdint>
#include <string>

namespace tavrik::platform {

std::string ComputerName();
std::string UserName();
// Physical memory, and the part of it available to programs, in bytes.
uint64_t TotalMemory();
uint64_t AvailableMemory();
// Size and free space of the file system that holds `path`, in bytes.
struct TDiskSpace {
  uint64_t total = 0;
  uint64_t free = 0;
};
TDiskSpace DiskSpace(const std::string& path);
// "Debian GNU/Linux 12 (bookworm)": the distribution's name, else the kernel's ("Linux").
std::string OsName();
// The kernel release ("6.1.0-18-amd64") and its build text ("#1 SMP PREEMPT_DYNAMIC ...").
std::string OsRelease();
std::string OsBuildText();
// The language of the program's locale ("English" for the C locale, whose texts are English).
std::string LanguageName();

}  // namespace tavrik::platform
