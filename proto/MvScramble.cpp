#include "proto/MvScramble.h"

#include <array>

namespace tavrik {

namespace {

// Shift for each range of ten starting at 30.
constexpr int kShift[10] = {-25, -15, -35, +5, +25, +45, +65, +85, +105, +125};

unsigned char ScrambleByte(unsigned char b) {
  if (b < 30 || b > 129) return b;
  return static_cast<unsigned char>(b + kShift[(b - 30) / 10]);
}

std::array<unsigned char, 256> InverseTable() {
  std::array<unsigned char, 256> inverse{};
  for (int b = 0; b < 256; ++b) inverse[b] = static_cast<unsigned char>(b);
  for (int b = 30; b <= 129; ++b) inverse[ScrambleByte(static_cast<unsigned char>(b))] = static_cast<unsigned char>(b);
  return inverse;
}

}  // namespace

std::string Scramble(std::string_view record) {
  std::string out(record);
  for (char& c : out) c = static_cast<char>(ScrambleByte(static_cast<unsigned char>(c)));
  return out;
}

std::string Unscramble(std::string_view scrambled) {
  static const std::array<unsigned char, 256> inverse = InverseTable();
  std::string out(scrambled);
  for (char& c : out) c = static_cast<char>(inverse[static_cast<unsigned char>(c)]);
  return out;
}

}  // namespace tavrik
