// One client's numbered work areas with a current one, and one method per work-area command,
// named as the commands. The stand-in server keeps one set per session; the local engine
// library keeps one for the process.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "xbase/Settings.h"
#include "xbase/WorkArea.h"

namespace tavrik::xbase {

// A set is used by one thread at a time; different sets may be used from different threads at
// once (their work areas share tables, locks and appends). Failures raise ETableError
// (ETableCorrupt for damaged files).
class TWorkAreaSet {
 public:
  static constexpr int kMaxWorkArea = 65535;

  TWorkAreaSet() = default;
  ~TWorkAreaSet();
  TWorkAreaSet(const TWorkAreaSet&) = delete;
  TWorkAreaSet& operator=(const TWorkAreaSet&) = delete;

  // ---- opening and choosing work areas ----
  // Opens `file` in the lowest free work area and makes it current; returns its number.
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
  // (always 0: every write goes straight to the file), 1009 asks for it (no effect, returns 0).
  // Others raise "System property <n> is not supported".
  int SysProp(int code, int value);
  const TEngineSettings& Settings();
  std::string Version() const;

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

  std::map<int, std::unique_ptr<TWorkArea>> areas_;
  int current_ = 0;
  TEngineSettings defaults_;
};

// The file a table name stands for (see Use); the name itself when nothing better exists.
std::string ResolveTablePath(const std::string& file);

}  // namespace tavrik::xbase
