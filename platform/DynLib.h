// Run-time loading of shared libraries, standing in for LoadLibrary of "X.DLL": the file
// "libx.so" (lower case) is searched in the folders set for the search (by default the folder of
// the executable), then on the system's library path.
#pragma once

#include <string>
#include <vector>

namespace tavrik::platform {

// "MDE61.DLL" -> "libmde61.so"; a name without ".DLL" just gets "lib" and ".so".
std::string SharedLibraryFileName(const std::string& dll_name);

// The folders searched before the system path. Tests point it at a folder of their own to make a
// library missing on purpose.
std::vector<std::string> LibrarySearchDirs();
void SetLibrarySearchDirs(std::vector<std::string> dirs);

class TDynLib {
 public:
  TDynLib() = default;
  ~TDynLib() { Unload(); }
  TDynLib(const TDynLib&) = delete;
  TDynLib& operator=(const TDynLib&) = delete;

  // Loads `dll_name`; false when no candidate loads (Error() says why).
  bool Load(const std::string& dll_name);
  // Loads the library file at `path` and nothing else; false when it does not load.
  bool LoadFile(const std::string& path);
  void Unload();
  bool Loaded() const { return handle_ != nullptr; }
  // The address of an exported symbol, or nullptr.
  void* Symbol(const char* name) const;
  const std::string& Error() const { return error_; }
  const std::string& Path() const { return path_; }

 private:
  bool TryLoad(const std::string& candidate);

  void* handle_ = nullptr;
  std::string path_;
  std::string error_;
};

}  // namespace tavrik::platform
