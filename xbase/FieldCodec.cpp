#include "xbase/FieldCodec.h"

#include <cmath>
#include <cstdio>

#include "core/StrUtils.h"
#include "xbase/TableError.h"

namespace tavrik::xbase {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

ETableError DoesNotFit(const std::string& value, const TFieldInfo& f) {
  return ETableError("Value " + value + " does not fit field " + f.name + " (" + std::string(1, f.type) + " " +
                     std::to_string(f.width) + "," + std::to_string(f.decimals) + ")");
}

std::string RightAligned(const std::string& digits, const std::string& shown, const TFieldInfo& f) {
  if (digits.size() > size_t(f.width)) throw DoesNotFit(shown, f);
  return std::string(size_t(f.width) - digits.size(), ' ') + digits;
}

// Removes the sign of a formatted zero ("-0.00" shows as "0.00").
void DropNegativeZero(std::string& s) {
  if (!s.empty() && s[0] == '-' && s.find_first_of("123456789") == std::string::npos) s.erase(0, 1);
}

}  // namespace

bool IsBlankText(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

double ValNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::string number;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) number += text[i++];
  bool digits = false;
  while (i < text.size() && IsDigit(text[i])) number += text[i++], digits = true;
  if (i < text.size() && text[i] == '.') {
    number += text[i++];
    while (i < text.size() && IsDigit(text[i])) number += text[i++], digits = true;
  }
  if (!digits) return 0.0;
  return std::strtod(number.c_str(), nullptr);
}

std::string NumberFieldText(double value, const TFieldInfo& f) {
  if (!std::isfinite(value)) throw DoesNotFit(value != value ? "NaN" : "infinity", f);
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", f.decimals, value);
  std::string s = buf;
  DropNegativeZero(s);
  return RightAligned(s, s, f);
}

std::string IntegerFieldText(int64_t value, const TFieldInfo& f) {
  std::string s = std::to_string(value);
  if (f.decimals > 0) {
    s += '.';
    s.append(size_t(f.decimals), '0');
  }
  return RightAligned(s, std::to_string(value), f);
}

std::string DecimalTextFieldText(std::string_view text, const TFieldInfo& f) {
  const std::string t = Trim(text);
  auto not_a_number = [&] { return ETableError("Value '" + std::string(text) + "' is not a number for field " + f.name); };
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  std::string whole, fraction;
  while (i < t.size() && IsDigit(t[i])) whole += t[i++];
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i])) fraction += t[i++];
  }
  if (i != t.size() || (whole.empty() && fraction.empty())) throw not_a_number();
  // Round half away from zero to the field's decimals, in decimal digits.
  const size_t keep = size_t(f.decimals);
  std::string digits = whole + fraction.substr(0, std::min(keep, fraction.size()));
  if (fraction.size() < keep) digits.append(keep - fraction.size(), '0');
  if (fraction.size() > keep && fraction[keep] >= '5') {
    int k = int(digits.size()) - 1;
    while (k >= 0 && digits[size_t(k)] == '9') digits[size_t(k--)] = '0';
    if (k < 0)
      digits.insert(digits.begin(), '1');
    else
      ++digits[size_t(k)];
  }
  std::string int_part = digits.substr(0, digits.size() - keep);
  const std::string frac_part = digits.substr(digits.size() - keep);
  const size_t nonzero = int_part.find_first_not_of('0');
  int_part = nonzero == std::string::npos ? "0" : int_part.substr(nonzero);
  std::string s = (negative ? "-" : "") + int_part + (keep > 0 ? "." + frac_part : "");
  DropNegativeZero(s);
  return RightAligned(s, Trim(text), f);
}

std::string CharacterFieldText(std::string_view text, const TFieldInfo& f) {
  std::string s(text.substr(0, size_t(f.width)));
  s.resize(size_t(f.width), ' ');
  return s;
}

std::string LogicalFieldText(bool value) { return value ? "T" : "F"; }

std::string DateFieldText(const TXbDate& date) { return Dtos(date); }

std::string TextToFieldText(std::string_view text, const TFieldInfo& f, const TEngineSettings& settings) {
  switch (f.type) {
    case 'C': return CharacterFieldText(text, f);
    case 'N':
    case 'F':
      if (IsBlankText(text)) return std::string(size_t(f.width), ' ');
      return DecimalTextFieldText(text, f);
    case 'D': {
      if (IsBlankText(text)) return std::string(8, ' ');
      const std::string t = Trim(text);
      if (auto d = ParseDtos(t)) return Dtos(*d);
      if (auto d = ParseDate(t, settings); d && !d->IsBlank()) return Dtos(*d);
      throw ETableError("Value '" + std::string(text) + "' is not a date for field " + f.name);
    }
    case 'L': {
      const std::string t = UpperCase(Trim(text));
      if (t.empty()) return " ";
      if (t == "T" || t == ".T." || t == "Y" || t == ".Y." || t == "TRUE" || t == "YES") return "T";
      if (t == "F" || t == ".F." || t == "N" || t == ".N." || t == "FALSE" || t == "NO") return "F";
      throw ETableError("Value '" + std::string(text) + "' is not a logical value for field " + f.name);
    }
    default:
      throw ETableError("Field " + f.name + " of type " + std::string(1, f.type) + " does not take a value as text here");
  }
}

std::string MemoReferenceText(uint32_t block) {
  if (block == 0) return std::string(10, ' ');
  std::string digits = std::to_string(block);
  return std::string(10 - digits.size(), ' ') + digits;
}

std::optional<uint32_t> ParseMemoReference(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  size_t end = text.size();
  while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\0')) --end;
  if (i == end) return 0u;
  uint64_t v = 0;
  for (size_t k = i; k < end; ++k) {
    if (!IsDigit(text[k])) return std::nullopt;
    v = v * 10 + uint64_t(text[k] - '0');
    if (v > 0xFFFFFFFFull) return std::nullopt;
  }
  return uint32_t(v);
}

std::string WrapLines(std::string_view text, int width) {
  if (width <= 0) return std::string(text);
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t eol = text.find('\n', start);
    const bool last = eol == std::string_view::npos;
    std::string_view line = text.substr(start, last ? std::string_view::npos : eol - start);
    const bool has_cr = !line.empty() && line.back() == '\r';
    if (has_cr) line.remove_suffix(1);
    while (line.size() > size_t(width)) {
      size_t cut = line.substr(0, size_t(width) + 1).rfind(' ');
      size_t next = cut;
      if (cut == std::string_view::npos || cut == 0) cut = next = size_t(width);
      else next = cut + 1;  // the blank at the break goes
      out.append(line.substr(0, cut));
      out += "\r\n";
      line.remove_prefix(next);
    }
    out.append(line);
    if (last) break;
    out += has_cr ? "\r\n" : "\n";
    start = eol + 1;
  }
  return out;
}

}  // namespace tavrik::xbase
