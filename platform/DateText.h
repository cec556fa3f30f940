// Dates and times as text in the process's format settings: the short date format, the long
// time format, the date and time separators and the two-digit-year window.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/DateTime.h"

namespace tavrik::platform {

// The current local date and time.
TDateTime Now();

// `format` tokens: d dd (day), m mm (month), yy yyyy (year), h hh (hour), n nn (minute),
// s ss (second), z zzz (millisecond); ampm (the settings' morning or afternoon text), am/pm and
// a/p (those letters, in the case written), each making h and hh count the hours from 1 to 12;
// "/" is the date separator and ":" the time separator of the settings; text in single or double
// quotes and every other character stand for themselves.
std::string FormatDateTime(std::string_view format, TDateTime value);
// The short date format; a date-time adds a blank and the long time format unless its hours,
// minutes and seconds are all zero.
std::string DateToStr(TDateTime value);
std::string DateTimeToStr(TDateTime value);
// Reads a date written in the order of the short date format (day, month and year numbers
// separated by the date separator; a missing year is the current one; a year of one or two
// digits is placed by the two-digit-year window). Nothing when it does not spell a valid date.
std::optional<TDateTime> TryStrToDate(std::string_view text);

}  // namespace tavrik::platform
