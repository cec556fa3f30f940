#include "xbase/IndexFormat.h"

#include <zlib.h>

namespace tavrik::xbase {

uint32_t Crc32(const uint8_t* data, size_t size) { return static_cast<uint32_t>(crc32_z(0, data, size)); }

}  // namespace tavrik::xbase
