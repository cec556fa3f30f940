#include "platform/FormatSettings.h"

#include <clocale>

namespace tavrik::platform {

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

void LoadFormatSettingsFromLocale() {
  const lconv* lc = std::localeconv();
  TFormatSettings& s = FormatSettings();
  if (lc && lc->decimal_point && lc->decimal_point[0]) s.DecimalSeparator = lc->decimal_point[0];
  if (lc && lc->thousands_sep && lc->thousands_sep[0]) s.ThousandSeparator = lc->thousands_sep[0];
}

}  // namespace tavrik::platform
