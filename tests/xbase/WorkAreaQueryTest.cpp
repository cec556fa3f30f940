// Expressions and filters on work areas over real tables: values of fields, dates, DELETED() and
// RECNO(); the filter's counts and position with deleted records hidden; OEM translation between
// the client's text and what keys and expressions see.
#include <gtest/gtest.h>

#include "tests/xbase/PeopleTable.h"
#include "xbase/ExprDate.h"
#include "xbase/ExprError.h"

namespace tavrik::xbase::testing {
namespace {

using tavrik::testing::TempDir;

class Query : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = MakePeople(dir_);
    set_.Use(path_, "", 0, 2, 1);
  }
  TempDir dir_;
  std::string path_;
  TWorkAreaSet set_;
};

struct TValueCase {
  int recno;
  std::string expression;
  int type;
  std::string text;  // EvalString
};

TEST_F(Query, ExpressionsSeeTheCurrentRecord) {
  set_.Go(3);
  set_.Delete();
  const TValueCase cases[] = {
      {3, "NAME", 1, "Brown     "},
      {3, "TRIM(NAME) + \"/\" + CITY", 1, "Brown/Utrecht "},
      {3, "AMOUNT * 2", 2, "500"},
      {6, "AMOUNT / 4", 2, "2.5"},
      {3, "BORN", 4, "19700315"},
      {3, "BORN + 17", 4, "19700401"},
      {4, "BORN", 4, "        "},
      {3, "DTOC(BORN)", 1, "03/15/1970"},
      {3, "ACTIVE", 3, "T"},
      {2, "ACTIVE", 3, "F"},
      {3, "DELETED()", 3, "T"},
      {2, "DELETED()", 3, "F"},
      {5, "RECNO()", 2, "5"},
      {3, "NAME = \"Br\"", 3, "T"},
      {3, "UPPER(CITY) = \"UTRECHT\" .AND. AMOUNT > 200", 3, "T"},
      {4, "EMPTY(BORN)", 3, "T"},
      {7, "RECNO()", 2, "7"},       // the phantom record past the end
      {7, "NAME", 1, "          "},
  };
  for (const TValueCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.recno) + ": " + c.expression);
    set_.Go(c.recno);
    EXPECT_EQ(set_.EvalTest(c.expression), c.type);
    EXPECT_EQ(set_.EvalString(c.expression), c.text);
    if (c.type == 3) {
      EXPECT_EQ(set_.EvalLogical(c.expression), c.text == "T");
    }
  }
  set_.Go(3);
  EXPECT_DOUBLE_EQ(set_.EvalNumeric("AMOUNT + 0.5"), 250.5);
  EXPECT_EQ(set_.EvalNumeric("BORN"), DayFromDtos("19700315"));
  set_.SetExact(true);  // comparisons follow the work area's settings
  EXPECT_FALSE(set_.EvalLogical("NAME = \"Br\""));
  set_.SetDateFormat(4);
  EXPECT_EQ(set_.EvalString("DTOC(BORN)"), "15.03.1970");
}

TEST_F(Query, BadExpressionsAreErrors) {
  struct Case {
    const char* what;
    std::function<void()> call;
    std::string error;
  } cases[] = {
      {"unknown field", [&] { set_.EvalTest("NOSUCH"); }, "Unknown field: NOSUCH"},
      {"syntax", [&] { set_.EvalString("NAME +"); }, "Syntax error at position 7: unexpected end of expression"},
      {"empty", [&] { set_.EvalTest(""); }, "Empty expression"},
      {"division by zero", [&] { set_.EvalNumeric("AMOUNT / 0"); }, "Division by zero"},
      {"not numeric", [&] { set_.EvalNumeric("NAME"); }, "Expression is not numeric: NAME"},
      {"not logical", [&] { set_.EvalLogical("AMOUNT"); }, "Expression is not logical: AMOUNT"},
      {"filter not logical", [&] { set_.QueryRowCount("NAME"); }, "Filter expression is not logical: NAME"},
      {"filter syntax", [&] { set_.QueryRowCount("AMOUNT >"); }, "Syntax error at position 9: unexpected end of expression"},
  };
  set_.QueryRowCount("ACTIVE");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectError<EExprError>(c.call, c.error);
  }
  EXPECT_EQ(set_.DBFilter(), "ACTIVE");  // a refused filter leaves the one before
  EXPECT_EQ(set_.Count(), 4);

  // Memo fields have no place in expressions.
  const std::string memo = MakeTable(dir_, "MEMO.DBF", kPeopleFields, 2);
  set_.Use(memo, "", 0, 2, 1);
  ExpectError<EExprError>([&] { set_.EvalTest("NOTE"); }, "Field NOTE of type M cannot be used in an expression");
}

TEST_F(Query, QueryTestJudgesFilters) {
  EXPECT_EQ(set_.QueryTest("AMOUNT > 5 .AND. ACTIVE"), 1);
  EXPECT_EQ(set_.QueryTest("  ACTIVE  "), 1);
  EXPECT_EQ(set_.QueryTest("NAME"), 0);
  EXPECT_EQ(set_.QueryTest(""), 0);
  EXPECT_EQ(set_.QueryTest("NAME +"), -1);
  EXPECT_EQ(set_.QueryTest("NOSUCH > 1"), -1);
  EXPECT_EQ(set_.DBFilter(), "");  // judging sets nothing
}

TEST_F(Query, FiltersCountAndPositionWithDeletedRecords) {
  set_.Go(4);
  set_.Delete();  // smith, 75
  set_.Go(2);
  set_.Delete();  // Jones, 50

  TQueryCount n = set_.QueryRowCount("AMOUNT >= 75");  // 1, 3, 4, 5
  EXPECT_EQ(n.matches, 4u);
  EXPECT_EQ(n.record_count, 4u);
  EXPECT_EQ(set_.RecNo(), 1);
  EXPECT_EQ(set_.DBFilter(), "AMOUNT >= 75");
  EXPECT_EQ(Walk(set_), (TRecnos{1, 3, 4, 5}));

  set_.SetDeleted(true);
  EXPECT_EQ(set_.Count(), 3);
  EXPECT_EQ(set_.QueryRecCount(), 4);  // the filter alone
  EXPECT_EQ(Walk(set_), (TRecnos{1, 3, 5}));
  n = set_.QueryRowCount("AMOUNT < 100");  // 2, 4 and 6, of which 2 and 4 are deleted
  EXPECT_EQ(n.matches, 1u);
  EXPECT_EQ(n.record_count, 3u);
  EXPECT_EQ(set_.RecNo(), 6);
  set_.Go(1);  // a record the filter refuses stays reachable by number
  EXPECT_EQ(set_.RecNo(), 1);
  set_.Skip(1);
  EXPECT_EQ(set_.RecNo(), 6);

  n = set_.QueryRowCount("AMOUNT > 1000");
  EXPECT_EQ(n.matches, 0u);
  EXPECT_EQ(n.record_count, 0u);
  EXPECT_TRUE(set_.Eof());
  EXPECT_TRUE(set_.Bof());

  n = set_.QueryRowCount("");  // removes the filter
  EXPECT_EQ(n.matches, 4u);
  EXPECT_EQ(n.record_count, 6u);
  EXPECT_EQ(set_.RecNo(), 1);
  EXPECT_EQ(set_.DBFilter(), "");
  EXPECT_EQ(set_.Count(), 4);
  EXPECT_EQ(set_.QueryRecCount(), 6);

  // A record the condition cannot be computed for does not match: amounts of 100 divide by zero.
  n = set_.QueryRowCount("1 / (AMOUNT - 100) < 1");
  EXPECT_EQ(Walk(set_), (TRecnos{3, 6}));
  EXPECT_EQ(n.matches, 2u);

  // Counting leaves the position as it was.
  set_.QueryRowCount("!DELETED() .AND. CITY = \"Utrecht\"");
  set_.SetDeleted(false);
  set_.Go(6);
  EXPECT_EQ(set_.Count(), 3);
  EXPECT_EQ(set_.RecNo(), 6);
  // The filter is the work area's own.
  TWorkAreaSet other;
  other.Use(path_, "", 0, 2, 1);
  EXPECT_EQ(other.Count(), 6);
  EXPECT_EQ(other.DBFilter(), "");
}

TEST_F(Query, FilterAndScopeCombineInAnOrder) {
  set_.IndexTag("", "NAME", "NAME", "", false, false);
  set_.SetScope("A", "J");  // Adams, Brown, Jones, Jones
  TQueryCount n = set_.QueryRowCount("CITY = \"Delft\"");
  EXPECT_EQ(n.matches, 2u);
  EXPECT_EQ(set_.RecNo(), 5);
  EXPECT_EQ(Walk(set_), (TRecnos{5, 2}));
  EXPECT_EQ(WalkBack(set_), (TRecnos{5, 2}));
  set_.SetScope("", "");
  EXPECT_EQ(set_.Count(), 2);
}

// The client's text is ANSI; the table stores OEM while translation is on.
TEST_F(Query, TranslatedTextMeetsTheStoredText) {
  set_.SetTranslate(true);
  set_.Go(1);
  set_.Replace("NAME", rtText, "M\xFCller");  // ANSI ü
  set_.Go(2);
  set_.Replace("CITY", rtText, "Z\xFCrich");
  set_.Commit();
  EXPECT_NE(ReadAll(path_).find("M\x81ller"), std::string::npos);  // CP850 ü on disk

  EXPECT_EQ(set_.IndexTag("", "NAME", "NAME", "", false, false), 1);
  EXPECT_TRUE(set_.Seek("M\xFCller"));
  EXPECT_EQ(set_.RecNo(), 1);
  EXPECT_TRUE(set_.SetScope("M\xFC", "M\xFC"));
  EXPECT_EQ(set_.GetScope(0), "M\xFC");
  EXPECT_EQ(set_.Count(), 1);
  set_.SetScope("", "");
  set_.Go(1);
  EXPECT_EQ(set_.EvalString("NAME"), "M\xFCller    ");
  EXPECT_TRUE(set_.EvalLogical("CITY = \"Utrecht\" .AND. NAME = \"M\xFC\""));
  EXPECT_EQ(set_.QueryRowCount("CITY = \"Z\xFCrich\"").matches, 1u);
  EXPECT_EQ(set_.RecNo(), 2);
  EXPECT_EQ(set_.DBFilter(), "CITY = \"Z\xFCrich\"");
  set_.QueryRowCount("");
  EXPECT_EQ(set_.IndexTag("", "MUE", "CITY", "NAME = \"M\xFC\"", false, false), 2);
  EXPECT_EQ(set_.IndexCondition(), "NAME = \"M\xFC\"");
  EXPECT_EQ(Walk(set_), (TRecnos{1}));

  // A work area without translation sees and seeks the stored bytes.
  TWorkAreaSet raw;
  raw.Use(path_, "", 0, 2, 1);
  raw.SetOrder(1);
  EXPECT_FALSE(raw.Seek("M\xFCller"));
  EXPECT_TRUE(raw.Seek("M\x81ller"));
  EXPECT_EQ(raw.EvalString("TRIM(NAME)"), "M\x81ller");
  raw.SetOrder(2);
  EXPECT_EQ(raw.IndexCondition(), "NAME = \"M\x81\"");
}

}  // namespace
}  // namespace tavrik::xbase::testing
