#include "xbase/Order.h"

#include <algorithm>
#include <cmath>

namespace tavrik::xbase {

namespace {

std::string Padded(std::string key, size_t length, char fill) {
  key.resize(length, fill);
  return key;
}

bool BeginsWith(const std::string& key, const std::string& prefix) { return key.compare(0, prefix.size(), prefix) == 0; }

}  // namespace

TIndexOrder::TIndexOrder(std::shared_ptr<TIndexFile> file, int tag, const TExprContext& area)
    : file_(std::move(file)), tag_(tag), area_(area) {
  file_->Tag(tag_);  // refuses a tag that is not there
}

TIndexOrder::TRange TIndexOrder::Range(TIndexTree& tree) {
  const TKeyExpression& key = Tag().Key();
  const size_t length = key.Length();
  std::string low = Tag().Descending() ? bottom_ : top_;
  std::string high = Tag().Descending() ? top_ : bottom_;
  std::string low_key = low.empty() ? std::string() : Padded(key.KeyFromText(low), length, '\0');
  std::string high_key = high.empty() ? std::string() : Padded(key.KeyFromText(high), length, '\xFF');
  // Bounds given the wrong way round still mean the keys between them.
  if (!low.empty() && !high.empty() && low_key > high_key) {
    low_key = Padded(key.KeyFromText(high), length, '\0');
    high_key = Padded(key.KeyFromText(low), length, '\xFF');
  }
  TRange r{0, tree.Count()};
  if (!low_key.empty()) r.lo = tree.LowerBound(low_key, 0);
  if (!high_key.empty()) r.hi = tree.LowerBound(high_key, 0xFFFFFFFFu);  // past every entry with that key
  if (r.hi < r.lo) r.hi = r.lo;
  return r;
}

uint32_t TIndexOrder::First() {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  file_->CheckUsable();
  TIndexTree& tree = Tag().Visible();
  TRange r = Range(tree);
  if (r.lo == r.hi) return 0;
  return RecnoAt(tree, Tag().Descending() ? r.hi - 1 : r.lo);
}

uint32_t TIndexOrder::Last() {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  file_->CheckUsable();
  TIndexTree& tree = Tag().Visible();
  TRange r = Range(tree);
  if (r.lo == r.hi) return 0;
  return RecnoAt(tree, Tag().Descending() ? r.lo : r.hi - 1);
}

int64_t TIndexOrder::Step(TIndexTree& tree, const TRange& r, const std::string& key, uint32_t recno, bool up) {
  uint32_t at = tree.LowerBound(key, recno);
  if (up) {
    // The first entry above (key, recno); a record before the scope steps into it.
    TTreeEntry e;
    bool exact = at < tree.Count() && (e = tree.At(at)).recno == recno && e.key == key;
    int64_t next = static_cast<int64_t>(at) + (exact ? 1 : 0);
    if (next < r.lo) next = r.lo;
    return next < r.hi ? next : -1;
  }
  // The last entry below (key, recno); a record after the scope steps into it.
  int64_t prior = static_cast<int64_t>(at) - 1;
  if (prior >= static_cast<int64_t>(r.hi)) prior = static_cast<int64_t>(r.hi) - 1;
  return prior >= static_cast<int64_t>(r.lo) ? prior : -1;
}

uint32_t TIndexOrder::Next(uint32_t recno, std::string_view image) {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  file_->CheckUsable();
  std::optional<std::string> key = Tag().KeyOf(recno, image);
  if (!key) return 0;
  TIndexTree& tree = Tag().Visible();
  int64_t at = Step(tree, Range(tree), *key, recno, !Tag().Descending());
  return at < 0 ? 0 : RecnoAt(tree, static_cast<uint32_t>(at));
}

uint32_t TIndexOrder::Prior(uint32_t recno, std::string_view image) {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  file_->CheckUsable();
  std::optional<std::string> key = Tag().KeyOf(recno, image);
  if (!key) return 0;
  TIndexTree& tree = Tag().Visible();
  int64_t at = Step(tree, Range(tree), *key, recno, Tag().Descending());
  return at < 0 ? 0 : RecnoAt(tree, static_cast<uint32_t>(at));
}

std::string TIndexOrder::Wanted(std::string_view key_text) const {
  const TKeyExpression& key = Tag().Key();
  std::string wanted = key.KeyFromText(key_text);
  // With Exact on, a short text stands for the whole key with blanks after it.
  if (area_.Settings().exact && key.AllowsPartial()) wanted = Padded(wanted, key.Length(), ' ');
  return wanted;
}

bool TIndexOrder::Matches(std::string_view key_text, uint32_t recno, std::string_view image) {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  file_->CheckUsable();
  std::optional<std::string> key = Tag().MemberKey(recno, image);
  return key && BeginsWith(*key, Wanted(key_text));
}

TSeekResult TIndexOrder::Seek(std::string_view key_text) {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  file_->CheckUsable();
  const TKeyExpression& key = Tag().Key();
  const size_t length = key.Length();
  const TEngineSettings& settings = area_.Settings();
  const std::string wanted = Wanted(key_text);
  TIndexTree& tree = Tag().Visible();
  TRange r = Range(tree);
  TSeekResult result;
  int64_t at;
  if (!Tag().Descending()) {
    at = std::max(tree.LowerBound(Padded(wanted, length, '\0'), 0), r.lo);
    if (at >= r.hi) at = -1;
  } else {
    at = static_cast<int64_t>(std::min(tree.LowerBound(Padded(wanted, length, '\xFF'), 0xFFFFFFFFu), r.hi)) - 1;
    if (at < static_cast<int64_t>(r.lo)) at = -1;
  }
  if (at >= 0) {
    TTreeEntry e = tree.At(static_cast<uint32_t>(at));
    result.found = BeginsWith(e.key, wanted);
    if (result.found || settings.soft_seek) result.recno = e.recno;
  }
  found_ = result.found;
  return result;
}

void TIndexOrder::SetScope(std::string_view top, std::string_view bottom) {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  top_ = top;
  bottom_ = bottom;
}

uint32_t TIndexOrder::KeyCount() {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  file_->CheckUsable();
  TIndexTree& tree = Tag().Visible();
  TRange r = Range(tree);
  return r.hi - r.lo;
}

uint32_t TIndexOrder::KeyPosition(uint32_t recno, std::string_view image) {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  file_->CheckUsable();
  std::optional<std::string> key = Tag().MemberKey(recno, image);
  if (!key) return 0;
  TIndexTree& tree = Tag().Visible();
  TRange r = Range(tree);
  uint32_t at = tree.LowerBound(*key, recno);
  if (at < r.lo || at >= r.hi) return 0;
  TTreeEntry e = tree.At(at);
  if (e.recno != recno || e.key != *key) return 0;
  return Tag().Descending() ? r.hi - at : at - r.lo + 1;
}

double TIndexOrder::RelativePosition(uint32_t recno, std::string_view image) {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  uint32_t position = KeyPosition(recno, image);
  if (position == 0) return 0;
  // position / count alone may come back a hair low (1.0 / 49 * 49 is 0.999...), and callers
  // truncate; the nudge keeps the product at or just above the position.
  return static_cast<double>(position) / KeyCount() * (1 + 1e-12);
}

uint32_t TIndexOrder::RecordAtRelative(double fraction) {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  uint32_t count = KeyCount();
  if (count == 0) return 0;
  double position = std::round(fraction * count);
  if (!(position >= 1)) position = 1;  // also for NaN
  if (position > count) position = count;
  return RecordAt(static_cast<uint32_t>(position));
}

uint32_t TIndexOrder::RecordAt(uint32_t position) {
  std::lock_guard<std::recursive_mutex> lock(file_->Mutex());
  file_->CheckUsable();
  TIndexTree& tree = Tag().Visible();
  TRange r = Range(tree);
  if (position < 1 || position > r.hi - r.lo) return 0;
  return RecnoAt(tree, Tag().Descending() ? r.hi - position : r.lo + position - 1);
}

}  // namespace tavrik::xbase
