// The machine identifier that stands in for the volume serial number of the first fixed drive:
// 32 bits of the file-system identifier of "/", or 0 when it cannot be read.
#pragma once

#include <cstdint>

namespace tavrik::platform {

uint32_t VolumeSerialNumber();

}  // namespace tavrik::platform
