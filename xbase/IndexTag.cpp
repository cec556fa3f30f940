#include "xbase/IndexTag.h"

#include <algorithm>
#include <cstring>

#include "xbase/ExprError.h"
#include "xbase/ExprImageContext.h"
#include "xbase/IndexError.h"

namespace tavrik::xbase {

namespace {

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

std::optional<TExpression> CompileCondition(const TTagDefinition& def, const TExprContext& structure) {
  if (def.condition.find_first_not_of(" \t") == std::string::npos) return std::nullopt;
  TExpression condition(def.condition, structure);
  if (condition.Type() != TExprType::etLogical)
    throw EExprError("For-condition of tag " + def.name + " is not logical: " + def.condition);
  return condition;
}

TTagDefinition Checked(TTagDefinition def) {
  def.name = TIndexTag::CheckedName(def.name);
  if (def.key.size() > kMaxTagExpression || def.condition.size() > kMaxTagExpression)
    throw EIndexError("Expressions of tag " + def.name + " may be at most " + std::to_string(kMaxTagExpression) +
                      " characters long");
  return def;
}

}  // namespace

std::string TIndexTag::CheckedName(std::string_view name) {
  bool ok = !name.empty() && name.size() <= kMaxTagName && IsNameStart(name[0]) &&
            std::all_of(name.begin(), name.end(), IsNameChar);
  if (!ok) throw EIndexError("Invalid tag name: \"" + std::string(name) + "\"");
  std::string upper(name);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return upper;
}

TIndexTag::TIndexTag(TIndexPager& pager, uint16_t slot, TTagDefinition def, const TExprContext& structure,
                     const TEngineSettings& settings)
    : slot_(slot),
      def_(Checked(std::move(def))),
      key_(def_.key, structure),
      condition_(CompileCondition(def_, structure)),
      settings_(settings),
      keys_(pager, slot, 0, key_.Length()),
      firsts_(pager, slot, 1, key_.Length()) {}

std::optional<std::string> TIndexTag::KeyOf(uint32_t recno, std::string_view image) const {
  TImageContext ctx(settings_, image, recno);
  try {
    return key_.KeyOf(ctx);
  } catch (const EExprError&) {
    return std::nullopt;
  }
}

std::optional<std::string> TIndexTag::MemberKey(uint32_t recno, std::string_view image) const {
  TImageContext ctx(settings_, image, recno);
  try {
    if (condition_ && !condition_->IsTrue(ctx)) return std::nullopt;
    return key_.KeyOf(ctx);
  } catch (const EExprError&) {
    return std::nullopt;
  }
}

void TIndexTag::Add(const std::string& key, uint32_t recno) {
  if (!keys_.Insert(key, recno) || !def_.unique) return;
  // The new entry shows only when it is now the first of its key.
  TTreeEntry first = keys_.At(keys_.LowerBound(key, 0));
  if (first.recno != recno) return;
  uint32_t at = firsts_.LowerBound(key, 0);
  if (at < firsts_.Count()) {
    TTreeEntry shown = firsts_.At(at);
    if (shown.key == key) firsts_.Erase(shown.key, shown.recno);
  }
  firsts_.Insert(key, recno);
}

void TIndexTag::Remove(const std::string& key, uint32_t recno) {
  if (!keys_.Erase(key, recno) || !def_.unique) return;
  if (!firsts_.Erase(key, recno)) return;
  // The record that showed for its key has gone; the next record with that key shows instead.
  uint32_t at = keys_.LowerBound(key, 0);
  if (at < keys_.Count()) {
    TTreeEntry next = keys_.At(at);
    if (next.key == key) firsts_.Insert(next.key, next.recno);
  }
}

void TIndexTag::RecordChanged(uint32_t recno, std::string_view old_image, std::string_view new_image) {
  std::optional<std::string> before = old_image.empty() ? std::nullopt : MemberKey(recno, old_image);
  std::optional<std::string> after = new_image.empty() ? std::nullopt : MemberKey(recno, new_image);
  if (before == after) return;
  if (before) Remove(*before, recno);
  if (after) Add(*after, recno);
}

void TIndexTag::Build(TRecordSource& records) {
  std::vector<TTreeEntry> entries;
  uint32_t count = records.RecordCount();
  entries.reserve(count);
  for (uint32_t recno = 1; recno <= count && recno != 0xFFFFFFFFu; ++recno) {
    std::optional<std::string> key = MemberKey(recno, records.RecordImage(recno));
    if (key) entries.push_back({std::move(*key), recno});
  }
  // Records come in ascending order, so a stable sort by key leaves equal keys by record.
  std::stable_sort(entries.begin(), entries.end(), [](const TTreeEntry& a, const TTreeEntry& b) {
    return std::memcmp(a.key.data(), b.key.data(), a.key.size()) < 0;
  });
  keys_.Load(entries);
  if (!def_.unique) {
    firsts_.Clear();
    return;
  }
  std::vector<TTreeEntry> firsts;
  for (size_t i = 0; i < entries.size(); ++i)
    if (i == 0 || entries[i].key != entries[i - 1].key) firsts.push_back(entries[i]);
  firsts_.Load(firsts);
}

void TIndexTag::WriteDefinition(TPage& page) const {
  std::memset(page.bytes, 0, kPageSize);
  page.bytes[kPageType] = kPageTagDef;
  page.bytes[kDefFlags] = static_cast<uint8_t>((def_.unique ? kDefUnique : 0) | (def_.descending ? kDefDescending : 0));
  page.bytes[kDefKeyType] = static_cast<uint8_t>(ExprTypeLetter(key_.Type()));
  PutLe16(page.bytes + kDefKeyLength, static_cast<uint16_t>(key_.Length()));
  PutLe16(page.bytes + kDefSlot, slot_);
  PutLe16(page.bytes + kDefNameLength, static_cast<uint16_t>(def_.name.size()));
  PutLe16(page.bytes + kDefKeyExprLength, static_cast<uint16_t>(def_.key.size()));
  PutLe16(page.bytes + kDefForLength, static_cast<uint16_t>(def_.condition.size()));
  std::memcpy(page.bytes + kDefName, def_.name.data(), def_.name.size());
  std::memcpy(page.bytes + kDefKeyExpr, def_.key.data(), def_.key.size());
  std::memcpy(page.bytes + kDefFor, def_.condition.data(), def_.condition.size());
  page.checked = false;
}

std::optional<TTagDefinition> TIndexTag::ReadDefinition(const uint8_t* bytes, uint16_t& slot, size_t& key_length,
                                                        char& key_type) {
  if (bytes[kPageType] != kPageTagDef) return std::nullopt;
  size_t name_length = GetLe16(bytes + kDefNameLength);
  size_t key_expr_length = GetLe16(bytes + kDefKeyExprLength);
  size_t for_length = GetLe16(bytes + kDefForLength);
  key_length = GetLe16(bytes + kDefKeyLength);
  key_type = static_cast<char>(bytes[kDefKeyType]);
  slot = GetLe16(bytes + kDefSlot);
  if (name_length < 1 || name_length > kMaxTagName || key_expr_length < 1 || key_expr_length > kMaxTagExpression ||
      for_length > kMaxTagExpression || key_length < 1 || key_length > kMaxKeyLength || slot >= kMaxTags ||
      std::string_view("CNDL").find(key_type) == std::string_view::npos || (bytes[kDefFlags] & ~3) != 0)
    return std::nullopt;
  TTagDefinition def;
  def.name.assign(reinterpret_cast<const char*>(bytes + kDefName), name_length);
  def.key.assign(reinterpret_cast<const char*>(bytes + kDefKeyExpr), key_expr_length);
  def.condition.assign(reinterpret_cast<const char*>(bytes + kDefFor), for_length);
  def.unique = (bytes[kDefFlags] & kDefUnique) != 0;
  def.descending = (bytes[kDefFlags] & kDefDescending) != 0;
  try {
    if (CheckedName(def.name) != def.name) return std::nullopt;
  } catch (const EIndexError&) {
    return std::nullopt;
  }
  return def;
}

std::optional<std::string> TIndexTag::Disagreement(TRecordSource& records, uint32_t samples) {
  const uint32_t entries = keys_.Count();
  const uint32_t count = records.RecordCount();
  if (entries > count)
    return "holds " + std::to_string(entries) + " entries for " + std::to_string(count) + " records";
  if (entries == 0) return std::nullopt;
  auto check = [&](uint32_t ordinal) -> std::optional<std::string> {
    const TTreeEntry e = keys_.At(ordinal);
    if (e.recno == 0 || e.recno > count) return "files record " + std::to_string(e.recno) + ", which does not exist";
    const std::optional<std::string> key = MemberKey(e.recno, records.RecordImage(e.recno));
    if (!key || *key != e.key) return "files record " + std::to_string(e.recno) + " under a key it does not hold";
    return std::nullopt;
  };
  const uint32_t step = std::max<uint32_t>(1, (entries + samples - 1) / samples);
  for (uint64_t ordinal = 0; ordinal < entries; ordinal += step)
    if (std::optional<std::string> why = check(static_cast<uint32_t>(ordinal))) return why;
  return check(entries - 1);  // the last one always
}

}  // namespace tavrik::xbase
