// Reading the fields of a work-area request and writing the values of its reply, in the text
// encodings every such command uses. A request that does not read (a field missing, a letter
// where a digit belongs, bytes left over) raises ERefused naming what was wrong, so the client
// gets the failure reply and the log tells why.
//
// Request fields:  padN  N characters, the value followed by blanks
//                  hexN  N upper- or lower-case hexadecimal digits
//                  dec   an optional "-" and decimal digits, no fill
//                  YN    "Y" or "N"
// Reply values:    hex   upper-case hexadecimal, zero-padded to a fixed width
//                  dec   decimal, "-" when negative
//                  YN    "Y" / "N"
//                  float decimal text with "." as the separator (see Float)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrik::server::wire {

// Walks a request payload field by field; every read checks that the field is there.
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

// 1 to 8 hexadecimal digits as a 32-bit pattern (the client sends negative values as their
// 32-bit two's complement); ERefused otherwise.
uint32_t ParseHex(std::string_view text, std::string_view what);
// A decimal integer that fits 32 bits, "-" allowed; ERefused otherwise.
int32_t ParseDec(std::string_view text, std::string_view what);
// A finite decimal number written with "." or "," as the separator (the client writes its
// regional one), an exponent allowed; ERefused otherwise.
double ParseFloat(std::string_view text, std::string_view what);

std::string Hex(uint64_t value, int digits);
std::string Dec(int64_t value);
inline std::string YN(bool value) { return value ? "Y" : "N"; }
// The shortest text that reads back as the same double, with "." as the separator. The client
// reads floats with its own regional separator, so a client set to "," cannot read these; the
// server has no way to know the client's setting. ERefused for infinities and NaN, which have
// no decimal text.
std::string Float(double value);

}  // namespace tavrik::server::wire
