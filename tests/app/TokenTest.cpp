#include <gtest/gtest.h>

#include "app/Token.h"

namespace tavrik {
namespace {

TEST(Token, CountAndPick) {
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> tokens;  // token 1 to TokenCount
  } cases[] = {
      {"empty", "", {}},
      {"one", "UPLOAD", {"UPLOAD"}},
      {"two", "A;B", {"A", "B"}},
      {"trailing separator", "A;", {"A", ""}},
      {"leading separator", ";A", {"", "A"}},
      {"lone separator", ";", {"", ""}},
      {"blanks are kept", " A ; B", {" A ", " B"}},
      {"empty in the middle", "A;;B", {"A", "", "B"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int count = TokenCount(c.text, ';');
    EXPECT_EQ(count, int(c.tokens.size()));
    std::vector<std::string> tokens;
    for (int n = 1; n <= count; ++n) tokens.push_back(GetToken(c.text, ';', n));
    EXPECT_EQ(tokens, c.tokens);
    EXPECT_EQ(GetToken(c.text, ';', count + 1), "");  // beyond the last
    EXPECT_EQ(GetToken(c.text, ';', 0), "");
  }
}

// Counts and positions are not cut at 255.
TEST(Token, LongTexts) {
  std::string text;
  for (int i = 1; i <= 300; ++i) text += std::to_string(i) + ";";
  text += "LAST";
  EXPECT_GT(text.size(), 1000u);
  EXPECT_EQ(TokenCount(text, ';'), 301);
  EXPECT_EQ(GetToken(text, ';', 256), "256");
  EXPECT_EQ(GetToken(text, ';', 300), "300");
  EXPECT_EQ(GetToken(text, ';', 301), "LAST");
  EXPECT_EQ(GetToken(text, ';', 302), "");
  EXPECT_EQ(TokenCount(std::string(256, ';'), ';'), 257);
}

}  // namespace
}  // namespace tavrik
