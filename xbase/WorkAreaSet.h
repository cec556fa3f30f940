// One client's numbered work areas with a current one, and one method per work-area command,
// named as the commands. The stand-in server keeps one set per session; the local engine
// library keeps one for the process.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "xbase/Settings.h"
#include "xbase/WorkArea.h"

namespace tavrik::xbase {

// A set is used by one thread at a time; different sets may be used from different threads at
// once (their work areas share tables, index files, locks and appends). Failures raise
// ETableError (ETableCorrupt for damaged tables), EIndexError and its kinds for index files
// (IndexError.h) and EExprError for expressions; all derive from tavrik::Exception.
class TWorkAreaSet {
 public:
  static constexpr int kMaxWorkArea = 65535;

  TWorkAreaSet() = default;
  ~TWorkAreaSet();
  TWorkAreaSet(const TWorkAreaSet&) = delete;
  TWorkAreaSet& operator=(const TWorkAreaSet&) = delete;

  // ---- opening and choosing work areas ----
  // Opens `file` in the lowest free work area and makes it current; returns its number. The
  // table's own index file (its name with ".mxi"), when there is one, is opened with it and its
  // orders listed from 1; the natural order is current. A damaged or foreign own index file
  // makes Use fail; one left stale by a crash is rebuilt.
  // `file` without extension gets ".DBF" (or ".dbf"), and a name that differs from the file's
  // only in letter case finds it. `alias` "" takes the file's base name; aliases are upper case
  // and unique within the set. open_mode: 0 shared, 1 read-only, 2 exclusive; table_type 1..4
  // (1 and 4 make .dbt memo files, 2 and 3 .fpt); commit_level 0 full, 1 normal, 2 none.
  int Use(const std::string& file, const std::string& alias, int open_mode, int table_type, int commit_level);
  // The same, but the current work area stays as it was.
  int UseEx(const std::string& file, const std::string& alias, int open_mode, int table_type, int commit_level);
  // The alias of work area `work_area`, "" when nothing is open there.
  std::string Alias(int work_area) const;
  // Makes `work_area` (0..kMaxWorkArea, open or not) current; returns the one current before.
  int Select(int work_area);
  // The work area with this alias (any letter case), 0 when none.
  int WorkArea(std::string_view alias) const;
  int Current() const { return current_; }
  // How many work areas are open.
  int Count() const { return static_cast<int>(areas_.size()); }
  // Closes the current work area (it stays current, empty); nothing when it is empty.
  void Close();
  void CloseAll();

  // ---- records of the current work area ----
  int AppendBlank();
  bool Bof();
  bool Eof();
  void Commit();
  void Delete();
  bool Deleted();
  void GoTop();
  void GoBottom();
  void Skip(int count);
  int Go(int64_t recno);
  int RecNo();
  int RecCount();
  std::string GetRecord();
  void PutRecord(std::string_view image);
  void Replace(std::string_view field, int type_code, std::string_view value);
  bool Rlock(int recno);
  void Unlock(int recno);

  // ---- fields of the current work area ----
  std::string FieldName(int number);  // number from 1
  std::string FieldType(std::string_view field);
  int FieldWidth(std::string_view field);
  int FieldDecimals(std::string_view field);
  // The field's offset in the record image counted from 1 (the first field, behind the
  // deletion flag, is at 2).
  int FieldOffset(std::string_view field);
  int FieldCount();
  int RecordSize();
  // Five CR LF terminated lines per field: name, type letter, width, decimals and offset
  // (counted from 1), the numbers in upper-case hexadecimal.
  std::string GetStructure();
  std::string GetTrimString(std::string_view field);
  int GetInteger(std::string_view field);
  double GetDouble(std::string_view field);
  std::string GetDateString(std::string_view field);
  std::string GetMemo(std::string_view field, int line_width);
  std::string GetBlob(std::string_view field);
  int GetBlobLength(std::string_view field);
  int PutBlob(std::string_view field, std::string_view data);
  // Encrypted tables are refused when opened (their support comes later), so no open table is
  // encrypted.
  bool IsEncrypted(int what);

  // ---- settings ----
  // Each changes the settings that work areas opened later start with and, when a table is
  // open there, the current work area's own.
  void SetCentury(bool on);
  void SetDateFormat(int code);        // 0..6 or 99; others refused
  void SetDeleted(bool on);            // hide deleted records from navigation
  int SetEpoch(int year);              // 100..2999; returns the epoch now in force
  void SetExact(bool on);
  void SetSoftSeek(bool on);
  void SetLockTimeOut(int seconds);    // below 0 counts as 0: one attempt
  int SetMemoBlockSize(int size);      // returns the block size in bytes of new .fpt files
  void SetTranslate(bool on);          // OEM translation of character data
  void SetTurboRead(bool on);          // accepted; reading is always direct
  void SetPassword(const std::string& password);  // accepted; no table is encrypted
  // System properties: 1002 reads Exact, 1003 sets it from the value's low byte and returns the
  // old setting, 1006 reads whether deleted records are hidden, 1008 reads optimistic buffering
  // (always 0: every write goes straight to the file), 1009 asks for it (no effect, returns 0),
  // 3000 reads the number of orders of the current work area, 3002 whether order `value` (0:
  // the current one) is descending. Others raise "System property <n> is not supported".
  int SysProp(int code, int value);
  const TEngineSettings& Settings();
  std::string Version() const;

  // ---- orders of the current work area (WorkAreaSetOrders.cpp) ----
  // Index file names without a folder are looked for beside the table; without an extension
  // they get ".mxi". Orders are numbered from 1 across the listed files, 0 is the natural order.
  //
  // Lists a further index file; returns its first order number (0 when it has no tags).
  int IndexOpen(const std::string& file);
  // Adds a tag (or replaces the one of that name) to `file`, "" for the table's own index file,
  // creating the file when there is none, and builds it from every record. The key and the
  // for-condition ("" for none) are expressions; a unique tag shows one record per key. The new
  // order becomes current, at its top; returns its number.
  int IndexTag(const std::string& file, const std::string& tag, const std::string& key,
               const std::string& condition, bool unique, bool descending);
  // Makes order `order` current (0: natural order); returns the order current before. The
  // position stays. ETableError "Order <n> does not exist in <ALIAS>".
  int SetOrder(int order);
  int IndexOrd();
  // The order number of a tag (any letter case), 0 when none.
  int TagArea(std::string_view tag);
  // Facts of order `order` (0: the current one); "" when there is no such order.
  std::string TagName(int order);
  std::string IndexName(int order);  // the index file's path
  // Facts of order `order`, by default the current one; "" or 0 for the natural order or no
  // such order. IndexType: 1 ordinary, 2 unique. (Descending: SysProp 3002.)
  std::string IndexKey(int order = 0);
  std::string IndexKeyField(int order = 0);  // the field a plain or UPPER() key is made of, else ""
  std::string IndexCondition(int order = 0);
  int IndexType(int order = 0);
  // Closes every index file but the table's own, whose orders stay listed.
  void CloseIndexes();
  // Seeks in the current order (ETableError without one): with Exact off a shorter key text
  // finds the first key it begins; with Exact on it must match the whole key. Hidden records
  // (deleted, filtered) are passed over. Not found: on the next greater key with SoftSeek on,
  // else at the end (Eof). Returns whether it was found, which Found repeats.
  bool Seek(std::string_view key);
  bool Found();
  // Bounds the current order to the keys from `low` to `high`, each compared over its own length
  // (an empty one leaves that end open; both empty remove the scope) and goes to the top. False,
  // with nothing changed, when the natural order is current.
  bool SetScope(std::string_view low, std::string_view high);
  // 0 the low bound, 1 the high one: the text given, "" for an open end.
  std::string GetScope(int which);
  // The current record's position as a fraction of the records in the current order (scope
  // included), and the record at such a fraction.
  void OrderPosSet(double position);
  double OrderPosGet();
  // The current record's ordinal position in the current order (scope included), its record
  // number in the natural order; 0 at the end of file. The second position value of a batch read.
  int KeyPosition();

  // ---- expressions and filters of the current work area (WorkAreaSetOrders.cpp) ----
  // Expressions are evaluated on the current record. EvalTest answers the type code (1 character,
  // 2 numeric, 3 logical, 4 date); the others raise EExprError for a text that does not compile,
  // a value that cannot be computed, or a value of the wrong type (EvalNumeric takes numbers and
  // dates as day numbers; EvalString gives any value as text: dates "yyyymmdd", logicals T/F).
  int EvalTest(std::string_view expression);
  std::string EvalString(std::string_view expression);
  double EvalNumeric(std::string_view expression);
  bool EvalLogical(std::string_view expression);
  // Makes `condition` the filter ("" removes it) and goes to the first visible record. Answers
  // the records that match (visible: the filter, the deleted setting and the scope), 0 when none,
  // and the records seen through the filter (QueryRecCount). EExprError for a condition that
  // is not logical; the filter stays as it was then.
  TQueryCount QueryRowCount(std::string_view condition);
  // 1 for a logical expression (a usable filter), 0 for another type or an empty text, -1 for a
  // text that does not compile.
  int QueryTest(std::string_view condition);
  // Records seen through the filter (and the scope) whatever the deleted setting.
  int QueryRecCount();
  // The filter as given, "" for none.
  std::string DBFilter();
  // Records visible: the filter, the deleted setting and the scope of the current order.
  int Count();

  // ---- tables ----
  // Creates a table from a "NAME,TYPE,WIDTH,DECIMALS;..." list (see TableCreate.h), memo files
  // with the memo block size setting; a file name without extension gets ".DBF".
  void Create(const std::string& file, const std::string& fields, int table_type);

  // The current work area; ETableError "No table is open in work area <n>" when it is empty.
  TWorkArea& CurrentArea();
  // The work area `work_area`, nullptr when nothing is open there.
  TWorkArea* Find(int work_area) const;

 private:
  int Open(const std::string& file, const std::string& alias, int open_mode, int table_type, int commit_level);
  template <typename F>
  void ChangeSetting(F change);

  // Opening and finding work areas stay logarithmic however many are open.
  std::map<int, std::unique_ptr<TWorkArea>> areas_;
  std::map<std::string, int, std::less<>> by_alias_;
  std::set<int> free_;  // numbers below next_ that Close gave back
  int next_ = 1;        // the lowest number never handed out
  int current_ = 0;
  TEngineSettings defaults_;
};

// The file a table name stands for (see Use); the name itself when nothing better exists.
std::string ResolveTablePath(const std::string& file);

}  // namespace tavrik::xbase
