// TMarvekTable on the local engine: reading, moving, searching and editing.
#include <gtest/gtest.h>

#include "tests/tables/TableFixture.h"

namespace tavrik::testing {
namespace {

class LocalTableTest : public TableTest {};

TEST_F(LocalTableTest, Smoke) {
  MakeTable("PEOPLE.DBF", "NAME,C,10,0;AGE,N,3,0;AMOUNT,N,8,2", 3, [](xbase::TWorkAreaSet& s, int i) {
    s.Replace("NAME", 1024, "P" + std::to_string(i));
    s.Replace("AGE", 1024, std::to_string(i * 10));
    s.Replace("AMOUNT", 1024, std::to_string(i) + ".5");
  });
  auto t = LocalTable("PEOPLE.DBF");
  t->Open();
  EXPECT_EQ(Column(*t, "NAME"), (std::vector<std::string>{"P1", "P2", "P3"}));
  t->Last();
  EXPECT_EQ(t->FieldByName("AGE").AsInteger(), 30);
  t->Prior();
  EXPECT_EQ(t->FieldByName("AMOUNT").AsFloat(), 2.5);
  t->Append();
  t->FieldByName("NAME").SetAsString("NEW");
  t->FieldByName("AGE").SetValue(77);
  t->Post();
  EXPECT_EQ(t->RecNo(), 4);
  t->First();
  EXPECT_EQ(Column(*t, "NAME"), (std::vector<std::string>{"P1", "P2", "P3", "NEW"}));
  EXPECT_TRUE(t->Locate("NAME", {TVariant("P2")}, 0));
  EXPECT_EQ(t->RecNo(), 2);
  t->Close();
}

}  // namespace
}  // namespace tavrik::testing

namespace tavrik::testing {
namespace {
class ServerSmoke : public TableTest {};
TEST_F(ServerSmoke, Smoke) {
  MakeTable("PEOPLE.DBF", "NAME,C,10,0;AGE,N,3,0;AMOUNT,N,8,2", 120, [](xbase::TWorkAreaSet& s, int i) {
    s.Replace("NAME", 1024, "P" + std::to_string(i));
    s.Replace("AGE", 1024, std::to_string(i));
    s.Replace("AMOUNT", 1024, std::to_string(i) + ".5");
  });
  StartWithData();
  auto c = Connect();
  auto t = ServerTable(*c, "PEOPLE.DBF");
  t->Open();
  auto names = Column(*t, "NAME");
  ASSERT_EQ(names.size(), 120u);
  EXPECT_EQ(names[119], "P120");
  t->Last();
  int n = 0;
  for (; !t->Bof(); t->Prior()) ++n;
  EXPECT_EQ(n, 120);
  t->Append();
  t->FieldByName("NAME").SetAsString("NEW");
  t->Post();
  EXPECT_EQ(t->RecNo(), 121);
  EXPECT_TRUE(t->Locate("NAME", {TVariant("P2")}, 0));
  EXPECT_EQ(t->RecNo(), 2);
  EXPECT_EQ(t->FieldByName("AGE").AsInteger(), 2);
  t->Close();
  EXPECT_TRUE(errors.empty()) << errors[0];
}
}  // namespace
}  // namespace tavrik::testing
