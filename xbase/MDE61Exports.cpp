// The exported entry points of libmde61.so over one TWorkAreaSet for the whole process.
//
// Threads: the library may be called from any thread. Every call holds one process-wide lock
// while it runs, so calls never overlap; but the current work area (mx_Select) is shared by all
// threads, so a program that works from several threads keeps mx_Select and the calls that
// follow it together under a lock of its own. Text results and mx_LastError are per thread.
// No exception leaves an entry point: a failure returns the empty value and keeps its message
// for mx_LastError.
#include <cstring>
#include <mutex>
#include <string>

#include "xbase/MDE61Api.h"
#include "xbase/TableError.h"
#include "xbase/TableRegistry.h"
#include "xbase/WorkAreaSet.h"

using tavrik::xbase::ETableError;
using tavrik::xbase::TWorkAreaSet;

namespace {

thread_local std::string t_text;
thread_local std::string t_error;

std::mutex& EngineLock() {
  static std::mutex lock;
  return lock;
}

TWorkAreaSet& Engine() {
  // The registry must outlive the set that closes its tables at exit: built first, it is
  // destroyed last.
  tavrik::xbase::TTableRegistry::Instance();
  static TWorkAreaSet set;
  return set;
}

template <typename R, typename F>
R Call(R empty, F&& f) {
  std::lock_guard<std::mutex> guard(EngineLock());
  try {
    return f(Engine());
  } catch (const std::exception& e) {
    t_error = e.what();
  } catch (...) {
    t_error = "Unknown failure in the engine";
  }
  return empty;
}

template <typename F>
void CallVoid(F&& f) {
  Call(0, [&](TWorkAreaSet& e) {
    f(e);
    return 0;
  });
}

const char* Text(std::string s) {
  t_text = std::move(s);
  return t_text.c_str();
}

std::string Arg(const char* s, const char* what) {
  if (!s) throw ETableError(std::string("No ") + what + " given");
  return s;
}

}  // namespace

#define MX_EXPORT extern "C" __attribute__((visibility("default")))

// ---- opening and work areas ----

MX_EXPORT int mx_Use(const char* file, const char* alias, int open_mode, int table_type) {
  return Call(0, [&](TWorkAreaSet& e) { return e.Use(Arg(file, "file"), alias ? alias : "", open_mode, table_type, 1); });
}
MX_EXPORT int mx_UseEx(const char* file, const char* alias, int open_mode, int table_type, int commit_level) {
  return Call(0, [&](TWorkAreaSet& e) {
    return e.UseEx(Arg(file, "file"), alias ? alias : "", open_mode, table_type, commit_level);
  });
}
MX_EXPORT const char* mx_Alias(int work_area) {
  return Text(Call(std::string(), [&](TWorkAreaSet& e) { return e.Alias(work_area); }));
}
MX_EXPORT int mx_Select(int work_area) { return Call(0, [&](TWorkAreaSet& e) { return e.Select(work_area); }); }
MX_EXPORT int mx_WorkArea(const char* alias) {
  return Call(0, [&](TWorkAreaSet& e) { return e.WorkArea(Arg(alias, "alias")); });
}
MX_EXPORT void mx_Close(void) { CallVoid([](TWorkAreaSet& e) { e.Close(); }); }
MX_EXPORT int mx_Create(const char* file, const char* fields, int table_type) {
  return Call(0, [&](TWorkAreaSet& e) {
    e.Create(Arg(file, "file"), Arg(fields, "field list"), table_type);
    return 1;
  });
}

// ---- records ----

MX_EXPORT int mx_AppendBlank(void) { return Call(0, [](TWorkAreaSet& e) { return e.AppendBlank(); }); }
MX_EXPORT int mx_Bof(void) { return Call(0, [](TWorkAreaSet& e) { return e.Bof() ? 1 : 0; }); }
MX_EXPORT int mx_Eof(void) { return Call(0, [](TWorkAreaSet& e) { return e.Eof() ? 1 : 0; }); }
MX_EXPORT void mx_Commit(void) { CallVoid([](TWorkAreaSet& e) { e.Commit(); }); }
MX_EXPORT void mx_Delete(void) { CallVoid([](TWorkAreaSet& e) { e.Delete(); }); }
MX_EXPORT int mx_Deleted(void) { return Call(0, [](TWorkAreaSet& e) { return e.Deleted() ? 1 : 0; }); }
MX_EXPORT void mx_GoTop(void) { CallVoid([](TWorkAreaSet& e) { e.GoTop(); }); }
MX_EXPORT void mx_GoBottom(void) { CallVoid([](TWorkAreaSet& e) { e.GoBottom(); }); }
MX_EXPORT void mx_Skip(int count) { CallVoid([&](TWorkAreaSet& e) { e.Skip(count); }); }
MX_EXPORT int mx_Go(int record) { return Call(0, [&](TWorkAreaSet& e) { return e.Go(record); }); }
MX_EXPORT int mx_RecNo(void) { return Call(0, [](TWorkAreaSet& e) { return e.RecNo(); }); }
MX_EXPORT int mx_RecCount(void) { return Call(0, [](TWorkAreaSet& e) { return e.RecCount(); }); }

MX_EXPORT int mx_GetRecord(void* buffer, int size) {
  return Call(0, [&](TWorkAreaSet& e) {
    const std::string record = e.GetRecord();
    if (!buffer || size < int(record.size()))
      throw ETableError("The buffer of " + std::to_string(size) + " bytes cannot hold a record of " +
                        std::to_string(record.size()));
    std::memcpy(buffer, record.data(), record.size());
    return int(record.size());
  });
}

MX_EXPORT int mx_PutRecord(const void* buffer, int size) {
  return Call(0, [&](TWorkAreaSet& e) {
    if (!buffer || size < 0) throw ETableError("No record given");
    e.PutRecord(std::string_view(static_cast<const char*>(buffer), size_t(size)));
    return 1;
  });
}

MX_EXPORT int mx_Replace(const char* field, int type_code, const void* value) {
  return Call(0, [&](TWorkAreaSet& e) {
    const std::string name = Arg(field, "field");
    if (!value) throw ETableError("No value given for field " + name);
    const char* bytes = static_cast<const char*>(value);
    size_t length = 0;
    switch (type_code) {
      case 1: case 2: case 32: length = 4; break;
      case 8: length = 8; break;
      case 128: length = 1; break;
      case 1024: case 1025: case 1056: case 3072: length = std::strlen(bytes); break;
      default: break;  // refused by Replace itself
    }
    e.Replace(name, type_code, std::string_view(bytes, length));
    return 1;
  });
}

MX_EXPORT int mx_Rlock(int record) {
  return Call(0, [&](TWorkAreaSet& e) {
    if (e.Rlock(record)) return 1;
    t_error = "Record " + std::to_string(record == 0 ? e.RecNo() : record) + " is locked by another user";
    return 0;
  });
}
MX_EXPORT void mx_Unlock(int record) { CallVoid([&](TWorkAreaSet& e) { e.Unlock(record); }); }

// ---- fields ----

MX_EXPORT const char* mx_FieldName(int number) {
  return Text(Call(std::string(), [&](TWorkAreaSet& e) { return e.FieldName(number); }));
}
MX_EXPORT const char* mx_FieldType(const char* field) {
  return Text(Call(std::string(), [&](TWorkAreaSet& e) { return e.FieldType(Arg(field, "field")); }));
}
MX_EXPORT int mx_FieldWidth(const char* field) {
  return Call(0, [&](TWorkAreaSet& e) { return e.FieldWidth(Arg(field, "field")); });
}
MX_EXPORT int mx_FieldDecimals(const char* field) {
  return Call(0, [&](TWorkAreaSet& e) { return e.FieldDecimals(Arg(field, "field")); });
}
MX_EXPORT int mx_FieldOffset(const char* field) {
  return Call(0, [&](TWorkAreaSet& e) { return e.FieldOffset(Arg(field, "field")); });
}
MX_EXPORT const char* mx_GetTrimString(const char* field) {
  return Text(Call(std::string(), [&](TWorkAreaSet& e) { return e.GetTrimString(Arg(field, "field")); }));
}
MX_EXPORT int mx_GetInteger(const char* field) {
  return Call(0, [&](TWorkAreaSet& e) { return e.GetInteger(Arg(field, "field")); });
}
MX_EXPORT double mx_GetDouble(const char* field) {
  return Call(0.0, [&](TWorkAreaSet& e) { return e.GetDouble(Arg(field, "field")); });
}
MX_EXPORT const char* mx_GetDateString(const char* field) {
  return Text(Call(std::string(), [&](TWorkAreaSet& e) { return e.GetDateString(Arg(field, "field")); }));
}
MX_EXPORT const char* mx_GetMemo(const char* field, int line_width) {
  return Text(Call(std::string(), [&](TWorkAreaSet& e) { return e.GetMemo(Arg(field, "field"), line_width); }));
}
MX_EXPORT int mx_GetBlobLength(const char* field) {
  return Call(0, [&](TWorkAreaSet& e) { return e.GetBlobLength(Arg(field, "field")); });
}
MX_EXPORT int mx_GetBlob(const char* field, void* buffer, int size) {
  return Call(0, [&](TWorkAreaSet& e) {
    const std::string blob = e.GetBlob(Arg(field, "field"));
    if (size < 0 || (!buffer && size > 0)) throw ETableError("No buffer given for field " + std::string(field));
    const size_t n = std::min(blob.size(), size_t(size));
    if (n > 0) std::memcpy(buffer, blob.data(), n);
    return int(n);
  });
}
MX_EXPORT int mx_PutBlob(const char* field, const void* data, int length) {
  return Call(0, [&](TWorkAreaSet& e) {
    const std::string name = Arg(field, "field");
    if (length < 0 || (!data && length > 0)) throw ETableError("No data given for field " + name);
    return e.PutBlob(name, std::string_view(static_cast<const char*>(data), size_t(length)));
  });
}
MX_EXPORT int mx_IsEncrypted(int what) { return Call(0, [&](TWorkAreaSet& e) { return e.IsEncrypted(what) ? 1 : 0; }); }
// Text results stay with the engine; there is nothing for the caller to give back.
MX_EXPORT void mx_MemDealloc(void*) {}

// ---- settings ----

MX_EXPORT void mx_SetCentury(int on) { CallVoid([&](TWorkAreaSet& e) { e.SetCentury(on != 0); }); }
MX_EXPORT void mx_SetDateFormat(int code) { CallVoid([&](TWorkAreaSet& e) { e.SetDateFormat(code); }); }
MX_EXPORT void mx_SetDeleted(int on) { CallVoid([&](TWorkAreaSet& e) { e.SetDeleted(on != 0); }); }
MX_EXPORT int mx_SetEpoch(int year) { return Call(0, [&](TWorkAreaSet& e) { return e.SetEpoch(year); }); }
MX_EXPORT void mx_SetExact(int on) { CallVoid([&](TWorkAreaSet& e) { e.SetExact(on != 0); }); }
MX_EXPORT void mx_SetSoftSeek(int on) { CallVoid([&](TWorkAreaSet& e) { e.SetSoftSeek(on != 0); }); }
MX_EXPORT void mx_SetLockTimeOut(int seconds) { CallVoid([&](TWorkAreaSet& e) { e.SetLockTimeOut(seconds); }); }
MX_EXPORT int mx_SetMemoBlockSize(int size) { return Call(0, [&](TWorkAreaSet& e) { return e.SetMemoBlockSize(size); }); }
MX_EXPORT void mx_SetTranslate(int on) { CallVoid([&](TWorkAreaSet& e) { e.SetTranslate(on != 0); }); }
MX_EXPORT void mx_SetTurboRead(int on) { CallVoid([&](TWorkAreaSet& e) { e.SetTurboRead(on != 0); }); }
MX_EXPORT void mx_SetPassword(const char* password) {
  CallVoid([&](TWorkAreaSet& e) { e.SetPassword(password ? password : ""); });
}
// Texts are single-byte throughout; there is no other string type to choose.
MX_EXPORT void mx_SetStringType(int) {}
MX_EXPORT int mx_SysProp(int code, int value) { return Call(0, [&](TWorkAreaSet& e) { return e.SysProp(code, value); }); }
MX_EXPORT const char* mx_Version(void) {
  return Text(Call(std::string(), [](TWorkAreaSet& e) { return e.Version(); }));
}
// The engine never shows messages of its own, whatever the level.
MX_EXPORT void mx_ErrorLevel(int) {}
MX_EXPORT const char* mx_LastError(void) { return t_error.c_str(); }

// ---- index orders, seeks and scopes ----

MX_EXPORT int mx_IndexOpen(const char* file) {
  return Call(0, [&](TWorkAreaSet& e) { return e.IndexOpen(Arg(file, "index file")); });
}
MX_EXPORT int mx_IndexTag(const char* file, const char* tag, const char* key, const char* condition, int unique,
                          int descending) {
  return Call(0, [&](TWorkAreaSet& e) {
    return e.IndexTag(file ? file : "", Arg(tag, "tag name"), Arg(key, "key expression"), condition ? condition : "",
                      unique != 0, descending != 0);
  });
}
MX_EXPORT void mx_CloseIndexes(void) { CallVoid([](TWorkAreaSet& e) { e.CloseIndexes(); }); }
MX_EXPORT int mx_SetOrder(int order) { return Call(0, [&](TWorkAreaSet& e) { return e.SetOrder(order); }); }
MX_EXPORT int mx_IndexOrd(void) { return Call(0, [](TWorkAreaSet& e) { return e.IndexOrd(); }); }
MX_EXPORT int mx_TagArea(const char* tag) { return Call(0, [&](TWorkAreaSet& e) { return e.TagArea(Arg(tag, "tag name")); }); }
MX_EXPORT const char* mx_TagName(int number) {
  return Text(Call(std::string(), [&](TWorkAreaSet& e) { return e.TagName(number); }));
}
MX_EXPORT const char* mx_IndexName(int number) {
  return Text(Call(std::string(), [&](TWorkAreaSet& e) { return e.IndexName(number); }));
}
MX_EXPORT const char* mx_IndexKey(void) { return Text(Call(std::string(), [](TWorkAreaSet& e) { return e.IndexKey(); })); }
MX_EXPORT const char* mx_IndexKeyField(void) {
  return Text(Call(std::string(), [](TWorkAreaSet& e) { return e.IndexKeyField(); }));
}
MX_EXPORT const char* mx_IndexCondition(void) {
  return Text(Call(std::string(), [](TWorkAreaSet& e) { return e.IndexCondition(); }));
}
MX_EXPORT int mx_IndexType(void) { return Call(0, [](TWorkAreaSet& e) { return e.IndexType(); }); }
MX_EXPORT int mx_Seek(const char* key) {
  return Call(0, [&](TWorkAreaSet& e) { return e.Seek(Arg(key, "key")) ? 1 : 0; });
}
MX_EXPORT int mx_Found(void) { return Call(0, [](TWorkAreaSet& e) { return e.Found() ? 1 : 0; }); }
// The bounds come with their lengths and need not end with a NUL.
MX_EXPORT int mx_SetScope(const char* low, int low_length, const char* high, int high_length) {
  return Call(0, [&](TWorkAreaSet& e) {
    if (low_length < 0 || high_length < 0 || (!low && low_length > 0) || (!high && high_length > 0))
      throw ETableError("Invalid scope bounds");
    return e.SetScope(std::string_view(low ? low : "", size_t(low_length)),
                      std::string_view(high ? high : "", size_t(high_length)))
               ? 1
               : 0;
  });
}
MX_EXPORT const char* mx_GetScope(int which) {
  return Text(Call(std::string(), [&](TWorkAreaSet& e) { return e.GetScope(which); }));
}
MX_EXPORT void mx_OrderPosSet(double position) { CallVoid([&](TWorkAreaSet& e) { e.OrderPosSet(position); }); }
MX_EXPORT double mx_OrderPosGet(void) { return Call(0.0, [](TWorkAreaSet& e) { return e.OrderPosGet(); }); }

// ---- expressions and filters ----

MX_EXPORT int mx_EvalTest(const char* expression) {
  return Call(0, [&](TWorkAreaSet& e) { return e.EvalTest(Arg(expression, "expression")); });
}
MX_EXPORT const char* mx_EvalString(const char* expression) {
  return Text(Call(std::string(), [&](TWorkAreaSet& e) { return e.EvalString(Arg(expression, "expression")); }));
}
MX_EXPORT double mx_EvalNumeric(const char* expression) {
  return Call(0.0, [&](TWorkAreaSet& e) { return e.EvalNumeric(Arg(expression, "expression")); });
}
MX_EXPORT int mx_EvalLogical(const char* expression) {
  return Call(0, [&](TWorkAreaSet& e) { return e.EvalLogical(Arg(expression, "expression")) ? 1 : 0; });
}
// The record count is written only when the query succeeds.
MX_EXPORT int mx_QueryRowCount(const char* condition, int* record_count) {
  return Call(0, [&](TWorkAreaSet& e) {
    const tavrik::xbase::TQueryCount count = e.QueryRowCount(condition ? condition : "");
    if (record_count) *record_count = int(count.record_count);
    return int(count.matches);
  });
}
MX_EXPORT int mx_QueryTest(const char* condition) {
  return Call(0, [&](TWorkAreaSet& e) { return e.QueryTest(condition ? condition : ""); });
}
MX_EXPORT int mx_QueryRecCount(void) { return Call(0, [](TWorkAreaSet& e) { return e.QueryRecCount(); }); }
MX_EXPORT const char* mx_DBFilter(void) { return Text(Call(std::string(), [](TWorkAreaSet& e) { return e.DBFilter(); })); }
MX_EXPORT int mx_Count(void) { return Call(0, [](TWorkAreaSet& e) { return e.Count(); }); }

// Every entry point of the list must be defined above with its listed signature: this declares
// each again from the list, so a missing or different one fails to compile or to link.
#define MX_CHECK(ret, name, params) MX_EXPORT ret mx_##name params;
MDE61_ENTRY_POINTS(MX_CHECK)
#undef MX_CHECK
