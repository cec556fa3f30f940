// A view of a work area that shows a given record image instead of the current record: orders
// evaluate their keys and conditions on records they are told about (an old and a new image, or
// each record while building) with the work area's fields and settings.
#pragma once

#include "xbase/ExprContext.h"

namespace tavrik::xbase {

// Borrows `structure` and `image`; both must outlive it.
class TImageContext : public TExprContext {
 public:
  TImageContext(const TExprContext& structure, std::string_view image, uint32_t recno)
      : structure_(structure), image_(image), recno_(recno) {}

  int FieldIndex(std::string_view upper_name) const override { return structure_.FieldIndex(upper_name); }
  const TFieldInfo& Field(int index) const override { return structure_.Field(index); }
  std::string_view RecordImage() const override { return image_; }
  uint32_t RecNo() const override { return recno_; }
  const TEngineSettings& Settings() const override { return structure_.Settings(); }

 private:
  const TExprContext& structure_;
  std::string_view image_;
  uint32_t recno_;
};

}  // namespace tavrik::xbase
