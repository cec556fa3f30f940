#include "xbase/XbDate.h"

#include "core/DateTime.h"

namespace tavrik::xbase {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The order of the parts in a format: 'M' month, 'D' day, 'Y' year; and its separator.
struct TFormatShape {
  char order[3];
  char separator;
};

TFormatShape ShapeOf(int code) {
  switch (code) {
    case 1: return {{'Y', 'M', 'D'}, '.'};
    case 2:
    case 3: return {{'D', 'M', 'Y'}, '/'};
    case 4: return {{'D', 'M', 'Y'}, '.'};
    case 5:
    case 6: return {{'D', 'M', 'Y'}, '-'};
    default: return {{'M', 'D', 'Y'}, '/'};  // 0 American, 99 the system's default
  }
}

std::string TwoDigits(int v) {
  std::string s(2, '0');
  s[0] = static_cast<char>('0' + v / 10 % 10);
  s[1] = static_cast<char>('0' + v % 10);
  return s;
}

}  // namespace

bool IsValidDate(int year, int month, int day) { return tavrik::IsValidDate(year, month, day); }

bool IsValidDate(const TXbDate& d) { return IsValidDate(d.year, d.month, d.day); }

int32_t DateToDayNumber(const TXbDate& d) { return EncodeDayNumber(d.year, d.month, d.day); }

TXbDate DayNumberToDate(int32_t day_number) {
  const TDateParts p = DecodeDayNumber(day_number);
  return {p.year, p.month, p.day};
}

int DayOfWeek(const TXbDate& date) {
  const int32_t n = DateToDayNumber(date);
  if (n == 0) return 0;
  // Day 1 (1 January of year 1) was a Monday.
  return static_cast<int>(n % 7) + 1;
}

std::string Dtos(const TXbDate& d) {
  if (!IsValidDate(d)) return std::string(8, ' ');
  char buf[9];
  buf[0] = static_cast<char>('0' + d.year / 1000);
  buf[1] = static_cast<char>('0' + d.year / 100 % 10);
  buf[2] = static_cast<char>('0' + d.year / 10 % 10);
  buf[3] = static_cast<char>('0' + d.year % 10);
  buf[4] = static_cast<char>('0' + d.month / 10);
  buf[5] = static_cast<char>('0' + d.month % 10);
  buf[6] = static_cast<char>('0' + d.day / 10);
  buf[7] = static_cast<char>('0' + d.day % 10);
  buf[8] = 0;
  return buf;
}

std::optional<TXbDate> ParseDtos(std::string_view text) {
  if (text.find_first_not_of(' ') == std::string_view::npos) return TXbDate{};
  if (text.size() != 8) return std::nullopt;
  for (char c : text)
    if (!IsDigit(c)) return std::nullopt;
  auto num = [&](size_t at, size_t len) {
    int v = 0;
    for (size_t i = at; i < at + len; ++i) v = v * 10 + (text[i] - '0');
    return v;
  };
  TXbDate d{num(0, 4), num(4, 2), num(6, 2)};
  if (!IsValidDate(d)) return std::nullopt;
  return d;
}

int WidenYear(int two_digit_year, int epoch) {
  int y = epoch / 100 * 100 + two_digit_year;
  if (y < epoch) y += 100;
  return y;
}

bool IsKnownDateFormat(int code) { return (code >= 0 && code <= 6) || code == 99; }

std::string DatePicture(int date_format, bool century) {
  const TFormatShape shape = ShapeOf(date_format);
  std::string picture;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) picture += shape.separator;
    switch (shape.order[i]) {
      case 'M': picture += "mm"; break;
      case 'D': picture += "dd"; break;
      default: picture += century ? "yyyy" : "yy"; break;
    }
  }
  return picture;
}

std::string FormatDate(const TXbDate& date, const TEngineSettings& settings) {
  const TFormatShape shape = ShapeOf(settings.date_format);
  const bool blank = !IsValidDate(date);
  std::string out;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) out += shape.separator;
    switch (shape.order[i]) {
      case 'M': out += blank ? "  " : TwoDigits(date.month); break;
      case 'D': out += blank ? "  " : TwoDigits(date.day); break;
      default:
        if (settings.century)
          out += blank ? "    " : TwoDigits(date.year / 100) + TwoDigits(date.year % 100);
        else
          out += blank ? "  " : TwoDigits(date.year % 100);
        break;
    }
  }
  return out;
}

std::optional<TXbDate> ParseDate(std::string_view text, const TEngineSettings& settings) {
  const TFormatShape shape = ShapeOf(settings.date_format);
  // Split into up to three runs of digits; any non-digit separates.
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int count = 0;
  bool in_number = false;
  for (char c : text) {
    if (IsDigit(c)) {
      if (!in_number) {
        if (count == 3) return std::nullopt;
        ++count;
        in_number = true;
      }
      if (digits[count - 1] == 4) return std::nullopt;
      parts[count - 1] = parts[count - 1] * 10 + (c - '0');
      ++digits[count - 1];
    } else {
      in_number = false;
      if (c != ' ' && c != shape.separator && c != '/' && c != '.' && c != '-') return std::nullopt;
    }
  }
  if (count == 0) return TXbDate{};
  if (count != 3) return std::nullopt;
  TXbDate d;
  for (int i = 0; i < 3; ++i) {
    switch (shape.order[i]) {
      case 'M': d.month = parts[i]; break;
      case 'D': d.day = parts[i]; break;
      default: d.year = digits[i] <= 2 ? WidenYear(parts[i], settings.epoch) : parts[i]; break;
    }
  }
  if (!IsValidDate(d)) return std::nullopt;
  return d;
}

}  // namespace tavrik::xbase
