// A table written by python3-dbf (10,000 records: text, numbers with and without decimals, F,
// dates, logicals, memos, deleted records), read through TMarvekTable over marvekd and through
// libmde61.so, and through mvtable, gives what python3-dbfread reads: forwards, backwards, in an
// order, with a filter and with a scope. The F field, which no dataset field shows, keeps its
// bytes when records are changed (checked in the local table tests).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/Application.h"
#include "core/StrUtils.h"
#include "tables/MvoEnv.h"
#include "tables/mvtable/MvTable.h"
#include "tests/server/ChildProcess.h"
#include "tests/tables/TableFixture.h"

namespace tavrik::testing {
namespace {

const std::string kPython = "/usr/bin/python3";
const std::string kScript = TABLES_TEST_DIR "/peer_table.py";
constexpr int kRows = 10000;
constexpr int kRateColumn = 4;
constexpr int kNoteColumn = 6;  // once the F column is left out

using Row = std::vector<std::string>;

// Runs `argv` to its end; its standard output.
std::string RunToEnd(const std::vector<std::string>& argv, int expected_status = 0) {
  TChildProcess child(argv);
  child.CloseStdin();
  std::string out;
  while (auto line = child.ReadLine(60s)) out += *line + "\n";
  EXPECT_EQ(child.WaitExit(60s), expected_status) << child.Stderr();
  return out;
}

// RFC 4180 records of `text`: cells may be quoted, and then hold commas, quotes and line ends.
std::vector<Row> ParseCsv(const std::string& text) {
  std::vector<Row> rows;
  Row row;
  std::string cell;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') cell += c, ++i;
      else if (c == '"') quoted = false;
      else cell += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(cell), cell.clear();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      row.push_back(cell), cell.clear();
      rows.push_back(row), row.clear();
    } else {
      cell += c;
    }
  }
  return rows;
}

class PeerTableTest : public TableTest {
 protected:
  static void SetUpTestSuite() {
    written_ = new TempDir;
    RunToEnd({kPython, kScript, "write", written_->Path(), std::to_string(kRows)});
    std::vector<Row> all = ParseCsv(RunToEnd({kPython, kScript, "read", written_->File("PEOPLE.DBF")}));
    deleted_ = std::stoi(all.back().at(1));
    all.pop_back();
    // An F field has no field in the dataset (only C, N, I, L, D, M, B, G and P fields do): its
    // column is left out of the comparison.
    for (Row& r : all) r.erase(r.begin() + kRateColumn);
    header_ = all.front();
    rows_ = std::vector<Row>(all.begin() + 1, all.end());
  }
  static void TearDownTestSuite() { delete written_; }

  void SetUp() override {
    for (const char* f : {"PEOPLE.DBF", "PEOPLE.FPT"})
      std::filesystem::copy_file(written_->File(f), data + "/" + f);
    AddTag("PEOPLE.DBF", "BYNAME", "NAME");
  }

  // The cells of the current record; memo contents only `with_memos` (each costs a request of
  // its own on the server), else the memo cell is left empty.
  static Row Current(TDataSet& t, bool with_memos = true) {
    Row row;
    for (int i = 0; i < t.FieldCount(); ++i)
      row.push_back(with_memos || !t.Fields(i).IsBlob() ? mvtable::CellText(t.Fields(i)) : std::string());
    return row;
  }
  static std::vector<Row> Forwards(TDataSet& t, bool with_memos = false) {
    std::vector<Row> rows;
    for (t.First(); !t.Eof(); t.Next()) rows.push_back(Current(t, with_memos));
    return rows;
  }
  static std::vector<Row> Backwards(TDataSet& t) {
    std::vector<Row> rows;
    for (t.Last(); !t.Bof(); t.Prior()) rows.insert(rows.begin(), Current(t, false));
    return rows;
  }
  static std::vector<Row> WithoutMemos(std::vector<Row> rows) {
    for (Row& r : rows) r[kNoteColumn].clear();
    return rows;
  }
  // dbfread's records in the order of the NAME tag: by the name blank-padded to its width, equal
  // names in file order.
  static std::vector<Row> ByName(std::vector<Row> rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return PadRight(a[0], 12) < PadRight(b[0], 12); });
    return rows;
  }
  template <class F>
  static std::vector<Row> Where(const std::vector<Row>& rows, F keep) {
    std::vector<Row> out;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(out), keep);
    return out;
  }

  // Reads the table every way and compares with dbfread.
  void CheckAgainstPeer(TMarvekTable& t) {
    t.Open();
    ASSERT_EQ(Current(t).size(), header_.size());
    for (int i = 0; i < t.FieldCount(); ++i) EXPECT_EQ(t.Fields(i).FieldName(), header_[size_t(i)]);
    const std::vector<Row> forwards = Forwards(t, true);
    ASSERT_EQ(forwards.size(), rows_.size());
    EXPECT_TRUE(forwards == rows_);
    const std::vector<Row> plain = WithoutMemos(rows_);
    EXPECT_TRUE(Backwards(t) == plain);

    const auto big = [](const Row& r) { return !r[2].empty() && std::stoi(r[2]) > 500000; };
    t.SetFilter("COUNT > 500000");
    t.SetFiltered(true);
    EXPECT_TRUE(Forwards(t) == Where(plain, big));
    EXPECT_TRUE(Backwards(t) == Where(plain, big));
    t.SetFiltered(false);

    t.SetIndexName("BYNAME");
    const std::vector<Row> ordered = ByName(plain);
    EXPECT_TRUE(Forwards(t) == ordered);
    EXPECT_TRUE(Backwards(t) == ordered);
    t.SetScopeBegin("C");
    t.SetScopeEnd("Fz");
    t.SetScoped(true);
    const auto in_scope = [](const Row& r) {
      const std::string key = PadRight(r[0], 12);
      return key.substr(0, 1) >= "C" && key.substr(0, 2) <= "Fz";
    };
    const std::vector<Row> scoped = Where(ordered, in_scope);
    EXPECT_GT(scoped.size(), 500u);
    EXPECT_TRUE(Forwards(t) == scoped);
    EXPECT_TRUE(Backwards(t) == scoped);
    t.SetScoped(false);
    t.Close();
  }

  // An environment that hides deleted records from the tables of `apply_to`.
  static TMarvekEnv* HideDeleted(TComponent& module, TMarvekApplyTo apply_to) {
    auto* env = new TMarvekEnv(&module);
    env->SetApplyTo(apply_to);
    env->SetDeleted(true);
    return env;
  }

  static TempDir* written_;
  static std::vector<Row> rows_;
  static Row header_;
  static int deleted_;
};

TempDir* PeerTableTest::written_ = nullptr;
std::vector<Row> PeerTableTest::rows_;
Row PeerTableTest::header_;
int PeerTableTest::deleted_ = 0;

TEST_F(PeerTableTest, OverTheServer) {
  StartWithData();
  auto c = Connect();
  {
    auto t = ServerTable(*c, "PEOPLE.DBF");
    t->Open();
    EXPECT_EQ(int(Forwards(*t).size()), kRows);  // deleted records shown without an environment
    EXPECT_EQ(t->RecordCount(), kRows);
  }
  TComponent module;
  TApplicationRoot root(module, TRootKind::rkDataModule);
  HideDeleted(module, atServer);
  for (int fetch : {50, 500}) {
    SCOPED_TRACE(fetch);
    auto t = ServerTable(*c, "PEOPLE.DBF");
    t->SetFetchCount(fetch);
    CheckAgainstPeer(*t);
  }
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(int(rows_.size()) + deleted_, kRows);
}

TEST_F(PeerTableTest, ThroughTheLocalEngineLibrary) {
  TComponent module;
  TApplicationRoot root(module, TRootKind::rkDataModule);
  TMarvekEnv* env = HideDeleted(module, atLocal);
  TMarvekTable t;
  t.SetDatabaseName(data);
  t.SetTableName("PEOPLE.DBF");
  CheckAgainstPeer(t);
  env->SetDeleted(false);  // the library's setting is the process's: give it back
}

TEST_F(PeerTableTest, MvtableDumpsWhatDbfreadReads) {
  StartWithData();
  std::string expected = mvtable::CsvLine(header_);
  for (const Row& r : rows_) expected += mvtable::CsvLine(r);
  const std::string filter = "--filter=.NOT. DELETED()";
  for (const std::vector<std::string>& where :
       {std::vector<std::string>{"--local", data}, {"-p", std::to_string(Port()), "-u", "PORTAL", "-w", "qz7rmw"}}) {
    std::vector<std::string> argv = {MVTABLE_PATH};
    argv.insert(argv.end(), where.begin(), where.end());
    argv.insert(argv.end(), {filter, "FILES", "PEOPLE.DBF", "dump"});
    TChildProcess child(argv);
    child.CloseStdin();
    std::string out;
    while (auto line = child.ReadLine(60s)) out += *line + "\n";
    ASSERT_EQ(child.WaitExit(60s), 0) << child.Stderr();
    // ReadLine splits at LF; CR stays with each line.
    EXPECT_TRUE(out == expected) << argv[1];
  }
}

}  // namespace
}  // namespace tavrik::testing
