// Traditional PKWARE encryption of entry data: three 32-bit keys, set from the password and
// updated with every plain byte, give the byte stream that is XORed with the data. Every ZIP
// reader knows it. (The copy of this cipher inside the minizip of Debian 12 produces headers that
// readers reject on 64-bit systems, so the engine encrypts itself and hands minizip the result.)
//
// An encrypted entry's data is a 12-byte header, then the encrypted compressed data:
//   OFFSET SIZE CONTENT (before encryption)
//    0     11   random bytes
//   11     1    the high byte of the entry's CRC-32, which lets readers check the password
//   12     n    the compressed data
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrik::zipeng {

constexpr size_t kCryptHeaderSize = 12;

class TTradCrypt {
 public:
  explicit TTradCrypt(const std::string& password);

  // The encrypted header of an entry whose CRC-32 is `crc`.
  std::array<uint8_t, kCryptHeaderSize> Header(uint32_t crc);
  void Encrypt(uint8_t* data, size_t size);

 private:
  uint8_t Next(uint8_t plain);
  void Update(uint8_t plain);

  uint32_t keys_[3];
};

}  // namespace tavrik::zipeng
