// The work-area steps a table (and the environment) asks of an engine, as one interface over the
// two engines that carry them out: the Marvek server through a TMarvekConnection (amServer, one
// command per step) and the local xBase engine library (amLocal, one entry point per step).
// Every step works on the engine's current work area, chosen with Select.
//
// MVO_ENGINE_STEPS lists the steps whose arguments and results are the same on both engines;
// each engine defines all of them from this list. The steps after it differ in shape (opening,
// the structure, whole records, blobs, scopes, batch reads) and are written out by each engine.
//
// Failures: the server engine reports through the connection (its OnError, or an exception whose
// message names the command); the local engine answers the empty value, as the library does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/FieldTypes.h"
#include "net/MvConn.h"
#include "tables/MDE61.h"

namespace tavrik {

// Every error the table, the environment and their engines raise themselves; the message is the
// whole text, and the table keeps it as its last error.
TAVRIK_EXCEPTION(EMarvekError, EDatabaseError);

enum class TAccessMethod : uint8_t { amLocal, amServer };

// X(result type, step name, parameter list, argument list)
#define MVO_ENGINE_STEPS(X)                                                            \
  X(std::string, Alias, (int work_area), (work_area))                                  \
  X(int, Select, (int work_area), (work_area))                                         \
  X(void, Close, (), ())                                                               \
  X(int, AppendBlank, (), ())                                                          \
  X(bool, Bof, (), ())                                                                 \
  X(bool, Eof, (), ())                                                                 \
  X(bool, Found, (), ())                                                               \
  X(int, Go, (int record), (record))                                                   \
  X(void, GoBottom, (), ())                                                            \
  X(void, GoTop, (), ())                                                               \
  X(void, Skip, (int count), (count))                                                  \
  X(int, RecNo, (), ())                                                                \
  X(int, RecCount, (), ())                                                             \
  X(int, Count, (), ())                                                                \
  X(bool, Seek, (const std::string& key), (key))                                       \
  X(void, Delete, (), ())                                                              \
  X(bool, Deleted, (), ())                                                             \
  X(void, Commit, (), ())                                                              \
  X(bool, Rlock, (int record), (record))                                               \
  X(void, Unlock, (int record), (record))                                              \
  X(void, OrderPosSet, (double position), (position))                                  \
  X(int, FieldDecimals, (const std::string& field), (field))                           \
  X(std::string, FieldName, (int number), (number))                                    \
  X(int, FieldOffset, (const std::string& field), (field))                             \
  X(std::string, FieldType, (const std::string& field), (field))                       \
  X(int, FieldWidth, (const std::string& field), (field))                              \
  X(std::string, GetDateString, (const std::string& field), (field))                   \
  X(double, GetDouble, (const std::string& field), (field))                            \
  X(int, GetInteger, (const std::string& field), (field))                              \
  X(std::string, GetTrimString, (const std::string& field), (field))                   \
  X(std::string, GetMemo, (const std::string& field, int line_width), (field, line_width)) \
  X(int, GetBlobLength, (const std::string& field), (field))                           \
  X(bool, EvalLogical, (const std::string& expression), (expression))                  \
  X(double, EvalNumeric, (const std::string& expression), (expression))                \
  X(std::string, EvalString, (const std::string& expression), (expression))            \
  X(int, EvalTest, (const std::string& expression), (expression))                      \
  X(std::string, DBFilter, (), ())                                                     \
  X(int, QueryRecCount, (), ())                                                        \
  X(int, QueryTest, (const std::string& condition), (condition))                       \
  X(void, CloseIndexes, (), ())                                                        \
  X(std::string, IndexCondition, (), ())                                               \
  X(std::string, IndexKey, (), ())                                                     \
  X(std::string, IndexKeyField, (), ())                                                \
  X(std::string, IndexName, (int number), (number))                                    \
  X(int, IndexOpen, (const std::string& file), (file))                                 \
  X(int, IndexOrd, (), ())                                                             \
  X(int, IndexType, (), ())                                                            \
  X(int, SetOrder, (int order), (order))                                               \
  X(int, TagArea, (const std::string& tag), (tag))                                     \
  X(std::string, TagName, (int number), (number))                                      \
  X(std::string, GetScope, (int which), (which))                                       \
  X(bool, IsEncrypted, (int what), (what))                                             \
  X(void, SetStringType, (int type), (type))                                           \
  X(void, SetTranslate, (bool on), (on))                                               \
  X(void, SetTurboRead, (bool on), (on))                                               \
  X(int, SysProp, (int code, int value), (code, value))                                \
  X(void, SetCentury, (bool on), (on))                                                 \
  X(void, SetDateFormat, (int code), (code))                                           \
  X(void, SetDeleted, (bool on), (on))                                                 \
  X(int, SetEpoch, (int year), (year))                                                 \
  X(void, SetExact, (bool on), (on))                                                   \
  X(void, SetLockTimeOut, (int seconds), (seconds))                                    \
  X(int, SetMemoBlockSize, (int size), (size))                                         \
  X(void, SetSoftSeek, (bool on), (on))

// One field of the structure: name, type letter, width, decimals and the offset in the record
// image counted from 1 (the first field, behind the deletion flag, is at 2).
struct TMvFieldFacts {
  std::string Name;
  char Type = ' ';
  int Width = 0;
  int Decimals = 0;
  int Offset = 0;
};

class TMvEngine {
 public:
  virtual ~TMvEngine() = default;
  virtual TAccessMethod Method() const = 0;

#define MVO_ENGINE_VIRTUAL(ret, name, params, args) virtual ret name params = 0;
  MVO_ENGINE_STEPS(MVO_ENGINE_VIRTUAL)
#undef MVO_ENGINE_VIRTUAL

  // Opens the table `params` name into a new work area, which becomes current, and describes
  // it in `info` (work area 0 when it could not be opened; ErrorCode / ErrorMessage say why when
  // the engine tells). amLocal: DatabaseName is the table's folder, and the environment
  // settings are applied first when ApplyEnvironment is set. The index list is filled only when
  // the engine tells it with the open (IndexesListed).
  virtual int Use(const TMvUseParams& params, TMvTableInfo& info) = 0;
  virtual bool IndexesListed() const = 0;
  // The structure of the current work area; false when the engine gave none. EMarvekError
  // "Invalid structure" when it does not read.
  virtual bool Structure(int field_count, std::vector<TMvFieldFacts>& fields) = 0;
  // The current record into `image` (its size is the record size); false on failure.
  virtual bool GetRecord(std::string& image) = 0;
  virtual void PutRecord(const std::string& image) = 0;
  virtual int GetBlob(const std::string& field, std::string& data, int length) = 0;
  virtual int PutBlob(const std::string& field, const std::string& data) = 0;
  // Memo text (type code 3072) into a memo field.
  virtual void ReplaceMemo(const std::string& field, const std::string& text) = 0;
  // Answers the records that match; `record_count` gets the records seen through the filter.
  virtual int QueryRowCount(const std::string& condition, int& record_count) = 0;
  virtual bool SetScope(const std::string& low, const std::string& high) = 0;
  virtual void SetPassword(const std::string& password) = 0;
  virtual std::string Version() = 0;
  virtual void MemDealloc() {}
  // The current record's position in the active order as a fraction; the server tells it with
  // each record of a batch instead.
  virtual double OrderPosGet() { return 0; }

  // Batch reads for the fetch cache; only the server has them.
  virtual bool BatchReads() const { return false; }
  // Fills slots[0..count-1]; count is left as it was when no reply came at all.
  virtual void TraverseTable(const TMvTraverseRequest&, int, std::vector<TMvFetchSlot>&, int&) {}
};

// The server engine over `connection`, which must outlive it.
std::unique_ptr<TMvEngine> MakeServerEngine(TMarvekConnection& connection);
// The local engine over the entry points of `api`: by default the library, loaded on first need
// (EMarvekDllError when it cannot be); tests pass the entry points linked into themselves.
std::unique_ptr<TMvEngine> MakeLocalEngine();
std::unique_ptr<TMvEngine> MakeLocalEngine(const TMDE61Api& api);

}  // namespace tavrik
