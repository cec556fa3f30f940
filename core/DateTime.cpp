#include "core/DateTime.h"

#include <cmath>

namespace tavrik {

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

int32_t EncodeDayNumber(int year, int month, int day) {
  if (!IsValidDate(year, month, day)) return 0;
  // Days before the year, then before the month, then the day itself.
  const int y = year - 1;
  int32_t n = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) n += DaysInMonth(year, m);
  return n + day;
}

TDateParts DecodeDayNumber(int32_t day_number) {
  static const int32_t kLastDay = EncodeDayNumber(9999, 12, 31);
  if (day_number < 1 || day_number > kLastDay) return {};
  // Whole 400-, 100-, 4- and 1-year cycles first, then months.
  int32_t n = day_number - 1;
  const int32_t q400 = n / 146097;
  n %= 146097;
  int32_t q100 = n / 36524;
  if (q100 == 4) q100 = 3;  // the last day of a 400-year cycle
  n -= q100 * 36524;
  const int32_t q4 = n / 1461;
  n %= 1461;
  int32_t q1 = n / 365;
  if (q1 == 4) q1 = 3;  // the last day of a leap cycle
  n -= q1 * 365;
  TDateParts d;
  d.year = int(q400 * 400 + q100 * 100 + q4 * 4 + q1 + 1);
  d.month = 1;
  while (n >= DaysInMonth(d.year, d.month)) n -= DaysInMonth(d.year, d.month++);
  d.day = int(n + 1);
  return d;
}

int32_t EncodeTimeMSecs(const TTimeParts& t) {
  return ((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.msec;
}

TTimeParts DecodeTimeMSecs(int32_t msecs) {
  TTimeParts t;
  t.msec = msecs % 1000;
  msecs /= 1000;
  t.second = msecs % 60;
  msecs /= 60;
  t.minute = msecs % 60;
  t.hour = msecs / 60;
  return t;
}

TDateTime MakeDateTime(int32_t day_number, int32_t msecs) {
  return double(day_number) + double(msecs) / kMSecsPerDay;
}

int32_t DateTimeDay(TDateTime value) { return int32_t(std::floor(value + 0.5 / kMSecsPerDay)); }

int32_t DateTimeMSecs(TDateTime value) {
  const double total = std::round(value * kMSecsPerDay);
  return int32_t(total - std::floor(total / kMSecsPerDay) * kMSecsPerDay);
}

}  // namespace tavrik
