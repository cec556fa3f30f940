// The scrambling of the login record: each byte value in 30..129 is moved by a fixed amount per
// range of ten, every other byte stays, and the length never changes.
//
//   b in    30-39 40-49 50-59 60-69 70-79 80-89 90-99 100-109 110-119 120-129
//   becomes b-25  b-15  b-35  b+5   b+25  b+45  b+65  b+85    b+105   b+125
//
// The ranges land on disjoint places, so a record of printable ASCII (32..126) unscrambles
// exactly. Bytes above 129 are ambiguous after scrambling (130 may be itself or a scrambled 85);
// Unscramble reads every byte that lands in a scrambled range as scrambled.
#pragma once

#include <string>
#include <string_view>

namespace tavrik {

std::string Scramble(std::string_view record);
std::string Unscramble(std::string_view scrambled);

}  // namespace tavrik
