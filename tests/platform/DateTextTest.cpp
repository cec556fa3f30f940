// Dates and times as text: the formats a locale gives, morning and afternoon markers, the time
// left out at midnight, and the screen cursor's scope.
#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <stdexcept>

#include "platform/DateText.h"
#include "platform/FormatSettings.h"
#include "platform/ScreenCursor.h"

namespace tavrik::platform {
namespace {

class DateTextTest : public ::testing::Test {
 protected:
  ~DateTextTest() override { FormatSettings() = saved_; }
  TFormatSettings saved_ = FormatSettings();
};

TDateTime At(int hour, int minute, int second, int msec = 0) {
  return MakeDateTime(EncodeDayNumber(2024, 3, 7), EncodeTimeMSecs({hour, minute, second, msec}));
}

TEST_F(DateTextTest, LocalePatternsBecomeFormats) {
  const struct {
    const char* locale;
    const char *date, *time, *ampm;
    std::string short_date;
    char date_separator;
    std::string long_time;
    char time_separator;
  } cases[] = {
      {"POSIX as such", "%m/%d/%y", "%H:%M:%S", "%I:%M:%S %p", "mm/dd/yy", '/', "hh:nn:ss", ':'},
      {"nl_NL", "%d-%m-%y", "%T", "", "dd-mm-yy", '-', "hh:nn:ss", ':'},
      {"de_DE", "%d.%m.%Y", "%T", "", "dd.mm.yyyy", '.', "hh:nn:ss", ':'},
      {"en_US", "%m/%d/%Y", "%r", "%I:%M:%S %p", "mm/dd/yyyy", '/', "hh:nn:ss ampm", ':'},
      {"fi_FI", "%d.%m.%Y", "%H.%M.%S", "", "dd.mm.yyyy", '.', "hh.nn.ss", '.'},
      {"ISO", "%F", "%R", "", "yyyy-mm-dd", '-', "hh:nn", ':'},
      {"unpadded", "%-d/%-m/%Y", "%k:%M", "", "d/m/yyyy", '/', "h:nn", ':'},
      {"words between", "%d de %m", "%Hh%M", "", "dd \"de\" mm", '/', "hh\"h\"nn", ':'},
      // A weekday or month name has no counterpart: the defaults stay.
      {"names", "%a %d %b %Y", "%H:%M:%S %Z", "", "m/d/yy", '/', "h:nn:ss", ':'},
      {"%r without its pattern", "%D", "%r", "%r", "mm/dd/yy", '/', "h:nn:ss", ':'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    TFormatSettings s;
    ApplyLocaleTimePatterns(s, c.date, c.time, c.ampm);
    EXPECT_EQ(s.ShortDateFormat, c.short_date);
    EXPECT_EQ(s.DateSeparator, c.date_separator);
    EXPECT_EQ(s.LongTimeFormat, c.long_time);
    EXPECT_EQ(s.TimeSeparator, c.time_separator);
  }
}

TEST_F(DateTextTest, PosixLocaleKeepsTheDefaults) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  FormatSettings() = TFormatSettings();
  LoadFormatSettingsFromLocale();
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(FormatSettings().ShortDateFormat, "m/d/yy");
  EXPECT_EQ(FormatSettings().LongTimeFormat, "h:nn:ss");
  EXPECT_EQ(LocaleFormatSettings().ShortDateFormat, "m/d/yy");
  EXPECT_EQ(DateTimeToStr(At(14, 5, 9)), "3/7/24 14:05:09");
}

TEST_F(DateTextTest, MorningAndAfternoon) {
  FormatSettings().TimeAMString = "vm";
  FormatSettings().TimePMString = "nm";
  const struct {
    const char* format;
    TDateTime value;
    std::string text;
  } cases[] = {
      {"h:nn:ss ampm", At(13, 5, 9), "1:05:09 nm"},
      {"hh:nn ampm", At(0, 0, 1), "12:00 vm"},
      {"h:nn AM/PM", At(12, 30, 0), "12:30 PM"},
      {"h:nn am/pm", At(11, 59, 0), "11:59 am"},
      {"h a/p", At(23, 0, 0), "11 p"},
      {"hh:nn", At(23, 0, 0), "23:00"},          // without a marker the day has 24 hours
      {"h \"at\" a", At(9, 0, 0), "9 at a"},     // a lone a is a letter like any other
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(FormatDateTime(c.format, c.value), c.text);
  }
}

TEST_F(DateTextTest, TimeLeftOutOnlyAtMidnight) {
  EXPECT_EQ(DateTimeToStr(At(0, 0, 0)), "3/7/24");
  EXPECT_EQ(DateTimeToStr(At(0, 0, 0, 500)), "3/7/24");  // milliseconds do not count
  EXPECT_EQ(DateTimeToStr(At(0, 0, 1)), "3/7/24 0:00:01");
  EXPECT_EQ(DateTimeToStr(At(0, 1, 0)), "3/7/24 0:01:00");
}

TEST_F(DateTextTest, NowIsTheLocalTime) {
  const std::time_t seconds = std::time(nullptr);
  std::tm local{};
  localtime_r(&seconds, &local);
  const TDateTime now = Now();
  const TDateParts d = DecodeDayNumber(DateTimeDay(now));
  const TTimeParts t = DecodeTimeMSecs(DateTimeMSecs(now));
  // The clock may pass a minute between the two readings, but no more.
  EXPECT_EQ(d.year, local.tm_year + 1900);
  EXPECT_EQ(d.month, local.tm_mon + 1);
  EXPECT_LE(std::abs((t.hour * 60 + t.minute) - (local.tm_hour * 60 + local.tm_min)), 1);
}

TEST(ScreenCursor, ScopeShowsAndPutsBack) {
  ScreenCursor& cursor = CurrentScreenCursor();
  ASSERT_EQ(cursor.Cursor(), TCursor::crDefault);
  {
    TCursorScope busy(TCursor::crHourGlass);
    EXPECT_EQ(cursor.Cursor(), TCursor::crHourGlass);
    {
      TCursorScope nested(TCursor::crHourGlass);
    }
    EXPECT_EQ(cursor.Cursor(), TCursor::crHourGlass);  // the inner scope found the hourglass
  }
  EXPECT_EQ(cursor.Cursor(), TCursor::crDefault);
  try {
    TCursorScope busy(TCursor::crHourGlass);
    throw std::runtime_error("fails");
  } catch (const std::runtime_error&) {
    EXPECT_EQ(cursor.Cursor(), TCursor::crDefault);  // back before the error is handled
  }
}

}  // namespace
}  // namespace tavrik::platform
