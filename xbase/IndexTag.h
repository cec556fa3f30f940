// One tag of an index file: its definition (name, key expression, optional for-condition, unique
// and descending flags), the compiled key and condition, and its trees. Unique tags keep two
// trees: every (key, record) entry, and the first record of each key, which is what their orders
// show; when that record leaves the key, the next record with the key takes its place.
//
// A record belongs to a tag when its for-condition holds. A record whose key or condition cannot
// be evaluated (a division by zero, say) is left out, the same way on every change, so the tag
// never disagrees with itself. The deletion flag plays no part.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "xbase/ExprKey.h"
#include "xbase/IndexRecordSource.h"
#include "xbase/IndexTree.h"

namespace tavrik::xbase {

struct TTagDefinition {
  std::string name;       // 1..32 letters, digits and "_", not starting with a digit
  std::string key;        // key expression, at most 1024 characters
  std::string condition;  // for-condition, "" for none, at most 1024 characters
  bool unique = false;
  bool descending = false;
};

class TIndexTag {
 public:
  // Compiles the definition against `structure` (the table's fields; only read here) and keeps
  // `settings` by value for evaluating keys. Raises EIndexError for a bad name or over-long
  // texts and EExprError for expressions that do not compile or a condition that is not logical.
  TIndexTag(TIndexPager& pager, uint16_t slot, TTagDefinition def, const TExprContext& structure,
            const TEngineSettings& settings);

  const TTagDefinition& Definition() const { return def_; }
  const std::string& Name() const { return def_.name; }
  const TKeyExpression& Key() const { return key_; }
  bool Unique() const { return def_.unique; }
  bool Descending() const { return def_.descending; }
  uint16_t Slot() const { return slot_; }

  // The tree orders walk: every entry, or for unique tags the first record of each key.
  TIndexTree& Visible() { return def_.unique ? firsts_ : keys_; }

  // The key of a record image whatever its condition; nothing when it cannot be evaluated.
  std::optional<std::string> KeyOf(uint32_t recno, std::string_view image) const;
  // The key when the record belongs to the tag; nothing otherwise.
  std::optional<std::string> MemberKey(uint32_t recno, std::string_view image) const;

  // Brings the trees up to date with a change of one record (an empty old image: appended; an
  // empty new image: gone again); telling the same change twice does no harm.
  void RecordChanged(uint32_t recno, std::string_view old_image, std::string_view new_image);
  // Fills the trees from every record of `records`, replacing what they held.
  void Build(TRecordSource& records);
  // Up to `samples` entries, spread over the tag, checked against the records they name: nothing
  // when each record exists and holds the key it is filed under, else what is wrong.
  std::optional<std::string> Disagreement(TRecordSource& records, uint32_t samples);

  // Definition pages (layout in IndexFormat.h).
  void WriteDefinition(TPage& page) const;
  // Reads a definition page; nothing when the page is not a sound definition.
  static std::optional<TTagDefinition> ReadDefinition(const uint8_t* bytes, uint16_t& slot, size_t& key_length,
                                                      char& key_type);
  // Raises EIndexError unless `name` is a valid tag name; returns it upper-cased.
  static std::string CheckedName(std::string_view name);

 private:
  void Add(const std::string& key, uint32_t recno);
  void Remove(const std::string& key, uint32_t recno);

  uint16_t slot_;
  TTagDefinition def_;
  TKeyExpression key_;
  std::optional<TExpression> condition_;
  TEngineSettings settings_;
  TIndexTree keys_;
  TIndexTree firsts_;
};

}  // namespace tavrik::xbase
