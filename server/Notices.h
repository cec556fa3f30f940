// Payloads of the server notices, which a client takes whenever it reads a frame, before the
// reply of a pending request or while idle:
//   "0301" message   the text itself (single-byte, shown as it is)
//   "0300" progress  OFFSET SIZE CONTENT
//                    0      8    Min, 8 upper-case hexadecimal digits
//                    8      8    Max
//                    16     8    Position (negative values as 32-bit two's complement)
//   "0302" shutdown  empty; the client disconnects
#pragma once

#include <cstdint>
#include <string>

namespace tavrik::server {

std::string ProgressPayload(int32_t min, int32_t max, int32_t position);

}  // namespace tavrik::server
