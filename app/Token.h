// Token functions: a text cut into tokens at a separator character, as permission lists are.
// Counts and positions are full-width integers, so a list of any length is counted right.
#pragma once

#include <string>
#include <string_view>

namespace tavrik {

// The number of tokens: 0 for an empty text, else one more than the separators in it ("A;B" and
// "A;" have 2, a lone separator has 2).
int TokenCount(std::string_view text, char separator);
// The token numbered `n` from 1: the text between the (n-1)-th and the n-th separator, or from
// the start or to the end for the first and the last. Empty for a number outside 1..TokenCount.
// Tokens are not trimmed.
std::string GetToken(std::string_view text, char separator, int n);

}  // namespace tavrik
