#include "platform/VolumeId.h"

#include <sys/statvfs.h>

namespace tavrik::platform {

uint32_t VolumeSerialNumber() {
  struct statvfs st {};
  if (::statvfs("/", &st) != 0) return 0;
  return static_cast<uint32_t>(st.f_fsid);
}

}  // namespace tavrik::platform
