// The modules loaded into the process (the program and its shared libraries), as the modules
// table of a report lists them, and the module that holds a given address.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrik::exlog {

struct TModuleEntry {
  uintptr_t handle = 0;  // the address the module is loaded at
  std::string name;      // file name
  std::string description;
  std::string version;
  uint64_t size = 0;  // bytes of memory the module's image spans
  std::string path;   // folder, without a trailing separator
  std::string file;   // the whole file name
};

// The version information a module file carries in its "VERSIONINFO" section: lines
// "FileDescription=..." and "FileVersion=..." (ravlog-pack writes them).
struct TVersionInfo {
  std::string description;
  std::string version;
};
std::optional<TVersionInfo> ReadVersionInfo(const std::string& file);
std::string VersionInfoText(const TVersionInfo& info);

class TRavlogModulesList {
 public:
  // Every module loaded now, the program first.
  void Build();
  const std::vector<TModuleEntry>& Entries() const { return entries_; }

 private:
  std::vector<TModuleEntry> entries_;
};

// The whole file name of the module holding `address` (the program's own for an address outside
// every module); "" when even that is unknown.
std::string ModuleFileOf(uintptr_t address);

}  // namespace tavrik::exlog
