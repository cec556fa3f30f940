// A record image seen as an expression context: orders evaluate their keys and conditions on
// records they are told about (an old and a new image, or each record while building) rather
// than on a work area's current record. Compiled expressions hold their fields' layout, so
// evaluation needs only the image, the record number and the settings; field lookups find
// nothing here.
#pragma once

#include <stdexcept>

#include "xbase/ExprContext.h"

namespace tavrik::xbase {

// Borrows `settings` and `image`; both must outlive it.
class TImageContext : public TExprContext {
 public:
  TImageContext(const TEngineSettings& settings, std::string_view image, uint32_t recno)
      : settings_(settings), image_(image), recno_(recno) {}

  int FieldIndex(std::string_view) const override { return -1; }
  const TFieldInfo& Field(int) const override { throw std::out_of_range("a record image has no field list"); }
  std::string_view RecordImage() const override { return image_; }
  uint32_t RecNo() const override { return recno_; }
  const TEngineSettings& Settings() const override { return settings_; }

 private:
  const TEngineSettings& settings_;
  std::string_view image_;
  uint32_t recno_;
};

}  // namespace tavrik::xbase
