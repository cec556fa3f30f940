// The process's format settings: decimal and thousand separators, date and time formats, as the
// regional settings give them. Read once from the C library's locale; tests and the environment
// component may change them.
#pragma once

#include <string>

namespace tavrik::platform {

struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "m/d/yy";
  std::string LongTimeFormat = "h:nn:ss";
  // Text-to-date conversion places a two-digit year in the hundred years that start this many
  // years before the current one; 0 places it in the current century.
  int TwoDigitYearCenturyWindow = 0;
};

// The settings in use (mutable, process-wide, main thread only).
TFormatSettings& FormatSettings();
// Reloads the separators from the current C locale (after setlocale(LC_ALL, "")).
void LoadFormatSettingsFromLocale();

}  // namespace tavrik::platform
