// TMarvekEnv: the engine settings (comparisons, dates, deleted records, memo blocks, locks) sent
// at once to the engines ApplyTo names, and read by every table when it opens. TMarvekDatabase:
// a name for a local folder, usable as an amLocal table's DatabaseName. TMarvekSearchObject:
// the walk over the application's data modules and forms that finds them.
//
// A setter of TMarvekEnv, in this order: does nothing at all when ApplyTo is empty; for Exact,
// SoftSeek, LockTimeOut and MemoBlockSize does nothing when the value is the current one; with
// atServer sends the setting through MarvekConnection when that is assigned and active; with
// atLocal loads the local engine (EMarvekDllError when it cannot) and calls its setter; stores
// the value.
#pragma once

#include <string>
#include <vector>

#include "core/Application.h"
#include "core/Component.h"
#include "net/MvConn.h"
#include "tables/MvoDSetEngine.h"

namespace tavrik {

enum TMarvekApplyToItem : unsigned { atLocal = 1, atServer = 2 };
using TMarvekApplyTo = unsigned;

enum class TMarvekDateFrmt : uint8_t {
  dfAmerican, dfAnsi, dfBritish, dfFrench, dfGerman, dfItalian, dfSpanish, dfWinDefault,
};
// The engines' code of a date format: 0..6, 99 for dfWinDefault.
int DateFormatCode(TMarvekDateFrmt format);

// What a table opens with: the environment's settings, or the defaults when none applies.
struct TMarvekEnvSettings {
  int Epoch = 1980;
  bool Century = true;
  bool Exact = false;
  bool SoftSeek = false;
  int DateFormat = 0;
  int MemoBlockSize = 0;
  bool Deleted = false;
  bool FromEnvironment = false;  // an environment applied
};

class TMarvekEnv : public TComponent {
 public:
  explicit TMarvekEnv(TComponent* owner = nullptr);
  ~TMarvekEnv() override;

  TMarvekConnection* MarvekConnection() const { return connection_; }
  void SetMarvekConnection(TMarvekConnection* connection);
  TMarvekApplyTo ApplyTo() const { return apply_to_; }
  void SetApplyTo(TMarvekApplyTo value) { apply_to_ = value; }
  bool AutoRefresh = true;

  bool Century() const { return century_; }
  void SetCentury(bool value);
  TMarvekDateFrmt DateFormat() const { return date_format_; }
  void SetDateFormat(TMarvekDateFrmt value);
  bool Deleted() const { return deleted_; }
  void SetDeleted(bool value);
  int Epoch() const { return epoch_; }
  // Stored clamped: 0 becomes 1900, below 100 becomes 100, 3000 and above becomes 2999.
  void SetEpoch(int value);
  bool Exact() const { return exact_; }
  void SetExact(bool value);
  int ErrorFunc() const { return -1; }
  bool CountNeedsRefresh() const { return false; }
  int LockTimeOut() const { return lock_time_out_; }
  void SetLockTimeOut(int value);
  uint16_t MemoBlockSize() const { return memo_block_size_; }
  void SetMemoBlockSize(uint16_t value);
  // The local engine's optimistic buffering (system properties 1009 / 1008); false unless atLocal.
  bool OptimisticBuffer() const { return (apply_to_ & atLocal) != 0 && optimistic_buffer_; }
  void SetOptimisticBuffer(bool value);
  bool SoftSeek() const { return soft_seek_; }
  void SetSoftSeek(bool value);

  // What a table of `method` opens with.
  TMarvekEnvSettings SettingsFor(TAccessMethod method) const;

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  // An environment for local tables only loads the local engine once it is loaded from a form.
  void Loaded() override;

 private:
  // Steps 1, 3 and 4 of a setter: false when ApplyTo is empty (nothing is to be stored).
  template <class F>
  bool Send(F&& step);
  void RefreshTables();
  void ApplyCentury();

  TMarvekConnection* connection_ = nullptr;
  TMarvekApplyTo apply_to_ = atLocal;
  bool century_ = true;
  TMarvekDateFrmt date_format_ = TMarvekDateFrmt::dfWinDefault;
  bool deleted_ = false;
  int epoch_ = 1980;
  bool exact_ = false;
  int lock_time_out_ = 1;
  uint16_t memo_block_size_ = 64;
  bool optimistic_buffer_ = false;
  bool soft_seek_ = false;
};

class TMarvekDatabase : public TComponent {
 public:
  explicit TMarvekDatabase(TComponent* owner = nullptr);
  ~TMarvekDatabase() override;
  std::string DataPath;
  std::string DataPathAlias;
};

// The TMarvekDatabase named `alias` (any letter case): among the databases being designed at
// design time, else in the application's data modules and forms; nullptr when none.
TMarvekDatabase* FindMarvekDatabase(const std::string& alias, bool designing);

// Yields, one at a time, the components of a class (or derived from it) in the application's
// data modules in order, each with its components in order, then the forms likewise; the
// components of a component that holds components (a frame) follow it.
class TMarvekSearchObject {
 public:
  TMarvekSearchObject();
  template <class T>
  T* Next() {
    while (position_ < found_.size())
      if (T* t = dynamic_cast<T*>(found_[position_++])) return t;
    return nullptr;
  }

 private:
  void Walk(TComponent* component);
  std::vector<TComponent*> found_;
  size_t position_ = 0;
};

}  // namespace tavrik
