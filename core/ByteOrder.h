// Integers in the byte order a file format fixes (little-endian DBF, DBT and index files,
// big-endian FPT memo files), read from and written into bytes at a given place. The caller
// checks that the bytes are there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrik {

inline uint16_t GetLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t GetBe16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t GetBe32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutBe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void PutBe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}

// The same at offset `at` of a byte string.
inline const uint8_t* BytesAt(std::string_view b, size_t at) { return reinterpret_cast<const uint8_t*>(b.data()) + at; }
inline uint8_t* BytesAt(std::string& b, size_t at) { return reinterpret_cast<uint8_t*>(b.data()) + at; }
inline uint16_t GetLe16(std::string_view b, size_t at) { return GetLe16(BytesAt(b, at)); }
inline uint32_t GetLe32(std::string_view b, size_t at) { return GetLe32(BytesAt(b, at)); }
inline uint16_t GetBe16(std::string_view b, size_t at) { return GetBe16(BytesAt(b, at)); }
inline uint32_t GetBe32(std::string_view b, size_t at) { return GetBe32(BytesAt(b, at)); }
inline void PutLe16(std::string& b, size_t at, uint16_t v) { PutLe16(BytesAt(b, at), v); }
inline void PutLe32(std::string& b, size_t at, uint32_t v) { PutLe32(BytesAt(b, at), v); }
inline void PutBe16(std::string& b, size_t at, uint16_t v) { PutBe16(BytesAt(b, at), v); }
inline void PutBe32(std::string& b, size_t at, uint32_t v) { PutBe32(BytesAt(b, at), v); }

// Four bytes holding `v`.
inline std::string Le32Bytes(uint32_t v) {
  std::string b(4, '\0');
  PutLe32(b, 0, v);
  return b;
}
inline std::string Be32Bytes(uint32_t v) {
  std::string b(4, '\0');
  PutBe32(b, 0, v);
  return b;
}

}  // namespace tavrik
