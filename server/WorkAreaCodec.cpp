#include "server/WorkAreaCodec.h"

#include <charconv>
#include <cmath>

#include "server/Dispatcher.h"
#include "server/ServerLog.h"

namespace tavrik::server::wire {

namespace {

[[noreturn]] void Bad(std::string_view what, std::string_view text) {
  throw ERefused(std::string(what) + ": cannot read \"" + Printable(text, 40) + "\"");
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

}  // namespace

std::string_view TFieldReader::Take(size_t size, std::string_view what) {
  if (rest_.size() < size)
    throw ERefused(std::string(what) + ": the request ends " + std::to_string(size - rest_.size()) +
                   " bytes short");
  std::string_view field = rest_.substr(0, size);
  rest_.remove_prefix(size);
  return field;
}

std::string TFieldReader::Padded(size_t width, std::string_view what) {
  std::string_view field = Take(width, what);
  size_t end = field.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : field.substr(0, end + 1));
}

bool TFieldReader::YN(std::string_view what) {
  std::string_view f = Take(1, what);
  if (f != "Y" && f != "N") Bad(what, f);
  return f == "Y";
}

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
    throw ERefused(std::string(what) + ": " + std::to_string(rest_.size()) + " bytes more than the request holds");
}

uint32_t ParseHex(std::string_view text, std::string_view what) {
  if (text.empty() || text.size() > 8) Bad(what, text);
  uint32_t value = 0;
  for (char c : text) {
    if (!IsHexDigit(c)) Bad(what, text);
    value = value * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
  }
  return value;
}

int32_t ParseDec(std::string_view text, std::string_view what) {
  int32_t value = 0;
  // from_chars takes no "+" and no blanks, which is what the client never sends either.
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

std::string Hex(uint64_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text(static_cast<size_t>(digits), '0');
  for (int i = digits - 1; i >= 0 && value != 0; --i, value >>= 4) text[static_cast<size_t>(i)] = kDigits[value & 15];
  return text;
}

std::string Dec(int64_t value) { return std::to_string(value); }

std::string Float(double value) {
  if (!std::isfinite(value)) throw ERefused("the number has no decimal text");
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) throw ERefused("the number has no decimal text");
  return std::string(buffer, end);
}

}  // namespace tavrik::server::wire
