// The local engine: each step one entry point of the local xBase engine library. Texts the
// library answers are its own and are copied at once; its failures come back as empty values.
#include <type_traits>

#include "core/StrUtils.h"
#include "tables/MvoDSetEngine.h"

namespace tavrik {

namespace {

// Arguments as the entry points take them, results as the steps give them.
inline const char* CArg(const std::string& s) { return s.c_str(); }
inline int CArg(bool b) { return b ? 1 : 0; }
inline int CArg(int i) { return i; }
inline double CArg(double d) { return d; }

template <class R, class V>
R FromEntry(V value) {
  if constexpr (std::is_same_v<R, std::string>) return value ? std::string(value) : std::string();
  else if constexpr (std::is_same_v<R, bool>) return value != 0;
  else return R(value);
}

// Calls `entry` with the step's arguments converted, and converts its result.
template <class R, class Entry>
auto Step(Entry* entry) {
  return [entry](const auto&... args) -> R {
    if constexpr (std::is_void_v<R>) entry(CArg(args)...);
    else return FromEntry<R>(entry(CArg(args)...));
  };
}

class TLocalEngine : public TMvEngine {
 public:
  explicit TLocalEngine(const TMDE61Api& api) : mx_(api) {}
  TAccessMethod Method() const override { return TAccessMethod::amLocal; }

#define MVO_LOCAL_STEP(ret, name, params, args) \
  ret name params override { return Step<ret>(mx_.name) args; }
  MVO_ENGINE_STEPS(MVO_LOCAL_STEP)
#undef MVO_LOCAL_STEP

  // `params.DatabaseName` is the folder (with its separator), TableName the file in it.
  int Use(const TMvUseParams& p, TMvTableInfo& info) override {
    info = TMvTableInfo();
    if (p.ApplyEnvironment) {
      mx_.SetEpoch(p.Epoch);
      mx_.SetCentury(p.Century);
      mx_.SetExact(p.Exact);
      mx_.SetSoftSeek(p.SoftSeek);
      mx_.SetDateFormat(p.DateFormat);
      if (p.MemoBlockSize) mx_.SetMemoBlockSize(p.MemoBlockSize);
      mx_.SetDeleted(p.Deleted);
    }
    const std::string file = p.DatabaseName + p.TableName;
    // Two tables of a process on one file need aliases of their own.
    std::string base = UpperCase(p.TableName.substr(0, p.TableName.rfind('.')));
    std::string alias = base;
    for (int n = 2; mx_.WorkArea(alias.c_str()) != 0; ++n) alias = base + "_" + std::to_string(n);
    const int area = mx_.UseEx(file.c_str(), alias.c_str(), p.OpenMode, p.TableType, p.CommitLevel);
    if (area == 0) {
      info.ErrorMessage = FromEntry<std::string>(mx_.LastError());
      return 0;
    }
    mx_.Select(area);
    if (!Trim(p.IndexName).empty()) {
      int order = mx_.TagArea(p.IndexName.c_str());
      if (order == 0) order = mx_.IndexOpen(p.IndexName.c_str());
      if (order == 0) {
        mx_.Close();
        info.ErrorCode = 5;
        info.ErrorMessage = "Invalid IndexName value : " + p.IndexName;
        return 0;
      }
      mx_.SetOrder(order);
    }
    mx_.SetTranslate(p.OEMTranslate);
    if (!p.Password.empty()) mx_.SetPassword(p.Password.c_str());
    info.WorkArea = uint16_t(area);
    info.RecCount = mx_.RecCount();
    info.Encrypted = mx_.IsEncrypted(0) != 0;
    info.IndexOrder = mx_.IndexOrd();
    info.IndexCondition = Trim(FromEntry<std::string>(mx_.IndexCondition()));
    // The library tells no record size or field count: the fields are counted, and the record
    // ends where the last field does.
    info.RecordSize = 1;
    for (int i = 1;; ++i) {
      const std::string name = FromEntry<std::string>(mx_.FieldName(i));
      if (name.empty()) break;
      info.FieldCount = i;
      info.RecordSize = std::max(info.RecordSize, mx_.FieldOffset(name.c_str()) + mx_.FieldWidth(name.c_str()) - 1);
    }
    return area;
  }
  bool IndexesListed() const override { return false; }

  bool Structure(int field_count, std::vector<TMvFieldFacts>& fields) override {
    fields.clear();
    for (int i = 1; i <= field_count; ++i) {
      const std::string name = FieldName(i);
      const std::string type = FieldType(name);
      fields.push_back({name, type.empty() ? ' ' : type[0], FieldWidth(name), FieldDecimals(name), FieldOffset(name)});
    }
    return true;
  }

  bool GetRecord(std::string& image) override {
    return mx_.GetRecord(image.data(), int(image.size())) == int(image.size());
  }
  void PutRecord(const std::string& image) override { mx_.PutRecord(image.data(), int(image.size())); }
  int GetBlob(const std::string& field, std::string& data, int length) override {
    data.assign(size_t(std::max(length, 0)), '\0');
    const int n = mx_.GetBlob(field.c_str(), data.data(), length);
    data.resize(size_t(std::max(n, 0)));
    return n;
  }
  int PutBlob(const std::string& field, const std::string& data) override {
    return mx_.PutBlob(field.c_str(), data.data(), int(data.size()));
  }
  void ReplaceMemo(const std::string& field, const std::string& text) override {
    mx_.Replace(field.c_str(), 3072, text.c_str());
  }
  int QueryRowCount(const std::string& condition, int& record_count) override {
    return mx_.QueryRowCount(condition.c_str(), &record_count);
  }
  bool SetScope(const std::string& low, const std::string& high) override {
    return mx_.SetScope(low.data(), int(low.size()), high.data(), int(high.size())) != 0;
  }
  void SetPassword(const std::string& password) override { mx_.SetPassword(password.c_str()); }
  std::string Version() override { return FromEntry<std::string>(mx_.Version()); }
  double OrderPosGet() override { return mx_.OrderPosGet(); }

 private:
  const TMDE61Api& mx_;
};

}  // namespace

std::unique_ptr<TMvEngine> MakeLocalEngine(const TMDE61Api& api) { return std::make_unique<TLocalEngine>(api); }

std::unique_ptr<TMvEngine> MakeLocalEngine() { return MakeLocalEngine(MDE61()); }

}  // namespace tavrik
