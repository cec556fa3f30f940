// The login record of command "0464", before scrambling (proto/MvScramble.h), and the logout
// payload of "0465". The client pads each text field with blanks to 255 characters; its numbers
// have no fixed width.
//
//   OFFSET SIZE      CONTENT
//   0      255       password
//   255    255       user name (upper case)
//   510    255       machine identifier (a volume serial number in decimal)
//   765    255       login text (blank)
//   1020   255       "Default"
//   1275   1..9      a decimal number ("6")
//   ...    1         compression wanted: "Y" or "N"
//   ...    1..9      a decimal number ("0")
//   end-510 255      server name
//   end-255 255      group name
//
// The first number ends at the Y/N letter; the second is whatever lies between that letter and
// the last 510 characters, and must be digits only. A client sends a value longer than 255
// characters whole, which shifts every field after it: such a record cannot be read and is
// refused rather than guessed at.
#pragma once

#include <string>
#include <string_view>

#include "core/Exception.h"

namespace tavrik {

TAVRIK_EXCEPTION(ELoginRecord, Exception);

struct TLoginRecord {
  // Text fields without their padding blanks.
  std::string password, user, machine_id, login_text, database;
  std::string version;    // the first number, as sent
  bool compression = false;
  std::string level;      // the second number, as sent
  std::string server_name, group_name;
};

constexpr size_t kLoginField = 255;
constexpr size_t kLoginRecordSize = 7 * kLoginField + 3;  // 1788 with one-digit numbers
constexpr size_t kLogoutUserField = 10;

// The record as the client sends it (before scrambling); EMvField when a number is not digits.
std::string BuildLoginRecord(const TLoginRecord& r);
// Raises ELoginRecord saying what is wrong.
TLoginRecord ParseLoginRecord(std::string_view record);
// "0465": the user name padded to 10 characters (a longer name whole).
std::string LogoutPayload(std::string_view user);

}  // namespace tavrik
