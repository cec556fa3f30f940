// Values into and out of fields: Replace with each value type code into each field type, the
// typed getters, whole record images, field facts and the structure text, OEM translation.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/xbase/TableTestUtil.h"
#include "xbase/FieldCodec.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::xbase::testing {
namespace {

using tavrik::testing::TempDir;

std::string Bytes32(int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
std::string BytesU32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
std::string BytesDouble(double v) { return std::string(reinterpret_cast<const char*>(&v), 8); }
std::string Byte(char v) { return std::string(1, v); }

class Fields : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = MakeTable(dir_, "PEOPLE.DBF", kPeopleFields, 2);
    set_.Use(path_, "", 0, 2, 1);
    set_.AppendBlank();
  }
  // The stored text of a field of the current record.
  std::string Stored(const std::string& field) {
    TWorkArea& a = set_.CurrentArea();
    return std::string(FieldText(a.RecordImage(), a.FieldByName(field)));
  }

  TempDir dir_;
  std::string path_;
  TWorkAreaSet set_;
};

TEST_F(Fields, ReplaceConvertsEachTypeCode) {
  struct Case {
    const char* field;
    int code;
    std::string value;
    const char* stored;  // nullptr: the error below
    const char* error;
  } cases[] = {
      {"NAME", rtText, "Alice", "Alice     ", nullptr},
      {"NAME", rtFixedText, "ABCDEFGHIJKL", "ABCDEFGHIJ", nullptr},
      {"NAME", rtValueText, "", "          ", nullptr},
      {"NAME", rtInteger, Bytes32(42), "42        ", nullptr},
      {"NAME", rtInteger, Bytes32(-2147483647 - 1), nullptr, "Value -2147483648 does not fit field NAME (C 10,0)"},
      {"NAME", rtDouble, BytesDouble(2.5), "2.5       ", nullptr},
      {"NAME", rtLogical, Byte(1), "T         ", nullptr},
      {"AMOUNT", rtDouble, BytesDouble(3.5), "      3.50", nullptr},
      {"AMOUNT", rtDouble, BytesDouble(-0.001), "      0.00", nullptr},
      {"AMOUNT", rtDouble, BytesDouble(-1234.567), "  -1234.57", nullptr},
      {"AMOUNT", rtDouble, BytesDouble(12345678.9), nullptr, "Value 12345678.90 does not fit field AMOUNT (N 10,2)"},
      {"AMOUNT", rtInteger, Bytes32(42), "     42.00", nullptr},
      {"AMOUNT", rtText, "1234567.125", "1234567.13", nullptr},
      {"AMOUNT", rtText, " -0.004 ", "      0.00", nullptr},
      {"AMOUNT", rtText, "+.5", "      0.50", nullptr},
      {"AMOUNT", rtText, "1,5", nullptr, "Value '1,5' is not a number for field AMOUNT"},
      {"AMOUNT", rtText, "1e3", nullptr, "Value '1e3' is not a number for field AMOUNT"},
      {"AMOUNT", rtText, "", "          ", nullptr},
      {"AMOUNT", rtLogical, Byte(7), "      1.00", nullptr},
      {"COUNT", rtSmallInt, Bytes32(1234), " 1234", nullptr},
      {"COUNT", rtInteger, Bytes32(-9999), "-9999", nullptr},
      {"COUNT", rtInteger, Bytes32(123456), nullptr, "Value 123456 does not fit field COUNT (N 5,0)"},
      {"COUNT", rtUnsigned, BytesU32(0xFFFFFFFFu), nullptr, "Value 4294967295 does not fit field COUNT (N 5,0)"},
      {"COUNT", rtText, "99999.5", nullptr, "Value 99999.5 does not fit field COUNT (N 5,0)"},
      {"COUNT", rtText, "99998.5", "99999", nullptr},
      {"BORN", rtText, "20031105", "20031105", nullptr},
      {"BORN", rtText, "11/05/2003", "20031105", nullptr},
      {"BORN", rtText, "11/05/03", "20031105", nullptr},
      {"BORN", rtText, "2003-11-31", nullptr, "Value '2003-11-31' is not a date for field BORN"},
      {"BORN", rtText, "   ", "        ", nullptr},
      {"BORN", rtInteger, Bytes32(731524), "20031105", nullptr},
      {"BORN", rtDouble, BytesDouble(731524.75), "20031105", nullptr},
      {"BORN", rtInteger, Bytes32(0), "        ", nullptr},
      {"BORN", rtInteger, Bytes32(-1), nullptr, "Day number -1 is not a date for field BORN"},
      {"BORN", rtLogical, Byte(1), nullptr, "Field BORN of type D does not take a logical value"},
      {"OK", rtLogical, Byte(0), "F", nullptr},
      {"OK", rtText, "y", "T", nullptr},
      {"OK", rtText, ".F.", "F", nullptr},
      {"OK", rtText, "", " ", nullptr},
      {"OK", rtText, "maybe", nullptr, "Value 'maybe' is not a logical value for field OK"},
      {"OK", rtInteger, Bytes32(5), "T", nullptr},
      {"OK", rtDouble, BytesDouble(0.0), "F", nullptr},
      {"NOTE", rtInteger, Bytes32(5), nullptr, "Field NOTE is a memo field and takes only text"},
      {"NAME", 7, "x", nullptr, "Unknown value type code 7 for field NAME"},
      {"NAME", rtInteger, "abc", nullptr, "Replace of field NAME needs 4 value bytes, not 3"},
      {"NAME", rtLogical, "", nullptr, "Replace of field NAME needs 1 value byte, not 0"},
      {"nope", rtText, "x", nullptr, "Field NOPE does not exist in PEOPLE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " code " + std::to_string(c.code));
    if (c.stored) {
      set_.Replace(c.field, c.code, c.value);
      EXPECT_EQ(Stored(c.field), c.stored);
      // What the work area shows is what the file holds.
      TWorkAreaSet reader;
      reader.Use(path_, "READER", 1, 2, 1);
      EXPECT_EQ(reader.GetRecord(), set_.GetRecord());
    } else {
      const std::string before = set_.GetRecord();
      ExpectError([&] { set_.Replace(c.field, c.code, c.value); }, c.error);
      EXPECT_EQ(set_.GetRecord(), before);
    }
  }
}

TEST_F(Fields, TypedGetters) {
  set_.Replace("NAME", rtText, "  Alice  ");
  set_.Replace("AMOUNT", rtText, "-3.75");
  set_.Replace("COUNT", rtText, "12");
  set_.Replace("BORN", rtText, "20031105");
  set_.Replace("OK", rtText, "T");
  set_.Replace("NOTE", rtMemoText, "memo text  ");
  EXPECT_EQ(set_.GetTrimString("NAME"), "  Alice");
  EXPECT_EQ(set_.GetTrimString("AMOUNT"), "-3.75");
  EXPECT_EQ(set_.GetTrimString("BORN"), "20031105");
  EXPECT_EQ(set_.GetTrimString("OK"), "T");
  EXPECT_EQ(set_.GetTrimString("NOTE"), "memo text");
  EXPECT_EQ(set_.GetInteger("AMOUNT"), -3);
  EXPECT_DOUBLE_EQ(set_.GetDouble("AMOUNT"), -3.75);
  EXPECT_EQ(set_.GetInteger("COUNT"), 12);
  EXPECT_EQ(set_.GetInteger("BORN"), 731524);
  EXPECT_EQ(set_.GetInteger("OK"), 1);
  EXPECT_EQ(set_.GetInteger("NAME"), 0);  // VAL of a text that is no number
  ExpectError([&] { set_.GetInteger("NOTE"); }, "Field NOTE is not numeric");
  ExpectError([&] { set_.GetTrimString("PIC"); }, "Field PIC holds binary data; read it with GetBlob");

  struct DateCase {
    int format;
    bool century;
    const char* shown;
  } dates[] = {{0, true, "11/05/2003"}, {4, true, "05.11.2003"}, {4, false, "05.11.03"}, {1, true, "2003.11.05"}};
  for (const DateCase& d : dates) {
    set_.SetDateFormat(d.format);
    set_.SetCentury(d.century);
    EXPECT_EQ(set_.GetDateString("BORN"), d.shown);
  }
  set_.Replace("BORN", rtText, "");
  EXPECT_EQ(set_.GetDateString("BORN"), "    .  .  ");
  ExpectError([&] { set_.GetDateString("NAME"); }, "Field NAME is not a date field");

  // A number too large for 32 bits, written by another program.
  TWorkArea& a = set_.CurrentArea();
  std::string image(a.RecordImage());
  image.replace(size_t(a.FieldByName("AMOUNT").offset), 10, "9999999999");
  set_.PutRecord(image);
  ExpectError([&] { set_.GetInteger("AMOUNT"); }, "The value of field AMOUNT does not fit a 32-bit integer");
  EXPECT_DOUBLE_EQ(set_.GetDouble("AMOUNT"), 9999999999.0);
  // Unreadable numbers read as 0, as xBase's VAL reads them.
  image.replace(size_t(a.FieldByName("AMOUNT").offset), 10, "  1,5  abc");
  set_.PutRecord(image);
  EXPECT_DOUBLE_EQ(set_.GetDouble("AMOUNT"), 1.0);
  image.replace(size_t(a.FieldByName("AMOUNT").offset), 10, "  abc     ");
  set_.PutRecord(image);
  EXPECT_DOUBLE_EQ(set_.GetDouble("AMOUNT"), 0.0);
}

TEST_F(Fields, FactsAndStructure) {
  EXPECT_EQ(set_.FieldCount(), 7);
  EXPECT_EQ(set_.RecordSize(), 1 + 10 + 10 + 5 + 8 + 1 + 10 + 10);
  EXPECT_EQ(set_.FieldName(1), "NAME");
  EXPECT_EQ(set_.FieldName(7), "PIC");
  ExpectError([&] { set_.FieldName(8); }, "Field number 8 does not exist in PEOPLE");
  ExpectError([&] { set_.FieldName(0); }, "Field number 0 does not exist in PEOPLE");
  EXPECT_EQ(set_.FieldType(" amount "), "N");
  EXPECT_EQ(set_.FieldWidth("AMOUNT"), 10);
  EXPECT_EQ(set_.FieldDecimals("AMOUNT"), 2);
  EXPECT_EQ(set_.FieldOffset("NAME"), 2);  // counted from 1, behind the deletion flag
  EXPECT_EQ(set_.FieldOffset("AMOUNT"), 12);
  ExpectError([&] { set_.FieldWidth("NOPE"); }, "Field NOPE does not exist in PEOPLE");
  EXPECT_EQ(set_.GetStructure(),
            "NAME\r\nC\r\nA\r\n0\r\n2\r\n"
            "AMOUNT\r\nN\r\nA\r\n2\r\nC\r\n"
            "COUNT\r\nN\r\n5\r\n0\r\n16\r\n"
            "BORN\r\nD\r\n8\r\n0\r\n1B\r\n"
            "OK\r\nL\r\n1\r\n0\r\n23\r\n"
            "NOTE\r\nM\r\nA\r\n0\r\n24\r\n"
            "PIC\r\nB\r\nA\r\n0\r\n2E\r\n");
  EXPECT_FALSE(set_.IsEncrypted(0));
}

TEST_F(Fields, WholeRecordImages) {
  set_.Replace("NOTE", rtMemoText, "kept");
  std::string image = set_.GetRecord();
  const std::string memo_ref = Stored("NOTE");
  image.replace(1, 10, "Bob       ");
  image.replace(36, 10, "  99999999");  // a made-up memo reference is not stored
  set_.PutRecord(image);
  EXPECT_EQ(Stored("NAME"), "Bob       ");
  EXPECT_EQ(Stored("NOTE"), memo_ref);
  EXPECT_EQ(set_.GetMemo("NOTE", 0), "kept");

  image = set_.GetRecord();
  image[0] = '*';
  set_.PutRecord(image);
  EXPECT_TRUE(set_.Deleted());
  image[0] = 'x';
  ExpectError([&] { set_.PutRecord(image); }, "A record's deletion flag must be a blank or \"*\"");
  ExpectError([&] { set_.PutRecord(image.substr(1)); }, "A record of PEOPLE has 55 bytes, not 54");
  EXPECT_TRUE(set_.Deleted());

  set_.Skip(1);
  ASSERT_TRUE(set_.Eof());
  for (auto write : std::vector<std::function<void()>>{
           [&] { set_.PutRecord(set_.GetRecord()); }, [&] { set_.Replace("NAME", rtText, "x"); },
           [&] { set_.Delete(); }, [&] { set_.PutBlob("PIC", "x"); }})
    ExpectError(write, "No current record in PEOPLE (end of file)");
}

TEST_F(Fields, OemTranslationOfCharacterData) {
  set_.SetTranslate(true);
  set_.Replace("NAME", rtText, "\xC4pfel");  // Windows-1252 A-umlaut
  set_.Replace("NOTE", rtMemoText, "Gr\xFC\xDF");
  EXPECT_EQ(Stored("NAME"), "\x8Epfel     ");  // stored in OEM 850
  EXPECT_EQ(set_.GetTrimString("NAME"), "\xC4pfel");
  EXPECT_EQ(set_.GetRecord().substr(1, 5), "\xC4pfel");
  EXPECT_EQ(set_.GetMemo("NOTE", 0), "Gr\xFC\xDF");
  set_.PutRecord(set_.GetRecord());
  EXPECT_EQ(Stored("NAME"), "\x8Epfel     ");
  set_.SetTranslate(false);
  EXPECT_EQ(set_.GetTrimString("NAME"), "\x8Epfel");
  EXPECT_EQ(set_.GetMemo("NOTE", 0), "Gr\x81\xE1");
}

TEST_F(Fields, ReadOnlyWorkAreaRefusesWrites) {
  set_.Close();
  set_.Use(path_, "RO", 1, 2, 1);
  for (auto write : std::vector<std::function<void()>>{
           [&] { set_.AppendBlank(); }, [&] { set_.Replace("NAME", rtText, "x"); }, [&] { set_.Delete(); },
           [&] { set_.PutRecord(set_.GetRecord()); }, [&] { set_.PutBlob("NOTE", "x"); }})
    ExpectError(write, "Table RO is open read-only");
  EXPECT_EQ(set_.RecCount(), 1);
}

}  // namespace
}  // namespace tavrik::xbase::testing
