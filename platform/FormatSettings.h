// The process's format settings: decimal and thousand separators, date and time formats, as the
// regional settings give them. Read once from the C library's locale; tests and the environment
// component may change them.
#pragma once

#include <string>
#include <string_view>

namespace tavrik::platform {

struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "m/d/yy";
  std::string LongTimeFormat = "h:nn:ss";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  // Text-to-date conversion places a two-digit year in the hundred years that start this many
  // years before the current one; 0 places it in the current century.
  int TwoDigitYearCenturyWindow = 0;
};

// The settings in use (mutable, process-wide, main thread only).
TFormatSettings& FormatSettings();
// The settings as the locale gave them at the last load (the defaults before any load), for
// going back to the regional settings after a change.
const TFormatSettings& LocaleFormatSettings();
// Reloads the settings from the current C locale (after setlocale(LC_ALL, "")): the separators
// of LC_NUMERIC, the date and time formats of LC_TIME. The POSIX locale keeps the defaults above.
void LoadFormatSettingsFromLocale();

// Takes a locale's date and time patterns (strftime conversions, as nl_langinfo gives D_FMT,
// T_FMT and T_FMT_AMPM) into `settings`: the short date format and date separator, the long time
// format and time separator. A pattern with a conversion that has no counterpart (a weekday or
// month name, a time zone) leaves its part of the settings as it was.
void ApplyLocaleTimePatterns(TFormatSettings& settings, std::string_view date_pattern, std::string_view time_pattern,
                             std::string_view ampm_pattern);

}  // namespace tavrik::platform
