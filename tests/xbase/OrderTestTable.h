// A table held in memory for the expression and order tests: a field list, record images and
// the engine settings, seen through TExprContext with one record current and as the record
// source an index builds from. Writes tell the observers, as a real table does.
#pragma once

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "xbase/ExprContext.h"
#include "xbase/IndexRecordSource.h"
#include "xbase/RecordOrder.h"

namespace tavrik::xbase::testing {

class TMemTable : public TExprContext, public TRecordSource {
 public:
  // Fields as {name, type, width, decimals}; offsets follow one another after the deletion flag.
  explicit TMemTable(std::vector<TFieldInfo> fields) : fields_(std::move(fields)) {
    int offset = 1;
    for (TFieldInfo& f : fields_) {
      f.offset = offset;
      offset += f.width;
    }
    record_size_ = static_cast<size_t>(offset);
    blank_ = std::string(record_size_, ' ');
  }

  int FieldIndex(std::string_view upper_name) const override {
    for (size_t i = 0; i < fields_.size(); ++i)
      if (fields_[i].name == upper_name) return static_cast<int>(i);
    return -1;
  }
  const TFieldInfo& Field(int index) const override { return fields_.at(static_cast<size_t>(index)); }
  std::string_view RecordImage() const override {
    return current_ == 0 ? std::string_view(blank_) : std::string_view(records_.at(current_ - 1));
  }
  uint32_t RecNo() const override { return current_; }
  const TEngineSettings& Settings() const override { return settings_; }
  TEngineSettings& MutableSettings() { return settings_; }

  // Builds a record image from field texts by name (each blank-padded or, for N, right-aligned).
  std::string Image(const std::map<std::string, std::string>& values, bool deleted = false) const {
    std::string image(record_size_, ' ');
    image[0] = deleted ? '*' : ' ';
    for (const auto& [name, value] : values) {
      const TFieldInfo& f = Field(FieldIndex(name));
      std::string text = value.substr(0, static_cast<size_t>(f.width));
      if (f.type == 'N') text.insert(0, static_cast<size_t>(f.width) - text.size(), ' ');
      image.replace(static_cast<size_t>(f.offset), text.size(), text);
    }
    return image;
  }

  uint32_t Append(std::string image) {
    if (image.size() != record_size_) throw std::logic_error("record image of the wrong size");
    records_.push_back(std::move(image));
    current_ = static_cast<uint32_t>(records_.size());
    for (TRecordObserver* o : observers_) o->RecordChanged(current_, {}, records_.back());
    return current_;
  }
  // Replaces record `recno` and tells the observers.
  void Write(uint32_t recno, std::string image) {
    std::string old = records_.at(recno - 1);
    records_.at(recno - 1) = std::move(image);
    for (TRecordObserver* o : observers_) o->RecordChanged(recno, old, records_.at(recno - 1));
  }
  void Observe(TRecordObserver* o) { observers_.push_back(o); }

  uint32_t RecordCount() override { return Count(); }
  std::string_view RecordImage(uint32_t recno) override { return records_.at(recno - 1); }
  void Go(uint32_t recno) { current_ = recno; }
  uint32_t Count() const { return static_cast<uint32_t>(records_.size()); }
  const std::string& Record(uint32_t recno) const { return records_.at(recno - 1); }
  size_t RecordSize() const { return record_size_; }

 private:
  std::vector<TFieldInfo> fields_;
  std::vector<std::string> records_;
  size_t record_size_ = 1;
  std::string blank_;
  uint32_t current_ = 0;
  TEngineSettings settings_;
  std::vector<TRecordObserver*> observers_;
};

}  // namespace tavrik::xbase::testing
