// The field encodings of the Marvek protocol, for both ends: writing a field the way every
// request and reply writes it, and reading one back with every length and digit checked. A field
// that does not read (missing, a letter where a digit belongs, bytes left over) raises EMvField
// naming what was wrong.
//
//   padN   the text followed by blanks up to N characters (a longer text is sent whole, which
//          moves every field after it: such a request cannot be read)
//   hexN   upper-case hexadecimal, zero-padded to N digits; a negative number is its 32-bit two's
//          complement in 8 digits. Read in either letter case, 1 to 8 digits.
//   dec    decimal, "-" when negative, no fill
//   digit  one decimal digit (the small codes that share a record with other unpadded numbers)
//   YN     "Y" / "N"
//   float  decimal text; written with "." by the server, read with "." or "," (the client writes
//          its regional separator)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/Exception.h"

namespace tavrik {

TAVRIK_EXCEPTION(EMvField, Exception);

namespace mvproto {

// ---- writing ----
std::string Pad(std::string_view text, size_t width);
std::string Hex(int64_t value, int digits);
inline std::string Dec(int64_t value) { return std::to_string(value); }
// EMvField unless 0 <= value <= 9: a wider number would shift the fields after it.
std::string Digit(int value, std::string_view what);
inline std::string YN(bool value) { return value ? "Y" : "N"; }
// The shortest text that reads back as the same double, with "." as the separator. EMvField for
// infinities and NaN, which have no decimal text.
std::string Float(double value);

// ---- reading ----
// Walks a payload field by field; every read checks that the field is there.
class TFieldReader {
 public:
  explicit TFieldReader(std::string_view payload) : rest_(payload) {}

  // `width` characters, trailing blanks removed (other padding bytes stay and make names bad).
  std::string Padded(size_t width, std::string_view what);
  // `width` characters as they are.
  std::string_view Raw(size_t width, std::string_view what) { return Take(width, what); }
  bool YN(std::string_view what);
  uint32_t Hex(size_t digits, std::string_view what);
  int Digit(std::string_view what);
  // Everything not read yet; the reader is then at its end.
  std::string_view Rest();
  // Raises when bytes are left.
  void End(std::string_view what) const;
  size_t Left() const { return rest_.size(); }

 private:
  std::string_view Take(size_t size, std::string_view what);
  std::string_view rest_;
};

// 1 to 8 hexadecimal digits as a 32-bit pattern; EMvField otherwise.
uint32_t ParseHex(std::string_view text, std::string_view what);
// Exactly `digits` hexadecimal digits, the whole payload of a one-number request.
uint32_t ParseHexField(std::string_view text, size_t digits, std::string_view what);
// A decimal integer that fits 32 bits, "-" allowed; EMvField otherwise.
int32_t ParseDec(std::string_view text, std::string_view what);
// A finite decimal number written with "." or "," as the separator, an exponent allowed.
double ParseFloat(std::string_view text, std::string_view what);
// "Y" or "N" and nothing else.
bool ParseYN(std::string_view text, std::string_view what);

}  // namespace mvproto
}  // namespace tavrik
