// What building a tag needs of a table: how many records it has and the image of each.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavrik::xbase {

class TRecordSource {
 public:
  virtual ~TRecordSource() = default;
  virtual uint32_t RecordCount() = 0;
  // The image of record `recno` (1..RecordCount()): deletion flag, then the fields. Valid until
  // the next call.
  virtual std::string_view RecordImage(uint32_t recno) = 0;
};

}  // namespace tavrik::xbase
