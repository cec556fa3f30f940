// The content of a file to upload in tests: letters of a small alphabet in a pseudo-random order,
// which compress to about half, so that an archive of them still takes several blocks and a lost
// or repeated block shows. Another seed gives other bytes.
#pragma once

#include <cstdint>
#include <string>

namespace tavrik::testing {

inline std::string SourceBytes(size_t size, uint32_t seed = 0) {
  std::string s(size, '\0');
  uint32_t x = 2463534242u + seed;
  for (char& c : s) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    c = static_cast<char>('a' + x % 16);
  }
  return s;
}

}  // namespace tavrik::testing
