#include "proto/MvLogin.h"

#include "core/StrUtils.h"
#include "proto/MvFields.h"

namespace tavrik {

namespace {

std::string Field(std::string_view record, size_t index) {
  return std::string(WithoutTrailingBlanks(record.substr(index * kLoginField, kLoginField)));
}

size_t CountDigits(std::string_view s) {
  size_t n = 0;
  while (n < s.size() && s[n] >= '0' && s[n] <= '9') ++n;
  return n;
}

}  // namespace

std::string BuildLoginRecord(const TLoginRecord& r) {
  using mvproto::Pad;
  for (const std::string* number : {&r.version, &r.level})
    if (number->empty() || number->find_first_not_of("0123456789") != std::string::npos)
      throw EMvField("login record: \"" + *number + "\" is not a number");
  return Pad(r.password, kLoginField) + Pad(r.user, kLoginField) + Pad(r.machine_id, kLoginField) +
         Pad(r.login_text, kLoginField) + Pad(r.database, kLoginField) + r.version + mvproto::YN(r.compression) +
         r.level + Pad(r.server_name, kLoginField) + Pad(r.group_name, kLoginField);
}

std::string LogoutPayload(std::string_view user) { return mvproto::Pad(user, kLogoutUserField); }

TLoginRecord ParseLoginRecord(std::string_view record) {
  constexpr size_t kHead = 5 * kLoginField, kTail = 2 * kLoginField;
  if (record.size() < kLoginRecordSize)
    throw ELoginRecord("login record of " + std::to_string(record.size()) + " bytes, at least " +
                       std::to_string(kLoginRecordSize) + " expected");
  std::string_view middle = record.substr(kHead, record.size() - kHead - kTail);

  size_t first = CountDigits(middle);
  if (first == 0 || first > 9) throw ELoginRecord("login record without its first number");
  if (first == middle.size() || (middle[first] != 'Y' && middle[first] != 'N')) throw ELoginRecord("login record without its Y/N field");
  std::string_view level = middle.substr(first + 1);
  if (level.empty() || level.size() > 9 || CountDigits(level) != level.size())
    throw ELoginRecord("login record without its second number");

  TLoginRecord r;
  r.password = Field(record, 0);
  r.user = Field(record, 1);
  r.machine_id = Field(record, 2);
  r.login_text = Field(record, 3);
  r.database = Field(record, 4);
  r.version = std::string(middle.substr(0, first));
  r.compression = middle[first] == 'Y';
  r.level = std::string(level);
  std::string_view tail = record.substr(record.size() - kTail);
  r.server_name = Field(tail, 0);
  r.group_name = Field(tail, 1);
  return r;
}

}  // namespace tavrik
