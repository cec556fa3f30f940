#include "platform/FormatSettings.h"

#include <langinfo.h>

#include <cctype>
#include <clocale>
#include <cstring>
#include <optional>

#include "platform/CodePage.h"

namespace tavrik::platform {

namespace {

TFormatSettings& LocaleSettings() {
  static TFormatSettings settings;
  return settings;
}

bool IsPosixLocale(const char* name) {
  return !name || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
}

// A strftime pattern in the tokens of FormatDateTime; nothing when it holds a conversion that has
// no counterpart there. `ampm` stands in for %r; `separator` receives the first punctuation
// character between the conversions (0 when there is none).
std::optional<std::string> FromPattern(std::string_view pattern, std::string_view ampm, char& separator,
                                       bool nested = false) {
  std::string out;
  bool quoted = false;  // inside a run of literal letters written in double quotes
  auto literal = [&](char c) {
    const bool letter = std::isalpha(static_cast<unsigned char>(c));
    if (letter != quoted) {
      out += '"';
      quoted = letter;
    }
    out += c;
    if (!letter && !separator && std::ispunct(static_cast<unsigned char>(c))) separator = c;
  };
  // `own_separator`: the one a composite conversion (%D, %F, %T, %R) writes itself.
  auto token = [&](std::string_view text, char own_separator = 0) {
    if (quoted) out += '"';
    quoted = false;
    out += text;
    if (!separator) separator = own_separator;
  };
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '"' || c == '\'') return std::nullopt;  // a quote cannot be written as literal text
    if (c != '%') {
      literal(c);
      continue;
    }
    bool unpadded = false;
    while (++i < pattern.size() && std::strchr("-_0^#O", pattern[i]))
      if (pattern[i] == '-') unpadded = true;
    if (i == pattern.size()) return std::nullopt;
    switch (pattern[i]) {
      case 'd': token(unpadded ? "d" : "dd"); break;
      case 'e': token("d"); break;
      case 'm': token(unpadded ? "m" : "mm"); break;
      case 'y': token("yy"); break;
      case 'Y': token("yyyy"); break;
      case 'D': token("mm/dd/yy", '/'); break;
      case 'F': token("yyyy-mm-dd", '-'); break;
      case 'H': case 'I': token(unpadded ? "h" : "hh"); break;
      case 'k': case 'l': token("h"); break;
      case 'M': token(unpadded ? "n" : "nn"); break;
      case 'S': token(unpadded ? "s" : "ss"); break;
      case 'T': token("hh:nn:ss", ':'); break;
      case 'R': token("hh:nn", ':'); break;
      case 'p': case 'P': token("ampm"); break;
      case 'r': {
        if (nested) return std::nullopt;
        auto inner = FromPattern(ampm, "", separator, true);
        if (!inner) return std::nullopt;
        token(*inner);
        break;
      }
      case 'n': case 't': literal(' '); break;
      case '%': literal('%'); break;
      default: return std::nullopt;
    }
  }
  if (quoted) out += '"';
  if (out.empty()) return std::nullopt;
  return out;
}

}  // namespace

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

const TFormatSettings& LocaleFormatSettings() { return LocaleSettings(); }

void ApplyLocaleTimePatterns(TFormatSettings& settings, std::string_view date_pattern, std::string_view time_pattern,
                             std::string_view ampm_pattern) {
  char separator = 0;
  if (auto format = FromPattern(date_pattern, ampm_pattern, separator)) {
    settings.ShortDateFormat = *format;
    if (separator) settings.DateSeparator = separator;
  }
  separator = 0;
  if (auto format = FromPattern(time_pattern, ampm_pattern, separator)) {
    settings.LongTimeFormat = *format;
    if (separator) settings.TimeSeparator = separator;
  }
}

void LoadFormatSettingsFromLocale() {
  const lconv* lc = std::localeconv();
  TFormatSettings& s = FormatSettings();
  if (lc && lc->decimal_point && lc->decimal_point[0]) s.DecimalSeparator = lc->decimal_point[0];
  if (lc && lc->thousands_sep && lc->thousands_sep[0]) s.ThousandSeparator = lc->thousands_sep[0];
  if (!IsPosixLocale(std::setlocale(LC_TIME, nullptr))) {
    // The locale's texts are in its own character set; the program's are single-byte.
    const bool utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    auto text = [utf8](nl_item item) { return utf8 ? Utf8ToAnsi(nl_langinfo(item)) : std::string(nl_langinfo(item)); };
    ApplyLocaleTimePatterns(s, text(D_FMT), text(T_FMT), text(T_FMT_AMPM));
    if (!text(AM_STR).empty()) s.TimeAMString = text(AM_STR);
    if (!text(PM_STR).empty()) s.TimePMString = text(PM_STR);
  }
  LocaleSettings() = s;
}

}  // namespace tavrik::platform
