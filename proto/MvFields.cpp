#include "proto/MvFields.h"

#include <charconv>
#include <cmath>

#include "core/StrUtils.h"

namespace tavrik::mvproto {

namespace {

[[noreturn]] void Bad(std::string_view what, std::string_view text) {
  throw EMvField(std::string(what) + ": cannot read \"" + Printable(text, 40) + "\"");
}

}  // namespace

std::string Pad(std::string_view text, size_t width) { return PadRight(text, width); }

std::string Hex(int64_t value, int digits) { return IntToHex(value, digits); }

std::string Digit(int value, std::string_view what) {
  if (value < 0 || value > 9) throw EMvField(std::string(what) + ": " + std::to_string(value) + " is not one digit");
  return std::string(1, static_cast<char>('0' + value));
}

std::string Float(double value) {
  if (!std::isfinite(value)) throw EMvField("the number has no decimal text");
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) throw EMvField("the number has no decimal text");
  return std::string(buffer, end);
}

std::string_view TFieldReader::Take(size_t size, std::string_view what) {
  if (rest_.size() < size)
    throw EMvField(std::string(what) + ": the request ends " + std::to_string(size - rest_.size()) + " bytes short");
  std::string_view field = rest_.substr(0, size);
  rest_.remove_prefix(size);
  return field;
}

std::string TFieldReader::Padded(size_t width, std::string_view what) {
  return std::string(WithoutTrailingBlanks(Take(width, what)));
}

bool TFieldReader::YN(std::string_view what) { return ParseYN(Take(1, what), what); }

uint32_t TFieldReader::Hex(size_t digits, std::string_view what) { return ParseHex(Take(digits, what), what); }

int TFieldReader::Digit(std::string_view what) {
  std::string_view f = Take(1, what);
  if (f[0] < '0' || f[0] > '9') Bad(what, f);
  return f[0] - '0';
}

std::string_view TFieldReader::Rest() {
  std::string_view all = rest_;
  rest_ = {};
  return all;
}

void TFieldReader::End(std::string_view what) const {
  if (!rest_.empty())
    throw EMvField(std::string(what) + ": " + std::to_string(rest_.size()) + " bytes more than the request holds");
}

uint32_t ParseHex(std::string_view text, std::string_view what) {
  const std::optional<int32_t> value = TryHexToInt(text);
  if (!value || text.size() > 8) Bad(what, text);
  return static_cast<uint32_t>(*value);
}

uint32_t ParseHexField(std::string_view text, size_t digits, std::string_view what) {
  if (text.size() != digits)
    throw EMvField(std::string(what) + ": " + std::to_string(digits) + " hexadecimal digits expected");
  return ParseHex(text, what);
}

int32_t ParseDec(std::string_view text, std::string_view what) {
  int32_t value = 0;
  // from_chars takes no "+" and no blanks, which a client never sends either.
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) Bad(what, text);
  return value;
}

double ParseFloat(std::string_view text, std::string_view what) {
  std::string t(text);
  size_t separators = 0;
  for (char& c : t) {
    if (c == ',') c = '.';
    if (c == '.') ++separators;
  }
  double value = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || separators > 1 || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(value))
    Bad(what, text);
  return value;
}

bool ParseYN(std::string_view text, std::string_view what) {
  if (text != "Y" && text != "N") Bad(what, text);
  return text == "Y";
}

}  // namespace tavrik::mvproto
