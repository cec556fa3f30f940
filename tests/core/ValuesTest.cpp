// The shared values: day numbers, variants and their conversions, and parameters in their
// native byte forms.
#include <gtest/gtest.h>

#include <cstring>

#include "core/DateTime.h"
#include "core/Params.h"
#include "core/Variant.h"
#include "tests/support/ErrorText.h"

namespace tavrik {
namespace {

TEST(DayNumbers, CalendarEdges) {
  struct Case {
    int y, m, d;
    int32_t day;
  };
  for (const Case& c : std::vector<Case>{{1, 1, 1, 1},
                                         {1, 12, 31, 365},
                                         {4, 3, 1, 1156},  // after the first leap day
                                         {1900, 3, 1, 693655},
                                         {2000, 2, 29, 730179},
                                         {2003, 11, 5, 731524},
                                         {9999, 12, 31, 3652059}}) {
    SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
    EXPECT_EQ(EncodeDayNumber(c.y, c.m, c.d), c.day);
    const TDateParts p = DecodeDayNumber(c.day);
    EXPECT_EQ(p.year, c.y);
    EXPECT_EQ(p.month, c.m);
    EXPECT_EQ(p.day, c.d);
  }
  // Every day of four centuries goes there and back.
  for (int32_t day = EncodeDayNumber(1800, 1, 1); day <= EncodeDayNumber(2200, 1, 1); ++day) {
    const TDateParts p = DecodeDayNumber(day);
    ASSERT_EQ(EncodeDayNumber(p.year, p.month, p.day), day);
  }
  for (auto [y, m, d] : std::vector<std::tuple<int, int, int>>{{1900, 2, 29}, {2003, 0, 5}, {2003, 11, 0}, {0, 1, 1}, {10000, 1, 1}})
    EXPECT_EQ(EncodeDayNumber(y, m, d), 0);
  EXPECT_EQ(DecodeDayNumber(0).year, 0);
  EXPECT_EQ(DecodeDayNumber(3652060).year, 0);
}

TEST(DayNumbers, TimeOfDay) {
  const TDateTime t = MakeDateTime(731524, EncodeTimeMSecs({13, 45, 30, 250}));
  EXPECT_EQ(DateTimeDay(t), 731524);
  EXPECT_EQ(DateTimeMSecs(t), ((13 * 60 + 45) * 60 + 30) * 1000 + 250);
  const TTimeParts p = DecodeTimeMSecs(DateTimeMSecs(t));
  EXPECT_EQ(p.hour, 13);
  EXPECT_EQ(p.msec, 250);
  EXPECT_EQ(DateTimeMSecs(MakeDateTime(5, kMSecsPerDay - 1)), kMSecsPerDay - 1);
}

TEST(Variants, Conversions) {
  const TVariant date = TVariant::DateTime(MakeDateTime(731524, 0));
  struct Case {
    const char* name;
    TVariant v;
    std::string text;
  };
  for (const Case& c : std::vector<Case>{{"empty", TVariant(), ""},
                                         {"null", TVariant::Null(), ""},
                                         {"integer", TVariant(-42), "-42"},
                                         {"float", TVariant(3.5), "3.5"},
                                         {"float digits", TVariant(0.1 + 0.2), "0.3"},
                                         {"whole float", TVariant(1234567.0), "1234567"},
                                         {"date", date, "2003-11-05"},
                                         {"date-time", TVariant::DateTime(MakeDateTime(731524, 3723000)), "2003-11-05 01:02:03"},
                                         {"text", TVariant("abc"), "abc"},
                                         {"boolean", TVariant(true), "True"}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.v.AsString(), c.text);
  }
  EXPECT_EQ(TVariant(" 12 ").AsInteger(), 12);
  EXPECT_EQ(TVariant(2.5).AsInteger(), 3);
  EXPECT_EQ(TVariant("2.25").AsFloat(), 2.25);
  EXPECT_TRUE(TVariant("true").AsBoolean());
  EXPECT_FALSE(TVariant(0).AsBoolean());
  EXPECT_EQ(TVariant(true).AsInteger(), -1);
  EXPECT_EQ(TVariant("2003-11-05").AsDateTime(), MakeDateTime(731524, 0));
  EXPECT_EQ(TVariant().AsInteger(), 0);
  EXPECT_EQ(TVariant(3), TVariant(3.0));
  EXPECT_FALSE(TVariant("3") == TVariant(3));
  EXPECT_FALSE(TVariant::Null() == TVariant());
  EXPECT_EQ(testing::MessageOf([] { TVariant("12x").AsInteger(); }), "Could not convert variant of type (Text) into type (Integer)");
  EXPECT_EQ(testing::MessageOf([] { TVariant::Null().AsFloat(); }), "Could not convert variant of type (Null) into type (Double)");
  EXPECT_EQ(testing::MessageOf([] { TVariant("5/11/2003").AsDateTime(); }), "Could not convert variant of type (Text) into type (Date)");
  EXPECT_EQ(testing::MessageOf([] { TVariant("yes").AsBoolean(); }), "Could not convert variant of type (Text) into type (Boolean)");
}

template <class T>
std::string Bytes(T v) {
  std::string b(sizeof v, '\0');
  std::memcpy(b.data(), &v, sizeof v);
  return b;
}

TEST(Params, NativeFormsGoThereAndBack) {
  const TVariant when = TVariant::DateTime(MakeDateTime(731524, 3723000));
  struct Case {
    TFieldType type;
    TVariant value;
    std::string native;
    TVariant back;
  };
  const std::vector<Case> cases = {
      {TFieldType::ftString, "IKKE*.*", std::string("IKKE*.*\0", 8), "IKKE*.*"},
      {TFieldType::ftSmallint, -2, Bytes(int16_t(-2)), -2},
      {TFieldType::ftWord, 65535, Bytes(uint16_t(65535)), 65535},
      {TFieldType::ftBoolean, true, Bytes(uint16_t(0xFFFF)), true},
      {TFieldType::ftInteger, 100000, Bytes(int32_t(100000)), 100000},
      {TFieldType::ftDate, when, Bytes(int32_t(731524)), TVariant::DateTime(731524)},
      {TFieldType::ftTime, when, Bytes(int32_t(3723000)), TVariant::DateTime(MakeDateTime(0, 3723000))},
      {TFieldType::ftFloat, 2.5, Bytes(2.5), 2.5},
      {TFieldType::ftDateTime, when, Bytes(731524.0 * 86400000 + 3723000), when},
      {TFieldType::ftBlob, "a\0b", std::string("a"), "a"},
      {TFieldType::ftCursor, 1, "", TVariant::Null()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.type));
    TParam p("P", c.type, TParamType::ptInput);
    p.SetValue(c.value);
    EXPECT_EQ(p.NativeValue(), c.native);
    TParam q("Q", c.type, TParamType::ptOutput);
    q.SetNativeValue(c.native);
    EXPECT_EQ(q.Value(), c.back);
  }
  TParam stamp("S", TFieldType::ftTimeStamp, TParamType::ptInput);
  stamp.SetValue(when);
  EXPECT_EQ(stamp.NativeValue().size(), 16u);
  TParam stamp_back("S", TFieldType::ftTimeStamp, TParamType::ptOutput);
  stamp_back.SetNativeValue(stamp.NativeValue());
  EXPECT_EQ(stamp_back.Value(), when);
  TParam bcd("B", TFieldType::ftBCD, TParamType::ptInput);
  for (double v : {0.0, -12.5, 1234567.891, 0.001}) {
    bcd.SetValue(v);
    ASSERT_EQ(bcd.NativeValue().size(), 34u);
    EXPECT_DOUBLE_EQ(BcdToDouble(bcd.NativeValue()), v);
  }
  EXPECT_EQ(DoubleToBcd(-12.5).substr(0, 4), std::string("\x03\x81\x12\x50", 4));
}

TEST(Params, ErrorsAndLookup) {
  EXPECT_EQ(testing::MessageOf([] { TParam("DIR", TFieldType::ftUnknown, TParamType::ptInput).NativeValue(); }),
            "Field 'DIR' is of an unknown type");
  EXPECT_EQ(testing::MessageOf([] { TParam("DIR", TFieldType::ftVariant, TParamType::ptInput).NativeValue(); }),
            "Field 'DIR' is of an unsupported type");
  EXPECT_EQ(testing::MessageOf([] { TParam("N", TFieldType::ftInteger, TParamType::ptOutput).SetNativeValue("ab"); }),
            "Parameter 'N' value is too short");
  TParams params;
  params.Add("Files", TFieldType::ftString, TParamType::ptInput).SetValue("x");
  EXPECT_EQ(params.ParamByName("FILES").Value(), TVariant("x"));
  EXPECT_EQ(params.FindParam("other"), nullptr);
  EXPECT_EQ(testing::MessageOf([&] { params.ParamByName("other"); }), "Parameter 'other' not found");
}

}  // namespace
}  // namespace tavrik
