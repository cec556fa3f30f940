// Random expressions, well-formed and not: every one either compiles or fails with EExprError,
// and every compiled one either evaluates or fails with EExprError. Nothing else may escape.
#include <gtest/gtest.h>

#include <random>

#include "tests/xbase/OrderTestTable.h"
#include "xbase/Expr.h"
#include "xbase/ExprError.h"
#include "xbase/ExprKey.h"

namespace tavrik::xbase {
namespace {

using testing::TMemTable;

TMemTable Table() {
  TMemTable t({{"NAME", 'C', 10, 0, 0},
               {"AMOUNT", 'N', 10, 2, 0},
               {"QTY", 'N', 5, 0, 0},
               {"BORN", 'D', 8, 0, 0},
               {"EMPTYD", 'D', 8, 0, 0},
               {"ACTIVE", 'L', 1, 0, 0},
               {"NOTE", 'M', 10, 0, 0}});
  t.Append(t.Image({{"NAME", "Smith"}, {"AMOUNT", "-12.5"}, {"QTY", "0"}, {"BORN", "19991231"}, {"ACTIVE", "T"}}));
  return t;
}

class TGenerator {
 public:
  explicit TGenerator(uint32_t seed) : rng_(seed) {}

  std::string Expression(int depth = 0) {
    int choice = Pick(depth > 5 ? 1 : 6);
    switch (choice) {
      case 0: return Leaf();
      case 1: return Pick(3) == 0 ? Leaf() : std::string("(").append(Expression(depth + 1)).append(")");
      case 2: return One({"-", "!", ".NOT. ", "+"}) + Expression(depth + 1);
      case 3:
      case 4:
        return Expression(depth + 1) + " " +
               One({"+", "-", "*", "/", "%", "^", "=", "==", "<>", "#", "<", "<=", ">", ">=", "$", ".AND.", ".OR."}) +
               " " + Expression(depth + 1);
      default: {
        std::string call = One({"UPPER", "LOWER", "TRIM", "RTRIM", "LTRIM", "ALLTRIM", "LEFT", "RIGHT", "SUBSTR",
                                "STR", "VAL", "LEN", "SPACE", "REPLICATE", "AT", "PADL", "PADR", "DTOS", "DTOC",
                                "CTOD", "STOD", "DATE", "YEAR", "MONTH", "DAY", "DELETED", "RECNO", "IIF", "EMPTY",
                                "ABS", "INT", "ROUND", "MAX", "MIN", "CHR", "ASC", "SUBS", "NOPE"}) +
                           "(";
        int args = Pick(4);
        for (int i = 0; i < args; ++i) call += (i ? ", " : "") + Expression(depth + 1);
        return call + ")";
      }
    }
  }

  // Drops or inserts a character here and there.
  std::string Mutate(std::string s) {
    int edits = Pick(3);
    for (int i = 0; i < edits && !s.empty(); ++i) {
      size_t at = static_cast<size_t>(Pick(static_cast<int>(s.size())));
      if (Pick(2) == 0) {
        s.erase(at, 1);
      } else {
        static const char kOdd[] = {'"', '\'', '[', ']', '(', ')', ',', '.', '-', '>', '\0', '\xFF', '@', '$'};
        s.insert(at, 1, kOdd[Pick(sizeof kOdd)]);
      }
    }
    return s;
  }

  std::string Bytes() {
    std::string s(static_cast<size_t>(Pick(40)), ' ');
    for (char& c : s) c = static_cast<char>(Pick(256));
    return s;
  }

  int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

 private:
  std::string One(std::initializer_list<const char*> options) { return *(options.begin() + Pick(static_cast<int>(options.size()))); }

  std::string Leaf() {
    return One({"NAME", "AMOUNT", "QTY", "BORN", "EMPTYD", "ACTIVE", "NOTE", "NOSUCH", "FIELD->NAME", "X->NAME", "0",
                "1", "-1", "2.5", ".5", "1000000000", "99999999999999999999", "1e5", "''", "'abc'", "\"x y\"", "[z]",
                ".T.", ".F.", "CTOD('01/02/03')", "DATE()", "STOD('99991231')", "SPACE(65535)"});
  }

  std::mt19937 rng_;
};

TEST(ExprRobustness, OnlyExpressionErrorsEscape) {
  TMemTable t = Table();
  TGenerator gen(4242);
  int compiled = 0, evaluated = 0, keys = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string text = i % 10 == 9 ? gen.Bytes() : i % 3 == 2 ? gen.Mutate(gen.Expression()) : gen.Expression();
    try {
      TExpression e(text, t);
      ++compiled;
      try {
        e.Evaluate(t);
        ++evaluated;
      } catch (const EExprError&) {
      }
      try {
        TKeyExpression k(text, t);
        k.KeyOf(t);
        ++keys;
      } catch (const EExprError&) {
      }
    } catch (const EExprError&) {
    } catch (const std::exception& other) {
      ADD_FAILURE() << "\"" << text << "\": " << other.what();
    }
  }
  // The generator must reach evaluation often enough for the run to mean something.
  EXPECT_GT(compiled, 2000);
  EXPECT_GT(evaluated, 1500);
  EXPECT_GT(keys, 1000);
}

}  // namespace
}  // namespace tavrik::xbase
