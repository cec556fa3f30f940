// The server engine: each step one work-area command of the connection.
#include "core/StrUtils.h"
#include "tables/MvoDSetEngine.h"

namespace tavrik {

namespace {

class TServerEngine : public TMvEngine {
 public:
  explicit TServerEngine(TMarvekConnection& connection) : c_(connection) {}
  TAccessMethod Method() const override { return TAccessMethod::amServer; }

#define MVO_SERVER_STEP(ret, name, params, args) \
  ret name params override { return c_.name args; }
  MVO_ENGINE_STEPS(MVO_SERVER_STEP)
#undef MVO_SERVER_STEP

  int Use(const TMvUseParams& params, TMvTableInfo& info) override { return c_.Use(params, info); }
  bool IndexesListed() const override { return true; }

  // GetStructure reply: five CR LF separated lines per field, in field order:
  //   name, type letter, width, decimals, offset in the record image counted from 1;
  // the three numbers in hexadecimal.
  bool Structure(int field_count, std::vector<TMvFieldFacts>& fields) override {
    TMemoryStream* stream = c_.GetStructure();
    if (!stream) return false;
    const std::string text = stream->ToString();
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(std::move(line));
      start = end + 1;
    }
    auto number = [](const std::string& line) {
      auto v = TryStrToInt("$" + line);
      if (!v) throw EMarvekError("'$" + line + "' is not a valid integer value");
      return *v;
    };
    fields.clear();
    for (int i = 0; i < field_count; ++i) {
      if (size_t(i) * 5 + 5 > lines.size()) throw EMarvekError("Invalid structure: field " + std::to_string(i + 1) + " missing");
      const std::string* f = &lines[size_t(i) * 5];
      const std::string type = Trim(f[1]);
      fields.push_back({Trim(f[0]), type.empty() ? ' ' : type[0], number(f[2]), number(f[3]), number(f[4])});
    }
    return true;
  }

  bool GetRecord(std::string& image) override {
    return c_.GetRecord(image.data(), int(image.size())) == int(image.size());
  }
  void PutRecord(const std::string& image) override { c_.PutRecord(image.data(), int(image.size())); }
  int GetBlob(const std::string& field, std::string& data, int length) override {
    data.assign(size_t(std::max(length, 0)), '\0');
    const int n = c_.GetBlob(field, data.data(), length);
    data.resize(size_t(std::max(n, 0)));
    return n;
  }
  int PutBlob(const std::string& field, const std::string& data) override {
    return c_.PutBlob(field, data.data(), int(data.size()));
  }
  void ReplaceMemo(const std::string& field, const std::string& text) override {
    c_.Replace(field, 3072, text.c_str());
  }
  int QueryRowCount(const std::string& condition, int& record_count) override {
    int32_t count = record_count;
    const int n = c_.QueryRowCount(condition, count);
    record_count = count;
    return n;
  }
  bool SetScope(const std::string& low, const std::string& high) override { return c_.SetScope(low, high); }
  void SetPassword(const std::string& password) override { c_.SetTablePassword(password); }
  std::string Version() override { return c_.Active() ? c_.ServerVersion() : "MDE ?.??.?? 32-bit"; }

  bool BatchReads() const override { return true; }
  void TraverseTable(const TMvTraverseRequest& request, int record_size, std::vector<TMvFetchSlot>& slots,
                     int& count) override {
    c_.TraverseTable(request, record_size, slots, count);
  }

 private:
  TMarvekConnection& c_;
};

}  // namespace

std::unique_ptr<TMvEngine> MakeServerEngine(TMarvekConnection& connection) {
  return std::make_unique<TServerEngine>(connection);
}

}  // namespace tavrik
