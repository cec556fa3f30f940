// The mx_ entry points of libmde61.so, loaded as the program loads them: results and failures
// as C callers see them (empty values and mx_LastError), value pointers of Replace, buffers,
// and calls from several threads.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/DynLib.h"
#include "platform/Paths.h"
#include "tests/xbase/TableTestUtil.h"
#include "xbase/MDE61Api.h"

namespace tavrik::xbase::testing {
namespace {

using tavrik::testing::TempDir;

struct TApi {
#define MX_FIELD(ret, name, params) ret(*name) params = nullptr;
  MDE61_ENTRY_POINTS(MX_FIELD)
#undef MX_FIELD
};

const TApi& Mx() {
  static platform::TDynLib library;
  static TApi api;
  if (!library.Loaded()) {
    platform::SetLibrarySearchDirs({platform::ExecutableDir()});
    if (!library.Load("MDE61.DLL")) throw std::runtime_error(library.Error());
#define MX_RESOLVE(ret, name, params)                                               \
  api.name = reinterpret_cast<ret(*) params>(library.Symbol("mx_" #name));          \
  if (!api.name) throw std::runtime_error("missing mx_" #name);
    MDE61_ENTRY_POINTS(MX_RESOLVE)
#undef MX_RESOLVE
  }
  return api;
}

// Every test leaves the library's one set of work areas empty again.
class Mde61 : public ::testing::Test {
 protected:
  void TearDown() override {
    for (int area = 1; area <= 4; ++area) {
      Mx().Select(area);
      Mx().Close();
    }
    Mx().Select(0);
  }
  TempDir dir_;
};

TEST_F(Mde61, FailuresComeBackAsEmptyValuesWithTheirText) {
  const TApi& mx = Mx();
  struct Case {
    const char* what;
    std::function<bool()> call;  // true when the result is the empty value
    std::string error;
  } cases[] = {
      {"missing file", [&] { return mx.Use("/nonexistent/X.DBF", "", 0, 2) == 0; }, "File not found: /nonexistent/X.DBF"},
      {"no file", [&] { return mx.Use(nullptr, nullptr, 0, 2) == 0; }, "No file given"},
      {"no table", [&] { return mx.RecNo() == 0; }, "No table is open in work area 0"},
      {"no table, text", [&] { return std::string(mx.GetTrimString("X")).empty(); }, "No table is open in work area 0"},
      {"no table, double", [&] { return mx.GetDouble("X") == 0.0; }, "No table is open in work area 0"},
      {"bad create", [&] { return mx.Create((dir_.Path() + "/B").c_str(), "A,Q,1", 2) == 0; }, "Field A: unknown field type 'Q'"},
      {"bad epoch", [&] { return mx.SetEpoch(20) == 0; }, "Epoch 20 is not a year from 100 to 2999"},
      {"seek", [&] { return mx.Seek("x") == 0; }, "No table is open in work area 0"},
      {"filter", [&] { return std::string(mx.DBFilter()).empty(); }, "No table is open in work area 0"},
      {"query", [&] { int n = 5; return mx.QueryRowCount("", &n) == 0 && n == 5; }, "No table is open in work area 0"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(c.call()) << c.what;
    EXPECT_EQ(std::string(mx.LastError()), c.error) << c.what;
  }
  EXPECT_EQ(mx.Eof(), 0);
  EXPECT_STREQ(mx.Alias(3), "");
  EXPECT_STREQ(mx.Version(), "MDE 6.10.01 64-bit");
}

TEST_F(Mde61, RecordsAndFieldsThroughTheEntryPoints) {
  const TApi& mx = Mx();
  const std::string path = dir_.File("T");
  ASSERT_EQ(mx.Create(path.c_str(), "NAME,C,10;AMOUNT,N,8,2;DAY,D,8;OK,L,1;NOTE,M,10;PIC,B,10", 2), 1) << mx.LastError();
  const int area = mx.Use(path.c_str(), "t", 0, 2);
  ASSERT_EQ(area, 1) << mx.LastError();
  EXPECT_STREQ(mx.Alias(area), "T");
  EXPECT_EQ(mx.WorkArea("t"), 1);
  EXPECT_EQ(mx.AppendBlank(), 1);
  const int32_t day = 731524;
  const double amount = -12.345;
  const char yes = 1;
  EXPECT_EQ(mx.Replace("NAME", 1024, "Alice"), 1);
  EXPECT_EQ(mx.Replace("AMOUNT", 8, &amount), 1);
  EXPECT_EQ(mx.Replace("DAY", 1, &day), 1);
  EXPECT_EQ(mx.Replace("OK", 128, &yes), 1);
  EXPECT_EQ(mx.Replace("NOTE", 3072, "a memo"), 1);
  EXPECT_EQ(mx.Replace("NAME", 5, "x"), 0);
  EXPECT_STREQ(mx.LastError(), "Unknown value type code 5 for field NAME");
  EXPECT_EQ(mx.Replace("NAME", 1024, nullptr), 0);
  EXPECT_STREQ(mx.LastError(), "No value given for field NAME");
  EXPECT_EQ(mx.PutBlob("PIC", "\0\1\2\3", 4), 4);

  EXPECT_STREQ(mx.GetTrimString("NAME"), "Alice");
  EXPECT_DOUBLE_EQ(mx.GetDouble("AMOUNT"), -12.35);
  EXPECT_EQ(mx.GetInteger("AMOUNT"), -12);
  EXPECT_STREQ(mx.GetDateString("DAY"), "11/05/2003");
  EXPECT_STREQ(mx.GetMemo("NOTE", 0), "a memo");
  EXPECT_EQ(mx.GetBlobLength("PIC"), 4);
  char blob[8] = {};
  EXPECT_EQ(mx.GetBlob("PIC", blob, 2), 2);  // as much as the buffer holds
  EXPECT_EQ(std::string(blob, 2), std::string("\0\1", 2));
  EXPECT_EQ(mx.GetBlob("PIC", blob, sizeof blob), 4);
  EXPECT_EQ(mx.GetBlob("PIC", nullptr, 4), 0);
  EXPECT_STREQ(mx.LastError(), "No buffer given for field PIC");
  EXPECT_STREQ(mx.FieldName(2), "AMOUNT");
  EXPECT_STREQ(mx.FieldType("day"), "D");

  const int size = 1 + 10 + 8 + 8 + 1 + 10 + 10;
  std::string record(size_t(size), '\0');
  EXPECT_EQ(mx.GetRecord(record.data(), size - 1), 0);
  EXPECT_STREQ(mx.LastError(), "The buffer of 47 bytes cannot hold a record of 48");
  EXPECT_EQ(mx.GetRecord(record.data(), size), size);
  EXPECT_EQ(record.substr(0, 28), " Alice       -12.3520031105T");
  record.replace(1, 5, "Bobby");
  EXPECT_EQ(mx.PutRecord(record.data(), size), 1);
  EXPECT_STREQ(mx.GetTrimString("NAME"), "Bobby");
  EXPECT_EQ(mx.PutRecord(record.data(), size + 1), 0);
  EXPECT_STREQ(mx.LastError(), "A record of T has 48 bytes, not 49");

  mx.Delete();
  mx.SetDeleted(1);
  mx.GoTop();
  EXPECT_EQ(mx.Eof(), 1);
  EXPECT_EQ(mx.RecNo(), 2);
  mx.SetDeleted(0);
}

TEST_F(Mde61, OrdersSeeksAndFiltersThroughTheEntryPoints) {
  const TApi& mx = Mx();
  const std::string path = dir_.File("O.DBF");
  ASSERT_EQ(mx.Create(path.c_str(), "NAME,C,10;AMOUNT,N,8,2", 2), 1) << mx.LastError();
  ASSERT_EQ(mx.Use(path.c_str(), "", 0, 2), 1) << mx.LastError();
  const struct {
    const char* name;
    double amount;
  } rows[] = {{"Adams", 10}, {"Brown", 20}, {"Jones", 30}, {"Smith", 0}};
  for (const auto& r : rows) {
    mx.AppendBlank();
    mx.Replace("NAME", 1024, r.name);
    mx.Replace("AMOUNT", 8, &r.amount);
  }
  mx.Unlock(0);

  EXPECT_EQ(mx.IndexTag("", "NAME", "NAME", nullptr, 0, 0), 1) << mx.LastError();
  EXPECT_EQ(mx.IndexTag(nullptr, "AMT", "AMOUNT", "AMOUNT > 0", 0, 1), 2) << mx.LastError();
  EXPECT_EQ(mx.IndexTag("", nullptr, "NAME", "", 0, 0), 0);
  EXPECT_STREQ(mx.LastError(), "No tag name given");
  EXPECT_EQ(mx.IndexTag("", "BAD", "NOSUCH", "", 0, 0), 0);
  EXPECT_STREQ(mx.LastError(), "Unknown field: NOSUCH");
  EXPECT_EQ(mx.SysProp(3000, 0), 2);
  EXPECT_EQ(mx.SysProp(3002, 0), 1);
  EXPECT_EQ(mx.SetOrder(1), 2);
  EXPECT_EQ(mx.IndexOrd(), 1);
  EXPECT_STREQ(mx.TagName(2), "AMT");
  EXPECT_STREQ(mx.IndexKey(), "NAME");
  EXPECT_STREQ(mx.IndexKeyField(), "NAME");
  EXPECT_STREQ(mx.IndexCondition(), "");
  EXPECT_EQ(mx.IndexType(), 1);
  EXPECT_EQ(std::string(mx.IndexName(2)), dir_.File("O.MXI"));
  EXPECT_EQ(mx.TagArea("amt"), 2);
  EXPECT_EQ(mx.SetOrder(3), 0);
  EXPECT_STREQ(mx.LastError(), "Order 3 does not exist in O");

  EXPECT_EQ(mx.Seek("Jo"), 1);
  EXPECT_EQ(mx.Found(), 1);
  EXPECT_STREQ(mx.GetTrimString("NAME"), "Jones");
  EXPECT_EQ(mx.Seek("Zz"), 0);
  EXPECT_EQ(mx.Found(), 0);
  EXPECT_EQ(mx.Eof(), 1);
  // Scope bounds come with their lengths; nothing after them is read.
  const char low[] = {'B', 'x'};
  const char high[] = {'J', 'z'};
  EXPECT_EQ(mx.SetScope(low, 1, high, 1), 1);
  EXPECT_STREQ(mx.GetScope(0), "B");
  EXPECT_STREQ(mx.GetScope(1), "J");
  EXPECT_EQ(mx.Count(), 2);
  EXPECT_EQ(mx.SetScope(nullptr, 3, "", 0), 0);
  EXPECT_STREQ(mx.LastError(), "Invalid scope bounds");
  EXPECT_EQ(mx.SetScope(nullptr, 0, nullptr, 0), 1);
  EXPECT_EQ(mx.Count(), 4);
  mx.Go(3);
  EXPECT_EQ(int(mx.OrderPosGet() * 4), 3);
  mx.OrderPosSet(0.25);
  EXPECT_EQ(mx.RecNo(), 1);

  EXPECT_EQ(mx.EvalTest("AMOUNT * 2"), 2);
  EXPECT_DOUBLE_EQ(mx.EvalNumeric("AMOUNT * 2"), 20.0);
  EXPECT_STREQ(mx.EvalString("NAME"), "Adams     ");
  EXPECT_EQ(mx.EvalLogical("AMOUNT > 5"), 1);
  EXPECT_EQ(mx.EvalTest("NOSUCH"), 0);
  EXPECT_STREQ(mx.LastError(), "Unknown field: NOSUCH");
  EXPECT_EQ(mx.EvalNumeric("1 / 0"), 0.0);
  EXPECT_STREQ(mx.LastError(), "Division by zero");

  int count = 77;
  EXPECT_EQ(mx.QueryRowCount("AMOUNT > 15", &count), 2);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(mx.RecNo(), 2);  // the first match in the current order
  EXPECT_STREQ(mx.DBFilter(), "AMOUNT > 15");
  EXPECT_EQ(mx.QueryRecCount(), 2);
  count = 77;
  EXPECT_EQ(mx.QueryRowCount("NAME", &count), 0);
  EXPECT_EQ(count, 77);
  EXPECT_STREQ(mx.LastError(), "Filter expression is not logical: NAME");
  EXPECT_EQ(mx.QueryTest("NAME"), 0);
  EXPECT_EQ(mx.QueryTest("AMOUNT > 1"), 1);
  EXPECT_EQ(mx.QueryRowCount(nullptr, &count), 4);
  EXPECT_STREQ(mx.DBFilter(), "");

  EXPECT_EQ(mx.IndexOpen(nullptr), 0);
  EXPECT_STREQ(mx.LastError(), "No index file given");
  mx.CloseIndexes();
  EXPECT_EQ(mx.SysProp(3000, 0), 2);  // the table's own index file stays
}

TEST_F(Mde61, LocksBetweenWorkAreasOfTheLibrary) {
  const TApi& mx = Mx();
  const std::string path = dir_.File("L.DBF");
  ASSERT_EQ(mx.Create(path.c_str(), "A,C,1", 2), 1);
  mx.SetLockTimeOut(0);
  const int a = mx.Use(path.c_str(), "A", 0, 2);
  mx.AppendBlank();
  mx.Unlock(0);
  EXPECT_EQ(mx.Rlock(1), 1);
  const int b = mx.Use(path.c_str(), "B", 0, 2);
  EXPECT_EQ(mx.Rlock(1), 0);
  EXPECT_STREQ(mx.LastError(), "Record 1 is locked by another user");
  EXPECT_EQ(mx.Select(a), b);
  mx.Close();
  mx.Select(b);
  EXPECT_EQ(mx.Rlock(1), 1);
}

TEST_F(Mde61, CallsFromSeveralThreads) {
  const TApi& mx = Mx();
  const std::string path = dir_.File("M.DBF");
  ASSERT_EQ(mx.Create(path.c_str(), "A,C,1", 2), 1);
  ASSERT_EQ(mx.Use(path.c_str(), "SHARED", 0, 2), 1);
  std::vector<std::thread> threads;
  std::atomic<int> wrong_alias{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 100; ++i) {
        mx.AppendBlank();
        if (std::string(mx.Alias(1)) != "SHARED") ++wrong_alias;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(mx.RecCount(), 400);
  EXPECT_EQ(wrong_alias, 0);
}

}  // namespace
}  // namespace tavrik::xbase::testing
