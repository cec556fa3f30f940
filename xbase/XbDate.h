// Calendar dates as the xBase engine stores and shows them: "yyyymmdd" in records, the date
// formats of the engine settings (American .. Spanish) with two- or four-digit years, and the
// epoch window that places two-digit years in a century. Shared by tables and expressions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "xbase/Settings.h"

namespace tavrik::xbase {

// A calendar date; all three parts 0 is the blank (empty) date.
struct TXbDate {
  int year = 0;
  int month = 0;
  int day = 0;

  bool IsBlank() const { return year == 0 && month == 0 && day == 0; }
  friend bool operator==(const TXbDate&, const TXbDate&) = default;
};

// Gregorian calendar, years 1..9999.
bool IsValidDate(int year, int month, int day);
bool IsValidDate(const TXbDate& date);

// Day numbers count 1 January of year 1 as day 1 (the data layer's native date form). The blank
// date is day 0 and day 0 is the blank date; a day number outside years 1..9999 is blank too.
int32_t DateToDayNumber(const TXbDate& date);
TXbDate DayNumberToDate(int32_t day_number);

// The astronomical Julian day number of a day number (1 January 2000 is 2451545).
constexpr int32_t kJulianDayOfDayZero = 1721425;

// 1 Sunday .. 7 Saturday, 0 for the blank date.
int DayOfWeek(const TXbDate& date);

// Record form: "yyyymmdd"; the blank date is eight blanks.
std::string Dtos(const TXbDate& date);
// Reads the record form. Eight blanks (or an empty text) give the blank date; anything that is
// not eight digits of a valid date gives nothing.
std::optional<TXbDate> ParseDtos(std::string_view text);

// A two-digit year placed in the hundred years that start at `epoch` (epoch 1980: 79 is 2079,
// 80 is 1980).
int WidenYear(int two_digit_year, int epoch);

// True for the date format codes the engine knows: 0 American, 1 ANSI, 2 British, 3 French,
// 4 German, 5 Italian, 6 Spanish, 99 the system's default (American here).
bool IsKnownDateFormat(int code);
// The picture of a date format, "mm/dd/yyyy" style ("yy" without century).
std::string DatePicture(int date_format, bool century);

// The shown form of a date under the settings (date format, century); the blank date is the
// picture with blanks in place of digits ("  /  /    ").
std::string FormatDate(const TXbDate& date, const TEngineSettings& settings);
// Reads a shown date under the settings; two-digit years are widened by the epoch. A text of
// blanks and separators only is the blank date; text that does not spell a valid date gives
// nothing.
std::optional<TXbDate> ParseDate(std::string_view text, const TEngineSettings& settings);

}  // namespace tavrik::xbase
