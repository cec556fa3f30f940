#include "platform/DynLib.h"

#include <dlfcn.h>

#include "core/StrUtils.h"
#include "platform/Paths.h"

namespace tavrik::platform {

namespace {
std::vector<std::string>& SearchDirs() {
  static std::vector<std::string> dirs;
  static bool initialised = false;
  if (!initialised) {
    dirs = {ExecutableDir()};
    initialised = true;
  }
  return dirs;
}
}  // namespace

std::string SharedLibraryFileName(const std::string& dll_name) {
  std::string base = LowerCase(dll_name);
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".dll") == 0) base.resize(base.size() - 4);
  return "lib" + base + ".so";
}

std::vector<std::string> LibrarySearchDirs() { return SearchDirs(); }
void SetLibrarySearchDirs(std::vector<std::string> dirs) { SearchDirs() = std::move(dirs); }

bool TDynLib::Load(const std::string& dll_name) {
  Unload();
  std::string file = SharedLibraryFileName(dll_name);
  std::vector<std::string> candidates;
  for (const auto& dir : SearchDirs()) candidates.push_back(dir + "/" + file);
  candidates.push_back(file);  // the system's library path
  for (const auto& candidate : candidates)
    if (TryLoad(candidate)) return true;
  return false;
}

bool TDynLib::LoadFile(const std::string& path) {
  Unload();
  return TryLoad(path);
}

bool TDynLib::TryLoad(const std::string& candidate) {
  if (void* h = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    handle_ = h;
    path_ = candidate;
    error_.clear();
    return true;
  }
  const char* why = ::dlerror();
  error_ = why ? why : "cannot load " + candidate;
  return false;
}

void TDynLib::Unload() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
  path_.clear();
}

void* TDynLib::Symbol(const char* name) const { return handle_ ? ::dlsym(handle_, name) : nullptr; }

}  // namespace tavrik::platform
