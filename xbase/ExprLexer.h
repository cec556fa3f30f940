// Splits the text of an xBase expression into tokens: literals ("..", '..', [..], numbers,
// .T./.F.), names, operators and the dotted words .AND. .OR. .NOT.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrik::xbase {

enum class TTokenKind {
  tkEnd,
  tkNumber,
  tkString,
  tkLogical,
  tkName,     // upper-cased
  tkLParen,
  tkRParen,
  tkComma,
  tkArrow,    // ->
  tkPlus,
  tkMinus,
  tkStar,
  tkSlash,
  tkPercent,
  tkPower,    // ^ or **
  tkEq,       // =
  tkEqEq,     // ==
  tkNe,       // <> != #
  tkLt,
  tkLe,
  tkGt,
  tkGe,
  tkDollar,
  tkAnd,      // .AND.
  tkOr,       // .OR.
  tkNot,      // .NOT. or !
};

struct TToken {
  TTokenKind kind = TTokenKind::tkEnd;
  size_t pos = 0;       // 1-based position in the text, for messages
  std::string text;     // tkString: the contents; tkName: the upper-cased name; else the source
  double number = 0;    // tkNumber
  bool logical = false; // tkLogical
};

// The tokens of `text`, ending with one tkEnd. Raises EExprError for an unterminated string or a
// character that belongs to no token.
std::vector<TToken> Tokenize(std::string_view text);

// How a token reads in a message: "')'", "end of expression", "name FOO".
std::string DescribeToken(const TToken& token);

}  // namespace tavrik::xbase
