#include "app/Token.h"

#include <algorithm>

namespace tavrik {

int TokenCount(std::string_view text, char separator) {
  if (text.empty()) return 0;
  return static_cast<int>(std::count(text.begin(), text.end(), separator)) + 1;
}

std::string GetToken(std::string_view text, char separator, int n) {
  if (n < 1) return {};
  size_t start = 0;
  for (int i = 1; i < n; ++i) {
    const size_t next = text.find(separator, start);
    if (next == std::string_view::npos) return {};
    start = next + 1;
  }
  const size_t end = text.find(separator, start);
  return std::string(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

}  // namespace tavrik
