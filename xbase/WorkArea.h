// One open table as a client sees it: a position walked through the active order, the current
// record's image, the typed field getters, Replace, record locks and the work area's own engine
// settings.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/Expr.h"
#include "xbase/ExprContext.h"
#include "xbase/IndexTag.h"
#include "xbase/LockTable.h"
#include "xbase/OrderList.h"
#include "xbase/RecordOrder.h"
#include "xbase/Settings.h"
#include "xbase/Table.h"
#include "xbase/TableNaturalOrder.h"
#include "xbase/TableRegistry.h"

namespace tavrik::xbase {

// What Commit does: full also forces the files to disk, normal writes what the engine holds in
// memory (an exclusive table's header), none leaves that to closing.
enum class TCommitLevel { full = 0, normal = 1, none = 2 };

// The value type codes of Replace and the value bytes that come with each:
//   1     32-bit signed integer, 4 bytes, least significant first
//   2     16-bit signed integer widened to 32 bits, 4 bytes as above
//   32    32-bit unsigned integer, 4 bytes as above
//   8     IEEE double, 8 bytes, least significant first
//   128   logical, 1 byte: 0 false, anything else true
//   1024  text; 1025 fixed-length text; 1056 text of a number or a date: the caller's string
//         values all arrive as single-byte text without terminator and convert alike
//   3072  memo text
// Into a field: character fields take the value's text (a text is cut at the width; a number
// that does not fit is refused); numeric fields the number right-aligned with the field's
// decimals (a text must be a decimal number); date fields a text "yyyymmdd" or in the shown date
// form, or an integer day number (1 = 1 January of year 1, 0 = no date); logical fields a
// logical, a number (non-zero true) or a text T/F/Y/N; memo fields (M, B, G, P) text only.
// Blank text empties any field.
enum TReplaceType : int {
  rtInteger = 1,
  rtSmallInt = 2,
  rtUnsigned = 32,
  rtDouble = 8,
  rtLogical = 128,
  rtText = 1024,
  rtFixedText = 1025,
  rtValueText = 1056,
  rtMemoText = 3072,
};

// What QueryRowCount answers: the records that match the new filter (and the deleted setting),
// and the records seen through the filter alone.
struct TQueryCount {
  uint32_t matches = 0;
  uint32_t record_count = 0;
};

// A work area is used by one thread at a time; the table behind it is shared with every other
// work area on the same file (TTableRegistry), and so are its index files. Its navigation is in
// WorkArea.cpp, its field readings and Replace in WorkAreaFields.cpp, its orders and seeks in
// WorkAreaOrders.cpp, expressions and filters in WorkAreaQuery.cpp.
//
// Text the client exchanges is ANSI; what the table stores, and so what keys, conditions and
// expressions see, is the stored text (OEM while translation is on). Every client text that
// meets stored text (seek keys, scope bounds, expressions, filters, tag keys and conditions) is
// turned into the stored form first, and every character result back into ANSI.
class TWorkArea : public TExprContext {
 public:
  // Opens `path` (ETableError / ETableCorrupt as TTableRegistry and TTable raise them) and goes
  // to the top. `table_type` 1..4 is kept for the index orders; `settings` is copied.
  TWorkArea(const std::string& path, std::string alias, TOpenMode mode, int table_type, TCommitLevel commit_level,
            const TEngineSettings& settings);
  // Releases the work area's locks and its use of the table; never raises (use Close for that).
  ~TWorkArea() override;
  TWorkArea(const TWorkArea&) = delete;
  TWorkArea& operator=(const TWorkArea&) = delete;
  // The same as the destructor, but a failure to write the table's last changes is raised.
  void Close();

  const std::string& Alias() const { return alias_; }
  const std::string& Path() const { return table_->Path(); }
  TOpenMode Mode() const { return mode_; }
  int TableType() const { return table_type_; }
  TCommitLevel CommitLevel() const { return commit_level_; }
  TTable& Table() { return *table_; }
  TLockOwner LockOwner() const { return owner_; }

  int FieldCount() const { return int(table_->Fields().size()); }
  uint32_t RecordSize() const { return table_->RecordSize(); }
  // Field by name (any letter case, blanks around ignored) or by number from 1; ETableError
  // "Field <NAME> does not exist in <ALIAS>" / "Field number <n> does not exist in <ALIAS>".
  const TFieldInfo& FieldByName(std::string_view name) const;
  const TFieldInfo& FieldByNumber(int number) const;

  // TExprContext: the stored record image (no OEM translation), the record number, settings.
  int FieldIndex(std::string_view upper_name) const override { return table_->FieldIndex(upper_name); }
  const TFieldInfo& Field(int index) const override { return table_->Fields().at(size_t(index)); }
  std::string_view RecordImage() const override { return image_; }
  uint32_t RecNo() const override { return recno_; }
  const TEngineSettings& Settings() const override { return settings_; }
  TEngineSettings& MutableSettings() { return settings_; }

  // Navigation, always through the active order. Moving skips records that are not visible
  // (deleted ones while deleted records are hidden, ones the filter refuses). Past the end the
  // work area stands on the phantom record RecCount()+1 with a blank image and Eof true; before
  // the first it stands on the first record with Bof true.
  void GoTop();
  void GoBottom();
  void Skip(int64_t count);  // 0 reads the current record again
  // Any record by number, visible or not; a number outside the table goes to the phantom record.
  // Returns the record number now current.
  uint32_t Go(int64_t recno);
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  // The record count, read again from the file (other processes may have appended).
  uint32_t RecCount() { return table_->RefreshRecCount(); }

  // The active order (not owned; it must stay alive while it is active), nullptr for the natural
  // order. The position does not change. The numbered orders below set it themselves.
  void SetOrder(TRecordOrder* order) { order_ = order; }
  TRecordOrder& Order() { return order_ ? *order_ : natural_; }
  // A further condition on visible records, asked with the candidate record current; empty for
  // none.
  using TRecordFilter = std::function<bool(const TWorkArea&)>;
  void SetFilter(TRecordFilter filter) {
    filter_ = std::move(filter);
    filter_text_.clear();
  }
  // Whether the current record passes the deleted setting and the filter.
  bool Visible() const;

  // The current record as the caller exchanges it: the stored image, with character fields
  // translated to ANSI while OEM translation is on.
  std::string GetRecord() const;
  // Stores a whole record image (RecordSize() bytes) over the current record; memo references in
  // it are ignored (memo contents change through Replace and PutBlob only).
  void PutRecord(std::string_view image);
  // Adds a blank record, locked for this work area, and makes it current; returns its number.
  uint32_t AppendBlank();
  void Delete();
  void Recall();
  bool Deleted() const { return !eof_ && image_[0] == '*'; }
  void Commit();

  // Typed readings of the current record's fields.
  std::string GetTrimString(std::string_view field) const;
  int32_t GetInteger(std::string_view field) const;
  double GetDouble(std::string_view field) const;
  std::string GetDateString(std::string_view field) const;
  std::string GetMemo(std::string_view field, int line_width) const;
  std::string GetBlob(std::string_view field) const;
  uint32_t GetBlobLength(std::string_view field) const;
  // Stores `data` as the content of a memo field; returns the number of bytes stored.
  uint32_t PutBlob(std::string_view field, std::string_view data);
  // Converts a value (TReplaceType code and its bytes) into the field's stored text and writes
  // the record.
  void Replace(std::string_view field, int type_code, std::string_view value);

  // Locks record `recno` (0: the current record), waiting up to the lock time-out for another
  // work area's lock; false when it stays refused. Locking the current record reads it again.
  bool Rlock(uint32_t recno);
  // Releases record `recno`, 0 for every lock of this work area.
  void Unlock(uint32_t recno);
  std::vector<uint32_t> Locks() const;

  // ---- orders (WorkAreaOrders.cpp) ----
  // The orders of the table's own index file (listed first, from the open on) and of every index
  // file the work area opened; 0 is the natural order. Index file names without a folder are
  // looked for beside the table, and get the extension ".mxi" when they have none.
  TOrderList& Orders();
  // Lists a further index file; returns its first order number (0 when it has no tags).
  int IndexOpen(const std::string& file);
  // Adds the tag to `file` ("" for the table's own index file), creating the file when there is
  // none, and builds it from every record; the new order becomes current, at its top. Returns
  // its order number.
  int IndexTag(const std::string& file, TTagDefinition def);
  // Stops listing every index file but the table's own, whose orders stay.
  void CloseIndexes();
  // Makes order `number` current (0: natural order) and returns the order current before; the
  // position stays. ETableError "Order <n> does not exist in <ALIAS>".
  int SelectOrder(int number);
  // Seeks the key text in the current order (ETableError when there is none). A record the
  // deleted setting or the filter hides is passed over to the next visible one, which is found
  // when its key still matches. Not found: the next greater key with SoftSeek on, else the
  // end (Eof). Returns and remembers whether it was found.
  bool Seek(std::string_view key_text);
  bool Found() const { return found_; }
  // Bounds the current order to keys from `top` to `bottom` (each compared over its own length;
  // an empty one leaves that end open, both empty remove the scope) and goes to the top. False,
  // with nothing changed, when no index order is current.
  bool SetScope(std::string_view top, std::string_view bottom);
  // 0 the top bound, 1 the bottom one; "" for an open end or without an index order.
  std::string GetScope(int which);
  // The current record's ordinal position in the current order (its scope included), the
  // record number in the natural order; 0 at the end or for a record outside the order.
  uint32_t KeyPosition();
  // KeyPosition as a fraction of the records in the order, and back: the record at a fraction
  // (the nearest visible one when that is hidden).
  double OrderPosGet();
  void OrderPosSet(double fraction);

  // ---- expressions and filters (WorkAreaQuery.cpp) ----
  // Each compiles the client's expression text against the fields and evaluates it on the
  // current record; EExprError for a text that does not compile or a value that cannot be
  // computed. EvalTest answers the type code: 1 character, 2 numeric, 3 logical, 4 date.
  int EvalTest(std::string_view expression) const;
  // Character values as ANSI text, dates as "yyyymmdd", numbers in up to 15 significant digits,
  // logicals as "T" / "F".
  std::string EvalString(std::string_view expression) const;
  // Numbers, and dates as day numbers (0 for the blank date).
  double EvalNumeric(std::string_view expression) const;
  bool EvalLogical(std::string_view expression) const;
  // 1 when the text is a logical expression (a usable filter), 0 when it compiles to another
  // type or is empty, -1 when it does not compile.
  int QueryTest(std::string_view condition) const;
  // Makes the condition the work area's filter (empty text: no filter), counts and goes to the
  // first visible record. A record whose condition cannot be computed counts as not matching.
  TQueryCount QueryRowCount(std::string_view condition);
  // The filter text as the client gave it, "" for none.
  const std::string& FilterText() const { return filter_text_; }
  // Records visible through the current order (its scope), the deleted setting and the filter.
  uint32_t Count();
  // The same, but deleted records count whatever the deleted setting.
  uint32_t QueryRecCount();

  // Client text into the stored form and back (the identity unless OEM translation is on).
  std::string ToAnsi(std::string text) const;
  std::string ToOem(std::string text) const;

 private:
  void Load(uint32_t recno);
  void GoPhantom();
  bool SettleForward(uint32_t recno);
  bool SettleBackward(uint32_t recno);
  void CheckWritableRecord() const;
  void Release() noexcept;
  void ReleaseIndexes(bool report);
  std::string IndexPath(const std::string& file) const;
  TIndexOrder* CurrentIndexOrder();
  TExpression Compile(std::string_view expression) const;
  uint32_t CountByWalking();
  void SettleAt(uint32_t recno);
  void WriteField(const TFieldInfo& f, const std::string& text);
  void WriteMemo(const TFieldInfo& f, std::string bytes);

  std::shared_ptr<TTable> table_;
  std::string alias_;
  TOpenMode mode_;
  int table_type_;
  TCommitLevel commit_level_;
  TEngineSettings settings_;
  TLockOwner owner_;
  TNaturalOrder natural_;
  TRecordOrder* order_ = nullptr;
  TRecordFilter filter_;
  std::string filter_text_;
  TOrderList orders_{*this};
  bool found_ = false;
  uint32_t recno_ = 0;
  std::string image_;
  bool bof_ = false;
  bool eof_ = false;
};

}  // namespace tavrik::xbase
