// Request texts written by hand for the tests of both ends of the protocol: independent of the
// encoders under test, so that a mistake in those shows.
#pragma once

#include <string>
#include <string_view>

namespace tavrik::testing {

inline std::string Pad(std::string_view s, size_t width) {
  std::string padded(s);
  if (padded.size() < width) padded.append(width - padded.size(), ' ');
  return padded;
}

// The unscrambled login record the client program sends; `numbers` stands for the first number,
// the Y/N letter and the second number.
inline std::string LoginRecord(const std::string& password, const std::string& user, const std::string& machine = "1234",
                               const std::string& server = "SRV", const std::string& group = "GRP",
                               const std::string& numbers = "6N0") {
  return Pad(password, 255) + Pad(user, 255) + Pad(machine, 255) + Pad("", 255) + Pad("Default", 255) + numbers +
         Pad(server, 255) + Pad(group, 255);
}

// Area and file name, each padded to 255.
inline std::string FileFields(std::string_view area, std::string_view name) { return Pad(area, 255) + Pad(name, 255); }

}  // namespace tavrik::testing
