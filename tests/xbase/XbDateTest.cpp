#include "xbase/XbDate.h"

#include <gtest/gtest.h>

namespace tavrik::xbase {
namespace {

TEST(XbDate, DayNumbersRoundTripAcrossCalendarEdges) {
  struct Case {
    TXbDate date;
    int32_t day_number;
  } cases[] = {
      {{1, 1, 1}, 1},
      {{1, 12, 31}, 365},
      {{4, 12, 31}, 1461},          // first leap year of the calendar
      {{100, 3, 1}, 36219},         // 100 is not a leap year
      {{400, 12, 31}, 146097},      // 400 is
      {{1899, 12, 30}, 693594},     // the day before the spreadsheet epoch
      {{2000, 2, 29}, 730179},
      {{2003, 11, 5}, 731524},
      {{9999, 12, 31}, 3652059},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Dtos(c.date));
    EXPECT_EQ(DateToDayNumber(c.date), c.day_number);
    EXPECT_EQ(DayNumberToDate(c.day_number), c.date);
  }
  // Every day of four centuries maps back to itself.
  for (int32_t n = 693594; n < 693594 + 146097; ++n) ASSERT_EQ(DateToDayNumber(DayNumberToDate(n)), n);
  EXPECT_EQ(DateToDayNumber({2000, 1, 1}) + kJulianDayOfDayZero, 2451545);
}

TEST(XbDate, InvalidAndBlankDatesAreDayZero) {
  for (TXbDate d : {TXbDate{}, TXbDate{2003, 2, 29}, TXbDate{1900, 2, 29}, TXbDate{2003, 13, 1},
                    TXbDate{2003, 0, 1}, TXbDate{2003, 4, 31}, TXbDate{0, 1, 1}, TXbDate{10000, 1, 1}})
    EXPECT_EQ(DateToDayNumber(d), 0) << d.year << "-" << d.month << "-" << d.day;
  EXPECT_TRUE(DayNumberToDate(0).IsBlank());
  EXPECT_TRUE(DayNumberToDate(-5).IsBlank());
  EXPECT_TRUE(DayNumberToDate(3652060).IsBlank());
  EXPECT_EQ(DayOfWeek({2003, 11, 5}), 4);  // a Wednesday
  EXPECT_EQ(DayOfWeek({2024, 6, 2}), 1);   // a Sunday
  EXPECT_EQ(DayOfWeek({}), 0);
}

TEST(XbDate, RecordForm) {
  EXPECT_EQ(Dtos({2003, 11, 5}), "20031105");
  EXPECT_EQ(Dtos({987, 1, 2}), "09870102");
  EXPECT_EQ(Dtos({}), "        ");
  EXPECT_EQ(Dtos({2003, 2, 30}), "        ");
  EXPECT_EQ(ParseDtos("20031105"), (TXbDate{2003, 11, 5}));
  EXPECT_EQ(ParseDtos("        "), TXbDate{});
  EXPECT_EQ(ParseDtos(""), TXbDate{});
  for (const char* bad : {"20031131", "2003110", "200311055", "2003 105", "20031100", "00000000", "abcdefgh"})
    EXPECT_FALSE(ParseDtos(bad).has_value()) << bad;
}

TEST(XbDate, EpochWindow) {
  EXPECT_EQ(WidenYear(80, 1980), 1980);
  EXPECT_EQ(WidenYear(79, 1980), 2079);
  EXPECT_EQ(WidenYear(5, 1980), 2005);
  EXPECT_EQ(WidenYear(85, 1980), 1985);
  EXPECT_EQ(WidenYear(0, 1900), 1900);
  EXPECT_EQ(WidenYear(49, 1950), 2049);
}

TEST(XbDate, ShownFormsPerDateFormat) {
  struct Case {
    int format;
    bool century;
    const char* shown;
    const char* blank;
  } cases[] = {
      {0, true, "11/05/2003", "  /  /    "},  {0, false, "11/05/03", "  /  /  "},
      {1, true, "2003.11.05", "    .  .  "},  {1, false, "03.11.05", "  .  .  "},
      {2, true, "05/11/2003", "  /  /    "},  {3, false, "05/11/03", "  /  /  "},
      {4, true, "05.11.2003", "  .  .    "},  {5, true, "05-11-2003", "  -  -    "},
      {6, false, "05-11-03", "  -  -  "},     {99, true, "11/05/2003", "  /  /    "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    TEngineSettings s;
    s.date_format = c.format;
    s.century = c.century;
    EXPECT_EQ(FormatDate({2003, 11, 5}, s), c.shown);
    EXPECT_EQ(FormatDate({}, s), c.blank);
    EXPECT_EQ(ParseDate(c.shown, s), (TXbDate{2003, 11, 5}));
    EXPECT_EQ(ParseDate(c.blank, s), TXbDate{});
  }
  EXPECT_EQ(DatePicture(4, false), "dd.mm.yy");
  EXPECT_EQ(DatePicture(1, true), "yyyy.mm.dd");
  EXPECT_TRUE(IsKnownDateFormat(0));
  EXPECT_TRUE(IsKnownDateFormat(99));
  EXPECT_FALSE(IsKnownDateFormat(7));
  EXPECT_FALSE(IsKnownDateFormat(-1));
}

TEST(XbDate, ReadingShownDatesWidensAndRejects) {
  TEngineSettings s;  // American, epoch 1980
  EXPECT_EQ(ParseDate("1/2/79", s), (TXbDate{2079, 1, 2}));
  EXPECT_EQ(ParseDate("01/02/85", s), (TXbDate{1985, 1, 2}));
  EXPECT_EQ(ParseDate("01/02/0085", s), (TXbDate{85, 1, 2}));  // four digits are taken as written
  s.epoch = 1900;
  EXPECT_EQ(ParseDate("01/02/05", s), (TXbDate{1905, 1, 2}));
  for (const char* bad : {"02/30/2003", "13/01/2003", "11/05", "11/05/2003/1", "11x05x2003", "123/1/2003", "1/2/12345"})
    EXPECT_FALSE(ParseDate(bad, s).has_value()) << bad;
}

}  // namespace
}  // namespace tavrik::xbase
