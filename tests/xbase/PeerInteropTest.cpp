// Tables exchanged with programs nobody here wrote: python3-dbf writes tables the engine reads
// (and then changes), python3-dbfread reads tables the engine wrote. Every field is compared.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/xbase/TableTestUtil.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::xbase::testing {
namespace {

using tavrik::testing::TempDir;

// Debian's Python packages are importable only by the system interpreter.
const std::string kPython = "/usr/bin/python3";

// Runs a command and returns its standard output; a failing command fails the test.
std::string RunPeer(const std::string& command) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  const int status = ::pclose(pipe);
  EXPECT_EQ(status, 0) << command << "\n" << out;
  return out;
}

std::string Picture() {
  std::string p;
  for (int i = 0; i < 100; ++i) p += std::string("\x00\x01\x1a\xff", 4);
  return p;
}

std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789abcdef";
  std::string h;
  for (unsigned char c : bytes) h += std::string{d[c >> 4], d[c & 15]};
  return h;
}

std::string Lines(int n, const std::string& line) {
  std::string s;
  for (int i = 0; i < n; ++i) s += line;
  return s;
}

// What the engine sees of one row written by the peer.
struct TRow {
  bool deleted;
  const char* name;
  double amount;
  int count;
  const char* born;  // yyyymmdd or ""
  const char* ok;
  std::string note;
};

const TRow kPeerRows[] = {
    {false, "Alice", 12.5, 42, "20031105", "T", "hello memo"},
    {true, "Bob", -3.25, -7, "", "F", Lines(200, "line\r\n")},
    {false, "", 0, 0, "19991231", "F", ""},
    {false, "\xC9mile", 1234567.89, 99999, "20240229", "T", "\xDCn\xEF" "code memo"},
};

TEST(PeerTables, WrittenByPythonDbfReadByTheEngine) {
  TempDir dir;
  RunPeer(kPython + " " + XBASE_TEST_DIR "/peer_write.py " + dir.Path());
  struct Table {
    const char* file;
    bool memo;
    bool picture;
  } tables[] = {{"DB3.DBF", true, false}, {"FOX.DBF", true, true}, {"VFP.DBF", false, false}};
  for (const Table& t : tables) {
    SCOPED_TRACE(t.file);
    TWorkAreaSet set;
    set.Use(dir.File(t.file), "", 0, 2, 1);
    ASSERT_EQ(set.RecCount(), 4);
    std::string structure = "NAME\r\nC\r\nA\r\n0\r\n2\r\nAMOUNT\r\nN\r\nA\r\n2\r\nC\r\nCOUNT\r\nN\r\n5\r\n0\r\n16\r\n"
                            "BORN\r\nD\r\n8\r\n0\r\n1B\r\nOK\r\nL\r\n1\r\n0\r\n23\r\n";
    if (t.memo) structure += "NOTE\r\nM\r\nA\r\n0\r\n24\r\n";
    if (t.picture) structure += "PIC\r\nP\r\nA\r\n0\r\n2E\r\n";
    EXPECT_EQ(set.GetStructure(), structure);
    int recno = 0;
    for (const TRow& row : kPeerRows) {
      set.Go(++recno);
      SCOPED_TRACE(recno);
      EXPECT_EQ(set.Deleted(), row.deleted);
      EXPECT_EQ(set.GetTrimString("NAME"), row.name);
      EXPECT_DOUBLE_EQ(set.GetDouble("AMOUNT"), row.amount);
      EXPECT_EQ(set.GetInteger("COUNT"), row.count);
      EXPECT_EQ(set.GetTrimString("BORN"), row.born);
      EXPECT_EQ(set.GetTrimString("OK"), row.ok);
      if (t.memo) {
        EXPECT_EQ(set.GetMemo("NOTE", 0), row.note);
      }
      if (t.picture) {
        EXPECT_EQ(set.GetBlob("PIC"), Picture());
      }
    }
    set.SetDeleted(true);
    int live = 0;
    for (set.GoTop(); !set.Eof(); set.Skip(1)) ++live;
    EXPECT_EQ(live, 3);
  }
}

TEST(PeerTables, PeerTablesChangedByTheEngineStayReadable) {
  TempDir dir;
  RunPeer(kPython + " " + XBASE_TEST_DIR "/peer_write.py " + dir.Path());
  for (const char* file : {"DB3.DBF", "FOX.DBF"}) {
    TWorkAreaSet set;
    set.Use(dir.File(file), "", 0, 2, 1);
    set.Go(1);
    set.Replace("NOTE", rtMemoText, Lines(300, "grown "));  // past its blocks: new ones
    set.Go(4);
    set.Replace("NOTE", rtMemoText, "short");  // fits its own blocks
    set.AppendBlank();
    set.Replace("NAME", rtText, "Zoe");
    set.Replace("AMOUNT", rtText, "0.5");
    set.Close();
    const std::string out = RunPeer(kPython + " " + XBASE_TEST_DIR "/peer_read.py " + dir.File(file));
    EXPECT_NE(out.find("NAME='Alice'\nAMOUNT=12.5\nCOUNT=42\nBORN=2003-11-05\nOK=True\nNOTE='" + Lines(300, "grown ") + "'\n"),
              std::string::npos) << file << out;
    EXPECT_NE(out.find("NAME='\xC3\x89mile'\nAMOUNT=1234567.89\nCOUNT=99999\nBORN=2024-02-29\nOK=True\nNOTE='short'\n"),
              std::string::npos) << file << out;
    EXPECT_NE(out.find("NAME='Zoe'\nAMOUNT=0.5\nCOUNT=None\nBORN=None\nOK=None\nNOTE=None\n"), std::string::npos) << file << out;
    EXPECT_NE(out.find("deleted\nNAME='Bob'\n"), std::string::npos) << file << out;
  }
}

TEST(PeerTables, WrittenByTheEngineReadByDbfread) {
  struct Kind {
    int table_type;
    const char* fields;
    const char* version;
  } kinds[] = {
      {1, "NAME,C,10,0;AMOUNT,N,10,2;COUNT,N,5,0;BORN,D,8,0;OK,L,1,0;NOTE,M,10,0", "FoxBASE+/dBASE III PLUS, with memo"},
      {2, "NAME,C,10,0;AMOUNT,N,10,2;COUNT,N,5,0;BORN,D,8,0;OK,L,1,0;NOTE,M,10,0;PIC,P,10,0",
       "FoxPro 2.x (or earlier) with memo"},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.table_type);
    TempDir dir;
    const std::string path = MakeTable(dir, "OUT.DBF", k.fields, k.table_type);
    const bool picture = k.table_type == 2;
    {
      TWorkAreaSet set;
      set.Use(path, "", 0, k.table_type, 0);
      auto row = [&](const char* name, const char* amount, int count, const char* born, bool ok, const std::string& note) {
        set.AppendBlank();
        set.Replace("NAME", rtText, name);
        set.Replace("AMOUNT", rtText, amount);
        set.Replace("COUNT", rtInteger, std::string(reinterpret_cast<const char*>(&count), 4));
        set.Replace("BORN", rtText, born);
        set.Replace("OK", rtLogical, std::string(1, ok ? 1 : 0));
        set.Replace("NOTE", rtMemoText, note);
        if (picture) set.PutBlob("PIC", Picture());
      };
      row("Alice", "12.5", 42, "20031105", true, "hello memo");
      row("Bob", "-3.25", -7, "", false, Lines(200, "line\r\n"));
      set.Delete();
      row("\xC9mile", "1234567.89", 99999, "02/29/2024", true, "\xDCn\xEF" "code memo");
      set.AppendBlank();  // left blank
      set.Go(1);
      set.Replace("NOTE", rtMemoText, Lines(100, "grown "));
      set.Commit();
    }
    const std::string pic = picture ? "PIC=hex:" + Hex(Picture()) + "\n" : "";
    std::string expected = std::string(k.version) + "\n" +
                           "NAME C 10 0\nAMOUNT N 10 2\nCOUNT N 5 0\nBORN D 8 0\nOK L 1 0\nNOTE M 10 0\n" +
                           (picture ? "PIC P 10 0\n" : "") +
                           "record\nNAME='Alice'\nAMOUNT=12.5\nCOUNT=42\nBORN=2003-11-05\nOK=True\nNOTE='" +
                           Lines(100, "grown ") + "'\n" + pic +
                           "record\nNAME='\xC3\x89mile'\nAMOUNT=1234567.89\nCOUNT=99999\nBORN=2024-02-29\nOK=True\n"
                           "NOTE='\xC3\x9cn\xC3\xAf" "code memo'\n" + pic +
                           "record\nNAME=''\nAMOUNT=None\nCOUNT=None\nBORN=None\nOK=None\nNOTE=None\n" +
                           (picture ? "PIC=None\n" : "") +
                           "deleted\nNAME='Bob'\nAMOUNT=-3.25\nCOUNT=-7\nBORN=None\nOK=False\nNOTE='" +
                           Lines(200, "line\\r\\n") + "'\n" + pic;
    EXPECT_EQ(RunPeer(kPython + " " + XBASE_TEST_DIR "/peer_read.py " + path), expected);
  }
}

}  // namespace
}  // namespace tavrik::xbase::testing
