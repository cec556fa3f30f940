#include "core/StrUtils.h"

#include <cstdio>

namespace tavrik {

namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads hexadecimal digits as a 32-bit unsigned value; fails on anything else or on overflow.
std::optional<uint32_t> ParseHex(std::string_view s) {
  if (s.empty()) return std::nullopt;
  uint64_t v = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<uint32_t>(v);
}
}  // namespace

std::string TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return std::string(s.substr(0, n));
}

std::string Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

std::string AnsiUpperCase(std::string_view s) {
  std::string out(s);
  for (char& ch : out) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) ch = static_cast<char>(c - 0x20);
    else if (c == 0x9A || c == 0x9C || c == 0x9E) ch = static_cast<char>(c - 0x10);  // s, oe, z with caron
    else if (c == 0xFF) ch = static_cast<char>(0x9F);                                 // y with diaeresis
  }
  return out;
}

bool SameText(std::string_view a, std::string_view b) { return UpperCase(a) == UpperCase(b); }

std::string_view WithoutTrailingBlanks(std::string_view s) {
  const size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : s.substr(0, end + 1);
}

std::string_view ExtractFileName(std::string_view path) {
  const size_t separator = path.find_last_of("\\:/");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string PadRight(std::string_view s, size_t width) {
  std::string r(s);
  if (r.size() < width) r.append(width - r.size(), ' ');
  return r;
}

std::string Printable(std::string_view bytes, size_t max) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == max) return out + "...";
    auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 32 && c < 127 && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string IntToHex(int64_t value, int digits) {
  char buf[32];
  if (value < 0)
    std::snprintf(buf, sizeof buf, "%0*X", digits, static_cast<unsigned>(static_cast<uint32_t>(value)));
  else
    std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(value));
  return buf;
}

std::optional<int32_t> TryStrToInt(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  std::string_view rest = s.substr(i);
  if (!rest.empty() && rest[0] == '$') {
    auto v = ParseHex(rest.substr(1));
    if (!v) return std::nullopt;
    return static_cast<int32_t>(negative ? 0u - *v : *v);
  }
  if (rest.size() > 1 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    auto v = ParseHex(rest.substr(2));
    if (!v) return std::nullopt;
    return static_cast<int32_t>(negative ? 0u - *v : *v);
  }
  if (rest.empty()) return std::nullopt;
  int64_t v = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(v);
}

int32_t StrToIntDef(std::string_view s, int32_t fallback) { return TryStrToInt(s).value_or(fallback); }

std::optional<int32_t> TryHexToInt(std::string_view s) {
  auto v = ParseHex(s);
  if (!v) return std::nullopt;
  return static_cast<int32_t>(*v);
}

}  // namespace tavrik
