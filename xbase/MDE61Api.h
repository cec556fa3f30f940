// The entry points of the local engine library libmde61.so, in one list shared by the library
// that exports them and the binding that resolves them. Each is exported as "mx_" + its name with
// C linkage.
//
// Conventions every entry point keeps:
//   - it works on the work area chosen last with mx_Select (mx_Use makes the new one current);
//   - booleans are int, 0 false and 1 true; work areas and record numbers are 1-based, 0 = none;
//   - a text result is owned by the engine and valid until the next call on the same thread;
//     callers copy it at once;
//   - a failure never shows anything: it comes back as the empty value (0, 0.0, "" or false),
//     and mx_LastError gives its text until the next failing call.
//
// mx_Use / mx_UseEx: open_mode 0 shared, 1 read-only, 2 exclusive; table_type 1..4 (1 and 4
// give new tables .dbt memo files, 2 and 3 .fpt); commit_level 0 full, 1 normal, 2 none (mx_Use
// opens with 1). mx_Rlock / mx_Unlock take 0 for the current record / every lock of the work area.
//
// mx_Replace's value points to the bytes its type code names (TReplaceType in xbase/WorkArea.h):
// a 32-bit integer for 1, 2 and 32, a double for 8, one byte for 128, a NUL-terminated text for
// 1024, 1025, 1056 and 3072.
//
// mx_Create's field list is "NAME,TYPE,WIDTH,DECIMALS" items joined by ";", for example
// "USER_ID,C,10,0;AMOUNT,N,12,2;NOTE,M,10,0".
//
// Orders (TWorkAreaSet in xbase/WorkAreaSet.h tells each in full): mx_IndexTag's file "" or NULL
// is the table's own index file and its condition NULL none; it answers the new order's number,
// which becomes current. mx_SetScope's bounds come with their lengths and need not end with a
// NUL; it answers 1 when a scope was set (0 in the natural order). mx_QueryRowCount answers the
// records that match and writes the records seen through the filter to `record_count`;
// mx_QueryTest answers 1 for a usable (logical) filter, 0 for another type, -1 for a text that
// does not compile. mx_SysProp 3000 answers the number of orders, 3002 whether an order is
// descending.
#pragma once

// MX_ENTRY(result type, name, parameter list)
#define MDE61_ENTRY_POINTS(MX_ENTRY)                                                                  \
  MX_ENTRY(int, Use, (const char* file, const char* alias, int open_mode, int table_type))            \
  MX_ENTRY(int, UseEx, (const char* file, const char* alias, int open_mode, int table_type, int commit_level)) \
  MX_ENTRY(const char*, Alias, (int work_area))                                                       \
  MX_ENTRY(int, Select, (int work_area))                                                              \
  MX_ENTRY(int, WorkArea, (const char* alias))                                                        \
  MX_ENTRY(void, Close, (void))                                                                       \
  MX_ENTRY(int, AppendBlank, (void))                                                                  \
  MX_ENTRY(int, Bof, (void))                                                                          \
  MX_ENTRY(int, Eof, (void))                                                                          \
  MX_ENTRY(void, CloseIndexes, (void))                                                                \
  MX_ENTRY(void, Commit, (void))                                                                      \
  MX_ENTRY(int, Count, (void))                                                                        \
  MX_ENTRY(const char*, DBFilter, (void))                                                             \
  MX_ENTRY(void, Delete, (void))                                                                      \
  MX_ENTRY(int, Deleted, (void))                                                                      \
  MX_ENTRY(int, EvalLogical, (const char* expression))                                                \
  MX_ENTRY(double, EvalNumeric, (const char* expression))                                             \
  MX_ENTRY(const char*, EvalString, (const char* expression))                                         \
  MX_ENTRY(int, EvalTest, (const char* expression))                                                   \
  MX_ENTRY(int, FieldDecimals, (const char* field))                                                   \
  MX_ENTRY(const char*, FieldName, (int number))                                                      \
  MX_ENTRY(int, FieldOffset, (const char* field))                                                     \
  MX_ENTRY(const char*, FieldType, (const char* field))                                               \
  MX_ENTRY(int, FieldWidth, (const char* field))                                                      \
  MX_ENTRY(int, Found, (void))                                                                        \
  MX_ENTRY(int, GetBlob, (const char* field, void* buffer, int size))                                 \
  MX_ENTRY(int, GetBlobLength, (const char* field))                                                   \
  MX_ENTRY(const char*, GetDateString, (const char* field))                                           \
  MX_ENTRY(double, GetDouble, (const char* field))                                                    \
  MX_ENTRY(int, GetInteger, (const char* field))                                                      \
  MX_ENTRY(const char*, GetMemo, (const char* field, int line_width))                                 \
  MX_ENTRY(int, GetRecord, (void* buffer, int size))                                                  \
  MX_ENTRY(const char*, GetScope, (int which))                                                        \
  MX_ENTRY(const char*, GetTrimString, (const char* field))                                           \
  MX_ENTRY(int, Go, (int record))                                                                     \
  MX_ENTRY(void, GoBottom, (void))                                                                    \
  MX_ENTRY(void, GoTop, (void))                                                                       \
  MX_ENTRY(const char*, IndexCondition, (void))                                                       \
  MX_ENTRY(const char*, IndexKey, (void))                                                             \
  MX_ENTRY(const char*, IndexKeyField, (void))                                                        \
  MX_ENTRY(const char*, IndexName, (int number))                                                      \
  MX_ENTRY(int, IndexOpen, (const char* file))                                                        \
  MX_ENTRY(int, IndexOrd, (void))                                                                     \
  MX_ENTRY(int, IndexType, (void))                                                                    \
  MX_ENTRY(int, IndexTag, (const char* file, const char* tag, const char* key, const char* condition, int unique, int descending)) \
  MX_ENTRY(int, IsEncrypted, (int what))                                                              \
  MX_ENTRY(void, MemDealloc, (void* text))                                                            \
  MX_ENTRY(void, OrderPosSet, (double position))                                                      \
  MX_ENTRY(double, OrderPosGet, (void))                                                               \
  MX_ENTRY(int, PutBlob, (const char* field, const void* data, int length))                           \
  MX_ENTRY(int, PutRecord, (const void* buffer, int size))                                            \
  MX_ENTRY(int, QueryRowCount, (const char* condition, int* record_count))                            \
  MX_ENTRY(int, QueryRecCount, (void))                                                                \
  MX_ENTRY(int, QueryTest, (const char* condition))                                                   \
  MX_ENTRY(int, RecCount, (void))                                                                     \
  MX_ENTRY(int, RecNo, (void))                                                                        \
  MX_ENTRY(int, Replace, (const char* field, int type_code, const void* value))                       \
  MX_ENTRY(int, Rlock, (int record))                                                                  \
  MX_ENTRY(int, Seek, (const char* key))                                                              \
  MX_ENTRY(void, SetCentury, (int on))                                                                \
  MX_ENTRY(void, SetDateFormat, (int code))                                                           \
  MX_ENTRY(void, SetDeleted, (int on))                                                                \
  MX_ENTRY(int, SetEpoch, (int year))                                                                 \
  MX_ENTRY(void, SetExact, (int on))                                                                  \
  MX_ENTRY(void, SetLockTimeOut, (int seconds))                                                       \
  MX_ENTRY(int, SetMemoBlockSize, (int size))                                                         \
  MX_ENTRY(int, SetOrder, (int order))                                                                \
  MX_ENTRY(void, SetPassword, (const char* password))                                                 \
  MX_ENTRY(int, SetScope, (const char* low, int low_length, const char* high, int high_length))      \
  MX_ENTRY(void, SetSoftSeek, (int on))                                                               \
  MX_ENTRY(void, SetStringType, (int type))                                                           \
  MX_ENTRY(void, SetTranslate, (int on))                                                              \
  MX_ENTRY(void, SetTurboRead, (int on))                                                              \
  MX_ENTRY(void, Skip, (int count))                                                                   \
  MX_ENTRY(int, SysProp, (int code, int value))                                                       \
  MX_ENTRY(int, TagArea, (const char* tag))                                                           \
  MX_ENTRY(const char*, TagName, (int number))                                                        \
  MX_ENTRY(void, Unlock, (int record))                                                                \
  MX_ENTRY(const char*, Version, (void))                                                              \
  MX_ENTRY(void, ErrorLevel, (int level))                                                             \
  MX_ENTRY(int, Create, (const char* file, const char* fields, int table_type))                      \
  MX_ENTRY(const char*, LastError, (void))
