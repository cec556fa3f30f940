#include "exlog/EModules.h"

#include <link.h>
#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdlib>

#include "core/StrUtils.h"
#include "exlog/ESettingsBlock.h"
#include "platform/Paths.h"

namespace tavrik::exlog {

namespace {

struct LoadedModule {
  uintptr_t low = 0;
  uintptr_t high = 0;
  std::string file;
};

std::vector<LoadedModule> LoadedModules() {
  std::vector<LoadedModule> modules;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        LoadedModule m;
        m.low = UINTPTR_MAX;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& ph = info->dlpi_phdr[i];
          if (ph.p_type != PT_LOAD) continue;
          uintptr_t start = info->dlpi_addr + ph.p_vaddr;
          m.low = std::min(m.low, start);
          m.high = std::max<uintptr_t>(m.high, start + ph.p_memsz);
        }
        if (m.low == UINTPTR_MAX) return 0;
        // The program itself comes without a name; the kernel's virtual library has no file.
        m.file = info->dlpi_name && *info->dlpi_name ? info->dlpi_name : std::string();
        if (m.file.empty() && static_cast<std::vector<LoadedModule>*>(data)->empty())
          m.file = platform::ExecutablePath();
        if (!m.file.empty()) static_cast<std::vector<LoadedModule>*>(data)->push_back(std::move(m));
        return 0;
      },
      &modules);
  return modules;
}

std::string RealFile(const std::string& file) {
  char buf[PATH_MAX];
  return ::realpath(file.c_str(), buf) ? std::string(buf) : file;
}

std::string FileNameOf(const std::string& file) {
  size_t slash = file.rfind('/');
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

std::string FolderOf(const std::string& file) {
  size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

// "libz.so.1.2.13" -> "1.2.13", "libdw-0.188.so" -> "0.188": a shared library's file name
// carries its version.
std::string VersionFromName(const std::string& name) {
  size_t so = name.find(".so.");
  if (so != std::string::npos) return name.substr(so + 4);
  size_t dash = name.rfind('-');
  if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0 && dash != std::string::npos &&
      std::isdigit(static_cast<unsigned char>(name[dash + 1])))
    return name.substr(dash + 1, name.size() - 3 - dash - 1);
  return std::string();
}

}  // namespace

std::optional<TVersionInfo> ReadVersionInfo(const std::string& file) {
  std::optional<std::string> text = ReadModuleResource(file, "VERSIONINFO");
  if (!text) return std::nullopt;
  TVersionInfo info;
  size_t start = 0;
  while (start < text->size()) {
    size_t end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    std::string line = TrimRight(text->substr(start, end - start));
    start = end + 1;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (line.compare(0, eq, "FileDescription") == 0) info.description = line.substr(eq + 1);
    if (line.compare(0, eq, "FileVersion") == 0) info.version = line.substr(eq + 1);
  }
  return info;
}

std::string VersionInfoText(const TVersionInfo& info) {
  return "FileDescription=" + info.description + "\r\nFileVersion=" + info.version + "\r\n";
}

void TRavlogModulesList::Build() {
  entries_.clear();
  for (const LoadedModule& m : LoadedModules()) {
    TModuleEntry e;
    e.handle = m.low;
    e.file = RealFile(m.file);
    e.name = FileNameOf(e.file);
    e.path = FolderOf(e.file);
    e.size = m.high - m.low;
    if (std::optional<TVersionInfo> info = ReadVersionInfo(e.file)) {
      e.description = info->description;
      e.version = info->version;
    } else {
      e.version = VersionFromName(e.name);
    }
    entries_.push_back(std::move(e));
  }
}

std::string ModuleFileOf(uintptr_t address) {
  std::vector<LoadedModule> modules = LoadedModules();
  for (const LoadedModule& m : modules)
    if (address >= m.low && address < m.high) return RealFile(m.file);
  return modules.empty() ? platform::ExecutablePath() : RealFile(modules.front().file);
}

}  // namespace tavrik::exlog
