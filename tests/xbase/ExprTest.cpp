#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/xbase/OrderTestTable.h"
#include "xbase/Expr.h"
#include "xbase/ExprDate.h"
#include "xbase/ExprError.h"
#include "xbase/ExprImageContext.h"
#include "xbase/ExprKey.h"

namespace tavrik::xbase {
namespace {

using testing::TMemTable;

TMemTable MakeTable() {
  TMemTable t({{"NAME", 'C', 10, 0, 0},
               {"CITY", 'C', 8, 0, 0},
               {"AMOUNT", 'N', 10, 2, 0},
               {"QTY", 'N', 5, 0, 0},
               {"BORN", 'D', 8, 0, 0},
               {"ACTIVE", 'L', 1, 0, 0},
               {"NOTE", 'M', 10, 0, 0},
               {"EMPTYD", 'D', 8, 0, 0},
               {"BADNUM", 'N', 6, 0, 0},
               {"COUNTER", 'I', 4, 0, 0}});
  t.Append(t.Image({{"NAME", "Smith"}, {"CITY", "Utrecht"}, {"AMOUNT", "123.45"}, {"QTY", "3"},
                    {"BORN", "19850704"}, {"ACTIVE", "T"}, {"BADNUM", "1,5"}}));
  return t;
}

// A value as one text: C as it is, N with up to 10 significant digits, L .T./.F.,
// D "D:yyyymmdd" (blanks for the blank date).
std::string Show(const TExprValue& v) {
  char buf[64];
  switch (v.type) {
    case TExprType::etCharacter: return v.text;
    case TExprType::etNumeric: std::snprintf(buf, sizeof buf, "%.10g", v.number); return buf;
    case TExprType::etLogical: return v.logical ? ".T." : ".F.";
    case TExprType::etDate: return "D:" + DayToDtos(v.date);
  }
  return "?";
}

struct TEvalCase {
  std::string expr;
  int type;  // 1 character, 2 numeric, 3 logical, 4 date
  std::string shown;
};

void ExpectValues(const TMemTable& table, const std::vector<TEvalCase>& cases) {
  for (const TEvalCase& c : cases) {
    SCOPED_TRACE(c.expr);
    try {
      TExpression e(c.expr, table);
      EXPECT_EQ(e.TypeCode(), c.type);
      EXPECT_EQ(Show(e.Evaluate(table)), c.shown);
    } catch (const EExprError& err) {
      ADD_FAILURE() << "raised: " << err.Message();
    }
  }
}

std::string CompileError(const TMemTable& table, const std::string& text) {
  try {
    TExpression e(text, table);
  } catch (const EExprError& err) {
    return err.Message();
  }
  return "(compiled)";
}

std::string EvalError(const TMemTable& table, const std::string& text) {
  TExpression e(text, table);
  try {
    e.Evaluate(table);
  } catch (const EExprError& err) {
    return err.Message();
  }
  return "(evaluated)";
}

TEST(Expr, LiteralsAndFields) {
  ExpectValues(MakeTable(), {
      {"\"abc\"", 1, "abc"},
      {"'abc'", 1, "abc"},
      {"[a\"b']", 1, "a\"b'"},
      {"12.5", 2, "12.5"},
      {".5", 2, "0.5"},
      {".T.", 3, ".T."},
      {".f.", 3, ".F."},
      {".y.", 3, ".T."},
      {"NAME", 1, "Smith     "},
      {"name", 1, "Smith     "},
      {"FIELD->City", 1, "Utrecht "},
      {"AMOUNT", 2, "123.45"},
      {"QTY", 2, "3"},
      {"BADNUM", 2, "1"},  // read up to the first character that is no part of a number
      {"BORN", 4, "D:19850704"},
      {"EMPTYD", 4, "D:        "},
      {"ACTIVE", 3, ".T."},
  });
}

TEST(Expr, StringOperatorsAndFunctions) {
  ExpectValues(MakeTable(), {
      {"NAME + CITY", 1, "Smith     Utrecht "},
      {"NAME - CITY", 1, "SmithUtrecht      "},
      {"TRIM(NAME) + '!'", 1, "Smith!"},
      {"UPPER(NAME)", 1, "SMITH     "},
      {"LOWER('\xC0" "BC')", 1, "\xE0" "bc"},
      {"UPPER('\xE9t\xE9')", 1, "\xC9T\xC9"},
      {"LTRIM('  a ')", 1, "a "},
      {"RTRIM('  a ')", 1, "  a"},
      {"ALLTRIM('  a  ')", 1, "a"},
      {"LEFT(NAME, 3)", 1, "Smi"},
      {"LEFT('ab', 5)", 1, "ab"},
      {"LEFT('ab', -1)", 1, ""},
      {"RIGHT('abcdef', 2)", 1, "ef"},
      {"RIGHT('ab', 9)", 1, "ab"},
      {"SUBSTR('abcdef', 2, 3)", 1, "bcd"},
      {"SUBSTR('abcdef', 4)", 1, "def"},
      {"SUBSTR('abcdef', -2)", 1, "ef"},
      {"SUBSTR('abcdef', 0, 2)", 1, "ab"},
      {"SUBSTR('abc', 5)", 1, ""},
      {"SUBSTR('abc', 2, 0)", 1, ""},
      {"SUBS(NAME, 1, 2)", 1, "Sm"},
      {"ALLT(NAME)", 1, "Smith"},
      {"STR(AMOUNT)", 1, "    123.45"},
      {"STR(3.7)", 1, "         4"},
      {"STR(-3.14159, 8, 3)", 1, "  -3.142"},
      {"STR(12345, 3)", 1, "***"},
      {"STR(2.675, 5, 2)", 1, " 2.68"},
      {"STR(-0.001, 6, 2)", 1, "  0.00"},
      {"VAL('  12.5abc')", 2, "12.5"},
      {"VAL('x')", 2, "0"},
      {"VAL('-3')", 2, "-3"},
      {"LEN(NAME)", 2, "10"},
      {"LEN('')", 2, "0"},
      {"SPACE(3)", 1, "   "},
      {"SPACE(-1)", 1, ""},
      {"REPLICATE('ab', 3)", 1, "ababab"},
      {"REPLICATE('ab', 0)", 1, ""},
      {"AT('c', 'abcabc')", 2, "3"},
      {"AT('x', 'abc')", 2, "0"},
      {"AT('', 'abc')", 2, "0"},
      {"PADL('ab', 5)", 1, "   ab"},
      {"PADR('ab', 5, '*')", 1, "ab***"},
      {"PADL('abcdef', 3)", 1, "abc"},
      {"CHR(65)", 1, "A"},
      {"ASC('a')", 2, "97"},
      {"'mit' $ NAME", 3, ".T."},
      {"'MIT' $ NAME", 3, ".F."},
      {"'' $ 'abc'", 3, ".F."},
  });
}

TEST(Expr, StringComparisonWithExactOff) {
  ExpectValues(MakeTable(), {
      {"NAME = 'Sm'", 3, ".T."},
      {"NAME = 'Smith'", 3, ".T."},
      {"'Sm' = NAME", 3, ".F."},
      {"NAME = ''", 3, ".T."},
      {"NAME == 'Smith'", 3, ".F."},
      {"TRIM(NAME) == 'Smith'", 3, ".T."},
      {"NAME <> 'Jones'", 3, ".T."},
      {"NAME # 'Smi'", 3, ".F."},
      {"NAME != 'X'", 3, ".T."},
      {"'abc' < 'abd'", 3, ".T."},
      {"'ab' < 'abc'", 3, ".T."},
      {"'abc' >= 'ab'", 3, ".T."},
      {"'abc' > 'ab'", 3, ".F."},
      {"'\xE9' > 'z'", 3, ".T."},  // bytes compare unsigned
  });
}

TEST(Expr, StringComparisonWithExactOn) {
  TMemTable t = MakeTable();
  t.MutableSettings().exact = true;
  ExpectValues(t, {
      {"NAME = 'Sm'", 3, ".F."},
      {"NAME = 'Smith'", 3, ".T."},
      {"'Smith' = NAME", 3, ".T."},
      {"'ab' < 'abc'", 3, ".T."},
      {"'abc' > 'ab'", 3, ".T."},
      {"NAME == 'Smith'", 3, ".F."},
  });
}

TEST(Expr, ArithmeticLogicAndPrecedence) {
  ExpectValues(MakeTable(), {
      {"1 + 2 * 3", 2, "7"},
      {"(1 + 2) * 3", 2, "9"},
      {"7 % 3", 2, "1"},
      {"-7 % 3", 2, "-1"},
      {"2 ^ 10", 2, "1024"},
      {"2 ** 3", 2, "8"},
      {"-2 ^ 2", 2, "4"},
      {"10 / 4", 2, "2.5"},
      {"-QTY", 2, "-3"},
      {"- -3", 2, "3"},
      {"+3", 2, "3"},
      {"AMOUNT * QTY", 2, "370.35"},
      {"1 + 2 = 3", 3, ".T."},
      {"1=1.AND.2=2", 3, ".T."},
      {".NOT. .T. .OR. .T.", 3, ".T."},
      {"!ACTIVE", 3, ".F."},
      {".T. .AND. .F. .OR. .T.", 3, ".T."},
      {".F. .AND. 1/0 = 1", 3, ".F."},
      {".T. .OR. 1/0 = 1", 3, ".T."},
      {"IIF(QTY = 0, 0, 10 / QTY)", 2, "3.333333333"},
      {"IIF(.T., 1, 1/0)", 2, "1"},
      {"IIF(ACTIVE, 'yes', 'no')", 1, "yes"},
      {"AMOUNT > 100", 3, ".T."},
      {"QTY = 3", 3, ".T."},
      {".F. < .T.", 3, ".T."},
      {"ABS(-2.5)", 2, "2.5"},
      {"INT(-2.7)", 2, "-2"},
      {"INT(2.7)", 2, "2"},
      {"ROUND(2.675, 2)", 2, "2.68"},
      {"ROUND(-2.5, 0)", 2, "-3"},
      {"ROUND(1234, -2)", 2, "1200"},
      {"MAX(3, 7)", 2, "7"},
      {"MIN(3, 7)", 2, "3"},
      {"MAX('abc', 'abd')", 1, "abd"},
      {"EMPTY(EMPTYD)", 3, ".T."},
      {"EMPTY(BORN)", 3, ".F."},
      {"EMPTY(NAME)", 3, ".F."},
      {"EMPTY(SPACE(5))", 3, ".T."},
      {"EMPTY(0)", 3, ".T."},
      {"EMPTY(.F.)", 3, ".T."},
      {"DELETED()", 3, ".F."},
      {"RECNO()", 2, "1"},
  });
}

TEST(Expr, Dates) {
  ExpectValues(MakeTable(), {
      {"BORN + 1", 4, "D:19850705"},
      {"1 + BORN", 4, "D:19850705"},
      {"BORN - 4", 4, "D:19850630"},
      {"STOD('20000301') - STOD('20000228')", 2, "2"},
      {"EMPTYD + 5", 4, "D:        "},
      {"BORN - EMPTYD", 2, "0"},
      {"EMPTYD < BORN", 3, ".T."},
      {"BORN < STOD('19900101')", 3, ".T."},
      {"DTOS(BORN)", 1, "19850704"},
      {"DTOC(BORN)", 1, "07/04/1985"},
      {"DTOS(EMPTYD)", 1, "        "},
      {"DTOC(EMPTYD)", 1, "  /  /    "},
      {"CTOD('07/04/85')", 4, "D:19850704"},
      {"CTOD('07/04/05')", 4, "D:20050704"},
      {"CTOD('13/45/2000')", 4, "D:        "},
      {"CTOD('')", 4, "D:        "},
      {"STOD('20240229')", 4, "D:20240229"},
      {"STOD('20230229')", 4, "D:        "},
      {"YEAR(BORN)", 2, "1985"},
      {"MONTH(BORN)", 2, "7"},
      {"DAY(BORN)", 2, "4"},
      {"YEAR(EMPTYD)", 2, "0"},
      {"MIN(BORN, STOD('19000101'))", 4, "D:19000101"},
      {"DTOS(DATE()) > '2020'", 3, ".T."},
  });
}

TEST(Expr, DatesFollowDateFormatCenturyAndEpoch) {
  TMemTable t = MakeTable();
  t.MutableSettings().date_format = 4;  // German
  t.MutableSettings().century = false;
  t.MutableSettings().epoch = 1900;
  ExpectValues(t, {
      {"DTOC(BORN)", 1, "04.07.85"},
      {"CTOD('04.07.85')", 4, "D:19850704"},
      {"CTOD('04.07.05')", 4, "D:19050704"},
      {"LEN(DTOC(BORN))", 2, "8"},
  });
  t.MutableSettings().date_format = 1;  // ANSI
  t.MutableSettings().century = true;
  ExpectValues(t, {{"DTOC(BORN)", 1, "1985.07.04"}, {"CTOD('2003.11.05')", 4, "D:20031105"}});
}

TEST(Expr, CompiledOnceEvaluatesEachRecord) {
  TMemTable t = MakeTable();
  t.Append(t.Image({{"NAME", "Jones"}, {"QTY", "10"}}, /*deleted=*/true));
  TExpression e("TRIM(NAME) + STR(QTY, 3) + IIF(DELETED(), '*', '-') + STR(RECNO(), 2)", t);
  t.Go(1);
  EXPECT_EQ(e.Evaluate(t).text, "Smith  3- 1");
  t.Go(2);
  EXPECT_EQ(e.Evaluate(t).text, "Jones 10* 2");
}

TEST(Expr, CompileErrorsNameTheFault) {
  TMemTable t = MakeTable();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "Empty expression"},
      {"   ", "Empty expression"},
      {"\"ABC", "Unterminated string at position 1"},
      {"NAME = [abc", "Unterminated string at position 8"},
      {"1 +", "Syntax error at position 4: unexpected end of expression"},
      {"(1 + 2", "Syntax error at position 7: expected ')', found end of expression"},
      {"1 2", "Syntax error at position 3: unexpected number 2"},
      {"1 @ 2", "Syntax error at position 3: unexpected '@'"},
      {".X.", "Syntax error at position 1: unexpected '.'"},
      {"UPPER(NAME", "Syntax error at position 11: expected ')' or ',', found end of expression"},
      {"FOO(1)", "Unknown function: FOO"},
      {"PAD('a', 2)", "Unknown function: PAD"},
      {"NOSUCH + 1", "Unknown field: NOSUCH"},
      {"CUST->NAME", "Alias references are not supported: CUST->NAME"},
      {"FIELD->1", "Syntax error at position 8: expected a field name after ->"},
      {"NAME + 1", "Type mismatch at position 6: character + numeric"},
      {"BORN * 2", "Type mismatch at position 6: date * numeric"},
      {"NAME = 1", "Type mismatch at position 6: character = numeric"},
      {"-NAME", "Type mismatch at position 1: unary - of a character value"},
      {".NOT. 1", "Type mismatch at position 1: .NOT. of a numeric value"},
      {"ACTIVE .AND. 1", "Type mismatch at position 8: .AND. needs logical operands, not numeric"},
      {"UPPER(QTY)", "Argument 1 of UPPER must be character, not numeric"},
      {"SUBSTR(NAME)", "SUBSTR expects 2 to 3 arguments, 1 given"},
      {"UPPER()", "UPPER expects 1 argument, 0 given"},
      {"DATE(1)", "DATE expects 0 arguments, 1 given"},
      {"IIF(ACTIVE, 1, 'a')", "Argument 3 of IIF must be numeric like argument 2, not character"},
      {"MAX(1, BORN)", "Argument 2 of MAX must be numeric like argument 1, not date"},
      {"NOTE", "Field NOTE of type M cannot be used in an expression"},
      {"COUNTER + 1", "Field COUNTER of type I cannot be used in an expression"},
      {"1" + std::string(400, '0'), "Number out of range at position 1"},
      {std::string(300, '(') + "1" + std::string(300, ')'), "Expression nested too deeply"},
      {std::string(300, '-') + "1", "Expression nested too deeply"},
      {"1" + [] { std::string s; for (int i = 0; i < 300; ++i) s += "+1"; return s; }(), "Expression nested too deeply"},
      {[] { std::string s; for (int i = 0; i < 300; ++i) s += ".NOT. "; return s + ".T."; }(), "Expression nested too deeply"},
      {"'" + std::string(70000, 'x') + "'", "Expression too long (70002 characters, at most 65535)"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text.substr(0, 60));
    EXPECT_EQ(CompileError(t, text), message);
  }
}

TEST(Expr, LongAlternativeListsDoNotCountAsNesting) {
  TMemTable t = MakeTable();
  std::string text = "QTY = 0";
  for (int i = 1; i < 1000; ++i) text += " .OR. QTY = " + std::to_string(i);
  TExpression e(text, t);
  EXPECT_TRUE(e.IsTrue(t));
}

TEST(Expr, EvaluationErrorsAreOrdinaryErrors) {
  TMemTable t = MakeTable();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"1 / 0", "Division by zero"},
      {"5 % 0", "Division by zero"},
      {"QTY / (QTY - 3)", "Division by zero"},
      {"10 ^ 400", "Numeric overflow"},
      {"(-8) ^ 0.5", "Numeric result is undefined"},
      {"REPLICATE('ab', 40000)", "String too long (80000 characters, at most 65535)"},
      {"SPACE(70000)", "String too long (70000 characters, at most 65535)"},
      {"SPACE(40000) + SPACE(40000)", "String too long (80000 characters, at most 65535)"},
      {"PADL('a', 1000000000)", "String too long (1000000000 characters, at most 65535)"},
      {"STOD('99991231') + 1", "Date out of range"},
      {"STR(1, 0)", "Argument 2 of STR is out of range (1 to 255)"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(EvalError(t, text), message);
  }
  EXPECT_THROW(TExpression("NAME", t).IsTrue(t), EExprError);
}

TEST(Expr, ShortRecordImageIsAnErrorNotAnOverread) {
  TMemTable t = MakeTable();
  TExpression e("CITY", t);
  TImageContext shortImage(t.Settings(), std::string_view(" Smith"), 1);
  try {
    e.Evaluate(shortImage);
    FAIL() << "no error";
  } catch (const EExprError& err) {
    EXPECT_EQ(err.Message(), "Record is too short for field CITY");
  }
}

struct TKeyCase {
  std::string expr;
  size_t length;
  std::string key;    // the key of record 1; empty: not compared
  std::string field;  // IndexKeyField
};

TEST(ExprKey, LengthsKeysAndKeyFields) {
  TMemTable t = MakeTable();
  const std::vector<TKeyCase> cases = {
      {"NAME", 10, "Smith     ", "NAME"},
      {"upper(name)", 10, "SMITH     ", "NAME"},
      {"FIELD->CITY", 8, "Utrecht ", "CITY"},
      {"UPPER(NAME)+CITY", 18, "SMITH     Utrecht ", ""},
      {"DTOS(BORN)", 8, "19850704", ""},
      {"BORN", 8, "19850704", "BORN"},
      {"EMPTYD", 8, "        ", "EMPTYD"},
      {"ACTIVE", 1, "T", "ACTIVE"},
      {"LEFT(NAME, 3)", 3, "Smi", ""},
      {"TRIM(NAME)", 10, "Smith     ", ""},
      {"SUBSTR(NAME, 2)", 10, "mith      ", ""},
      {"STR(QTY, 5) + NAME", 15, "    3Smith     ", ""},
      {"STR(AMOUNT)", 10, "    123.45", ""},
      {"IIF(ACTIVE, NAME, CITY)", 10, "Smith     ", ""},
      {"DTOC(BORN)", 10, "07/04/1985", ""},
      {"PADL(TRIM(CITY), 12)", 12, "     Utrecht", ""},
      {"AMOUNT", 8, EncodeNumberKey(123.45), "AMOUNT"},
  };
  for (const TKeyCase& c : cases) {
    SCOPED_TRACE(c.expr);
    TKeyExpression k(c.expr, t);
    EXPECT_EQ(k.Length(), c.length);
    EXPECT_EQ(k.KeyOf(t), c.key);
    EXPECT_EQ(k.KeyField(), c.field);
  }
}

TEST(ExprKey, NumberKeysSortLikeNumbers) {
  std::vector<double> numbers = {-1e300, -1e10, -5.5, -1, -0.001, 0, 0.001, 1, 2, 10, 123.45, 1e10, 1e300};
  std::vector<std::string> keys;
  for (double n : numbers) {
    keys.push_back(EncodeNumberKey(n));
    EXPECT_EQ(DecodeNumberKey(keys.back()), n);
  }
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  EXPECT_EQ(EncodeNumberKey(-0.0), EncodeNumberKey(0.0));
}

TEST(ExprKey, SeekTextBecomesKeyBytes) {
  TMemTable t = MakeTable();
  EXPECT_EQ(TKeyExpression("AMOUNT", t).KeyFromText("  12"), EncodeNumberKey(12));
  EXPECT_EQ(TKeyExpression("AMOUNT", t).KeyFromText("00012.50"), EncodeNumberKey(12.5));
  EXPECT_EQ(TKeyExpression("NAME", t).KeyFromText("Smi"), "Smi");
  EXPECT_EQ(TKeyExpression("NAME", t).KeyFromText("Smithsonian Institute"), "Smithsonia");
  EXPECT_EQ(TKeyExpression("BORN", t).KeyFromText("1985"), "1985");
  EXPECT_EQ(TKeyExpression("ACTIVE", t).KeyFromText(".T."), "T");
  EXPECT_EQ(TKeyExpression("ACTIVE", t).KeyFromText("N"), "F");
  EXPECT_TRUE(TKeyExpression("NAME", t).AllowsPartial());
  EXPECT_FALSE(TKeyExpression("AMOUNT", t).AllowsPartial());
}

TEST(ExprKey, KeysWithoutAUsableLengthAreRefused) {
  TMemTable t = MakeTable();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"TRIM(NAME) + SPACE(QTY)", "Key length cannot be determined before evaluation: TRIM(NAME) + SPACE(QTY)"},
      {"SPACE(241)", "Key length 241 is out of range (1 to 240): SPACE(241)"},
      {"LEFT(NAME, 0)", "Key length 0 is out of range (1 to 240): LEFT(NAME, 0)"},
      {"NAME +", "Syntax error at position 7: unexpected end of expression"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    try {
      TKeyExpression k(text, t);
      ADD_FAILURE() << "compiled";
    } catch (const EExprError& err) {
      EXPECT_EQ(err.Message(), message);
    }
  }
}

}  // namespace
}  // namespace tavrik::xbase
