// Calendar dates and date-times as every layer holds them. A date is a day number: 1 January of
// year 1 is day 1, and day 0 stands for "no valid date". A date-time (TDateTime) is a day number
// plus the elapsed fraction of the day. Proleptic Gregorian calendar, years 1..9999.
#pragma once

#include <cstdint>

namespace tavrik {

using TDateTime = double;

constexpr int32_t kMSecsPerDay = 86400000;

bool IsLeapYear(int year);
// Days in `month` (1..12) of `year`; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);

// The day number of a date; 0 when the date is not valid.
int32_t EncodeDayNumber(int year, int month, int day);
struct TDateParts {
  int year = 0;
  int month = 0;
  int day = 0;
};
// The date of a day number; all parts 0 for a day number outside years 1..9999.
TDateParts DecodeDayNumber(int32_t day_number);

struct TTimeParts {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int msec = 0;
};
// Milliseconds since midnight; values outside a day are not checked.
int32_t EncodeTimeMSecs(const TTimeParts& time);
TTimeParts DecodeTimeMSecs(int32_t msecs);

// A date-time from a day number and the milliseconds since midnight, and back (rounded to the
// nearest millisecond).
TDateTime MakeDateTime(int32_t day_number, int32_t msecs);
int32_t DateTimeDay(TDateTime value);
int32_t DateTimeMSecs(TDateTime value);

}  // namespace tavrik
