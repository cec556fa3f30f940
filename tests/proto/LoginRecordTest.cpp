#include <gtest/gtest.h>

#include "proto/MvFields.h"
#include "proto/MvLogin.h"
#include "tests/support/WireText.h"

namespace tavrik {
namespace {

using testing::LoginRecord;
using testing::Pad;

TEST(LoginRecord, TheProgramsRecordGivesEveryFieldWithoutPadding) {
  std::string record = LoginRecord("qz7rmw", "PORTAL", "2882400018", "SRV 1", "Group A");
  ASSERT_EQ(record.size(), 1788u);
  TLoginRecord r = ParseLoginRecord(record);
  EXPECT_EQ(r.password, "qz7rmw");
  EXPECT_EQ(r.user, "PORTAL");
  EXPECT_EQ(r.machine_id, "2882400018");
  EXPECT_EQ(r.login_text, "");
  EXPECT_EQ(r.database, "Default");
  EXPECT_EQ(r.version, "6");
  EXPECT_FALSE(r.compression);
  EXPECT_EQ(r.level, "0");
  EXPECT_EQ(r.server_name, "SRV 1");
  EXPECT_EQ(r.group_name, "Group A");
}

TEST(LoginRecord, TheClientsRecordIsTheOneTheServerReads) {
  TLoginRecord r;
  r.password = "qz7rmw";
  r.user = "PORTAL";
  r.machine_id = "2882400018";
  r.database = "Default";
  r.version = "6";
  r.level = "0";
  r.server_name = "SRV 1";
  r.group_name = "Group A";
  const std::string record = BuildLoginRecord(r);
  EXPECT_EQ(record, LoginRecord("qz7rmw", "PORTAL", "2882400018", "SRV 1", "Group A"));
  TLoginRecord back = ParseLoginRecord(record);
  EXPECT_EQ(back.user, r.user);
  EXPECT_EQ(back.server_name, r.server_name);
  r.level = "0x";
  EXPECT_THROW(BuildLoginRecord(r), EMvField);
  EXPECT_EQ(LogoutPayload("PORTAL"), "PORTAL    ");
  EXPECT_EQ(LogoutPayload("ADMINISTRATOR"), "ADMINISTRATOR");  // a longer name whole
}

TEST(LoginRecord, NumbersOfAnyWidthAndAServerNameStartingWithDigits) {
  TLoginRecord r = ParseLoginRecord(LoginRecord("pw", "U", "0", "42SRV", "", "123Y4567"));
  EXPECT_EQ(r.version, "123");
  EXPECT_TRUE(r.compression);
  EXPECT_EQ(r.level, "4567");
  EXPECT_EQ(r.server_name, "42SRV");
  EXPECT_EQ(r.group_name, "");
  // Leading blanks belong to a value; only the padding goes.
  EXPECT_EQ(ParseLoginRecord(LoginRecord(" pw ", "U")).password, " pw");
}

TEST(LoginRecord, RecordsThatCannotBeReadAreRefusedWithTheReason) {
  struct Case {
    const char* name;
    std::string record;
    const char* message;
  } cases[] = {
      {"empty", "", "login record of 0 bytes, at least 1788 expected"},
      {"one short", LoginRecord("pw", "U").substr(1), "login record of 1787 bytes, at least 1788 expected"},
      {"no first number", LoginRecord("pw", "U", "1", "S", "G", "N00"), "login record without its first number"},
      {"first number too long", LoginRecord("pw", "U", "1", "S", "G", "1234567890N0"),
       "login record without its first number"},
      {"other letter", LoginRecord("pw", "U", "1", "S", "G", "6X0"), "login record without its Y/N field"},
      {"digits only", LoginRecord("pw", "U", "1", "S", "G", "600"), "login record without its Y/N field"},
      {"no second number", LoginRecord("pw", "U", "1", "S", "G", "6NN0"), "login record without its second number"},
      {"letters in second number", LoginRecord("pw", "U", "1", "S", "G", "6N0A"),
       "login record without its second number"},
      {"blank after second number", LoginRecord("pw", "U", "1", "S", "G", "6N0 "),
       "login record without its second number"},
      // A password longer than 255 is sent whole and shifts every field after it.
      {"overlong password", LoginRecord(std::string(300, 'p'), "U"), "login record without its first number"},
  };
  for (const auto& c : cases) {
    try {
      ParseLoginRecord(c.record);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const ELoginRecord& e) {
      EXPECT_EQ(e.Message(), c.message) << c.name;
    }
  }
}

}  // namespace
}  // namespace tavrik
