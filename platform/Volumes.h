// The volume (mounted file system) that holds a path: its mount point, label and size. This is
// what stands in for a drive root, its volume label and the disk-space queries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tavrik::platform {

struct TVolumeInfo {
  std::string mount_point;  // no trailing "/" except for the root itself
  std::string label;        // empty when the file system has none (or it cannot be found)
  uint64_t total_bytes = 0;
  uint64_t free_bytes = 0;  // available to this user
};

// The volume of the existing file or folder `path`; nothing when it does not exist or its file
// system cannot be queried.
std::optional<TVolumeInfo> VolumeOf(const std::string& path);

}  // namespace tavrik::platform
