// The values an xBase expression computes. Each has one of four types whose numeric codes are the
// ones the engine reports for an expression (EvalTest):
//   1 character, 2 numeric, 3 logical, 4 date.
// A date is a day number (1 January of year 1 is day 1); 0 is the blank date, which sorts
// before every real date.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrik::xbase {

enum class TExprType : int { etCharacter = 1, etNumeric = 2, etLogical = 3, etDate = 4 };

// "character", "numeric", "logical" or "date", for messages.
const char* ExprTypeName(TExprType type);
// 'C', 'N', 'L' or 'D', as a tag records the type of its key.
char ExprTypeLetter(TExprType type);

// Longest character value an expression may build; anything longer is an error, so that a
// runaway REPLICATE or SPACE cannot exhaust memory.
constexpr size_t kMaxStringLength = 65535;

struct TExprValue {
  TExprType type = TExprType::etLogical;
  std::string text;     // etCharacter
  double number = 0;    // etNumeric
  bool logical = false; // etLogical
  int32_t date = 0;     // etDate: day number, 0 = blank

  static TExprValue Character(std::string s) {
    TExprValue v;
    v.type = TExprType::etCharacter;
    v.text = std::move(s);
    return v;
  }
  static TExprValue Numeric(double n) {
    TExprValue v;
    v.type = TExprType::etNumeric;
    v.number = n;
    return v;
  }
  static TExprValue Logical(bool b) {
    TExprValue v;
    v.type = TExprType::etLogical;
    v.logical = b;
    return v;
  }
  static TExprValue Date(int32_t julian) {
    TExprValue v;
    v.type = TExprType::etDate;
    v.date = julian;
    return v;
  }
};

}  // namespace tavrik::xbase

namespace tavrik::xbase {

// Reads a number the way VAL and numeric fields do: leading blanks, an optional sign, digits with
// at most one decimal point; reading stops at the first other character; no digits gives 0.
double TextToNumber(std::string_view text);

}  // namespace tavrik::xbase
