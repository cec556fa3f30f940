#include "server/Notices.h"

#include "core/StrUtils.h"

namespace tavrik::server {

std::string ProgressPayload(int32_t min, int32_t max, int32_t position) {
  return IntToHex(min, 8) + IntToHex(max, 8) + IntToHex(position, 8);
}

}  // namespace tavrik::server
