#include "platform/DateText.h"

#include <algorithm>
#include <ctime>
#include <tuple>
#include <vector>

#include "platform/FormatSettings.h"

namespace tavrik::platform {

namespace {

std::string Number(int value, size_t digits) {
  std::string s = std::to_string(value);
  return s.size() < digits ? std::string(digits - s.size(), '0') + s : s;
}

int CurrentYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if ((text[i] | 0x20) != prefix[i]) return false;
  return true;
}

}  // namespace

TDateTime Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  const int32_t day = EncodeDayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return MakeDateTime(day, EncodeTimeMSecs({local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                                            int(now.tv_nsec / 1000000)}));
}

std::string FormatDateTime(std::string_view format, TDateTime value) {
  const TFormatSettings& fs = FormatSettings();
  const TDateParts d = DecodeDayNumber(DateTimeDay(value));
  const TTimeParts t = DecodeTimeMSecs(DateTimeMSecs(value));
  // With a morning/afternoon marker anywhere in the format, hours count from 1 to 12.
  bool twelve = false;
  for (size_t k = 0; k < format.size() && !twelve; ++k)
    twelve = StartsWithNoCase(format.substr(k), "ampm") || StartsWithNoCase(format.substr(k), "am/pm") ||
             StartsWithNoCase(format.substr(k), "a/p");
  const int hour = twelve ? (t.hour % 12 == 0 ? 12 : t.hour % 12) : t.hour;
  std::string out;
  size_t i = 0;
  auto run = [&](char c) {
    size_t n = 0;
    while (i + n < format.size() && (format[i + n] | 0x20) == c) ++n;
    i += n;
    return n;
  };
  while (i < format.size()) {
    const char c = format[i];
    switch (c | 0x20) {
      case 'd': out += Number(d.day, run('d') >= 2 ? 2 : 1); continue;
      case 'm': out += Number(d.month, run('m') >= 2 ? 2 : 1); continue;
      case 'y': out += run('y') >= 3 ? Number(d.year, 4) : Number(d.year % 100, 2); continue;
      case 'h': out += Number(hour, run('h') >= 2 ? 2 : 1); continue;
      case 'n': out += Number(t.minute, run('n') >= 2 ? 2 : 1); continue;
      case 's': out += Number(t.second, run('s') >= 2 ? 2 : 1); continue;
      case 'z': out += Number(t.msec, run('z') >= 2 ? 3 : 1); continue;
      case 'a': {
        const std::string_view rest = format.substr(i);
        const bool morning = t.hour < 12;
        if (StartsWithNoCase(rest, "ampm")) {
          out += morning ? fs.TimeAMString : fs.TimePMString;
          i += 4;
          continue;
        }
        if (StartsWithNoCase(rest, "am/pm")) {
          out += morning ? rest.substr(0, 2) : rest.substr(3, 2);
          i += 5;
          continue;
        }
        if (StartsWithNoCase(rest, "a/p")) {
          out += morning ? rest[0] : rest[2];
          i += 3;
          continue;
        }
        break;
      }
      default: break;
    }
    if (c == '/') {
      out += fs.DateSeparator;
    } else if (c == ':') {
      out += fs.TimeSeparator;
    } else if (c == '"' || c == '\'') {
      const size_t end = format.find(c, i + 1);
      out += format.substr(i + 1, end == std::string_view::npos ? std::string_view::npos : end - i - 1);
      i = end == std::string_view::npos ? format.size() : end;
    } else {
      out += c;
    }
    ++i;
  }
  return out;
}

std::string DateToStr(TDateTime value) { return FormatDateTime(FormatSettings().ShortDateFormat, value); }

std::string DateTimeToStr(TDateTime value) {
  std::string text = DateToStr(value);
  if (DateTimeMSecs(value) / 1000 != 0) {
    text += ' ';
    text += FormatDateTime(FormatSettings().LongTimeFormat, value);
  }
  return text;
}

std::optional<TDateTime> TryStrToDate(std::string_view text) {
  const TFormatSettings& fs = FormatSettings();
  // The order of day, month and year in the short date format.
  std::string order;
  for (char c : fs.ShortDateFormat) {
    const char l = char(c | 0x20);
    if ((l == 'd' || l == 'm' || l == 'y') && order.find(l) == std::string::npos) order += l;
  }
  if (order.size() != 3) order = "mdy";
  std::vector<std::pair<int, size_t>> numbers;  // value, digits
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  while (i < text.size()) {
    size_t digits = 0;
    int value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      value = value * 10 + (text[i++] - '0');
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    numbers.emplace_back(value, digits);
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size()) break;
    if (text[i] != fs.DateSeparator || numbers.size() == 3) return std::nullopt;
    ++i;
  }
  if (numbers.size() < 2) return std::nullopt;
  if (numbers.size() == 2) order.erase(order.find('y'), 1);
  int day = 0, month = 0, year = CurrentYear();
  size_t year_digits = 4;
  for (size_t k = 0; k < numbers.size(); ++k) {
    if (order[k] == 'd') day = numbers[k].first;
    if (order[k] == 'm') month = numbers[k].first;
    if (order[k] == 'y') std::tie(year, year_digits) = numbers[k];
  }
  if (year_digits <= 2) {
    const int now = CurrentYear();
    if (fs.TwoDigitYearCenturyWindow > 0) {
      const int start = now - fs.TwoDigitYearCenturyWindow;
      year += start / 100 * 100;
      if (year < start) year += 100;
    } else {
      year += now / 100 * 100;
    }
  }
  const int32_t n = EncodeDayNumber(year, month, day);
  if (n == 0) return std::nullopt;
  return MakeDateTime(n, 0);
}

}  // namespace tavrik::platform
