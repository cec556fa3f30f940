#include "zipeng/TradCrypt.h"

#include <sys/random.h>
#include <zlib.h>

#include "core/Exception.h"

namespace tavrik::zipeng {

namespace {

uint32_t CrcByte(uint32_t crc, uint8_t byte) {
  static const z_crc_t* table = get_crc_table();
  return static_cast<uint32_t>(table[(crc ^ byte) & 0xFF]) ^ (crc >> 8);
}

}  // namespace

TTradCrypt::TTradCrypt(const std::string& password) : keys_{0x12345678, 0x23456789, 0x34567890} {
  for (char c : password) Update(static_cast<uint8_t>(c));
}

void TTradCrypt::Update(uint8_t plain) {
  keys_[0] = CrcByte(keys_[0], plain);
  keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
  keys_[2] = CrcByte(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
}

uint8_t TTradCrypt::Next(uint8_t plain) {
  uint32_t temp = (keys_[2] | 2) & 0xFFFF;
  uint8_t cipher = plain ^ static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
  Update(plain);
  return cipher;
}

std::array<uint8_t, kCryptHeaderSize> TTradCrypt::Header(uint32_t crc) {
  std::array<uint8_t, kCryptHeaderSize> header{};
  if (::getrandom(header.data(), kCryptHeaderSize - 1, 0) != static_cast<ssize_t>(kCryptHeaderSize - 1))
    throw Exception("No random bytes for the encryption header");
  header[kCryptHeaderSize - 1] = static_cast<uint8_t>(crc >> 24);
  Encrypt(header.data(), header.size());
  return header;
}

void TTradCrypt::Encrypt(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) data[i] = Next(data[i]);
}

}  // namespace tavrik::zipeng
