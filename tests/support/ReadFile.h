// The whole content of a file, for tests that check what was written ("" when it cannot be read).
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace tavrik::testing {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace tavrik::testing
