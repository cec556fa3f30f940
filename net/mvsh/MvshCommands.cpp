// The command table of mvsh: each connection command with its arguments and the printing of its
// result.
#include <cstring>

#include "core/StrUtils.h"
#include "net/mvsh/Mvsh.h"

namespace tavrik::mvsh {

namespace {
std::string Num(int64_t value) { return std::to_string(value); }
std::string Bool(bool value) { return value ? "true" : "false"; }
std::string Float(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  return buf;
}
const std::string kOk = "ok";

uint16_t U16Arg(const std::string& command, const std::string& arg) {
  int32_t v = IntArg(command, arg);
  if (v < 0 || v > 0xFFFF) throw EMvshUsage(command + ": out of range: " + arg);
  return static_cast<uint16_t>(v);
}

int16_t I16Arg(const std::string& command, const std::string& arg) {
  int32_t v = IntArg(command, arg);
  if (v < -0x8000 || v > 0x7FFF) throw EMvshUsage(command + ": out of range: " + arg);
  return static_cast<int16_t>(v);
}

std::string Flags(const TMvIndexEntry& e) {
  std::string f;
  for (bool b : {e.Primary, e.Unique, e.Descending, e.CaseInsensitive, e.IsExpression, e.NonMaintained})
    f.push_back(b ? '1' : '0');
  return f;
}
}  // namespace

void Interpreter::DefineTables() {
  auto& c = connection_;
  Define("Use", "<alias> <table> [open mode] [table type] [index] [password] [commit level]", 2, 7,
         [this, &c](const Args& a) {
           TMvUseParams p;
           p.DatabaseName = a[0];
           p.TableName = a[1];
           if (a.size() > 2) p.OpenMode = IntArg("Use", a[2]);
           if (a.size() > 3) p.TableType = IntArg("Use", a[3]);
           if (a.size() > 4) p.IndexName = a[4];
           if (a.size() > 5) p.Password = a[5];
           if (a.size() > 6) p.CommitLevel = IntArg("Use", a[6]);
           TMvTableInfo info;
           int area = c.Use(p, info);
           if (area > 0) record_sizes_[static_cast<uint16_t>(area)] = info.RecordSize;
           std::string r = "workarea=" + Num(area) + " reccount=" + Num(info.RecCount) + " fields=" +
                           Num(info.FieldCount) + " recsize=" + Num(info.RecordSize) + " encrypted=" +
                           Bool(info.Encrypted) + " order=" + Num(info.IndexOrder) +
                           " condition=" + Quote(info.IndexCondition);
           for (const TMvIndexEntry& e : info.Indexes)
             r += " index=[" + Quote(e.Name) + " " + Quote(e.Fields) + " " + Quote(e.Source) + " " +
                  Quote(e.Expression) + " " + Flags(e) + "]";
           return r + " error=" + Num(info.ErrorCode) + " message=" + Quote(info.ErrorMessage);
         });
  Define("UseEx", "<file> <alias> <open mode> <table type> <commit level>", 5, 5, [&c](const Args& a) {
    return Num(c.UseEx(a[0], a[1], IntArg("UseEx", a[2]), IntArg("UseEx", a[3]), IntArg("UseEx", a[4])));
  });
  Define("Alias", "<work area>", 1, 1, [&c](const Args& a) { return Quote(c.Alias(U16Arg("Alias", a[0]))); });
  Define("WorkArea", "<alias>", 1, 1, [&c](const Args& a) { return Num(c.WorkArea(a[0])); });
  Define("Select", "<work area>", 1, 1, [&c](const Args& a) { return Num(c.Select(U16Arg("Select", a[0]))); });
  Define("Close", "", 0, 0, [&c](const Args&) { c.Close(); return kOk; });
  Define("SetDatabaseAlias", "<alias>", 1, 1, [&c](const Args& a) { c.SetDatabaseAlias(a[0]); return kOk; });
  Define("Version", "", 0, 0, [&c](const Args&) { return Quote(c.ServerVersion()); });
}

void Interpreter::DefineCursor() {
  auto& c = connection_;
  Define("AppendBlank", "", 0, 0, [&c](const Args&) { return Num(c.AppendBlank()); });
  Define("Bof", "", 0, 0, [&c](const Args&) { return Bool(c.Bof()); });
  Define("Eof", "", 0, 0, [&c](const Args&) { return Bool(c.Eof()); });
  Define("Found", "", 0, 0, [&c](const Args&) { return Bool(c.Found()); });
  Define("Go", "<record>", 1, 1, [&c](const Args& a) { return Num(c.Go(IntArg("Go", a[0]))); });
  Define("GoBottom", "", 0, 0, [&c](const Args&) { c.GoBottom(); return kOk; });
  Define("GoTop", "", 0, 0, [&c](const Args&) { c.GoTop(); return kOk; });
  Define("Skip", "<count>", 1, 1, [&c](const Args& a) { c.Skip(IntArg("Skip", a[0])); return kOk; });
  Define("RecNo", "", 0, 0, [&c](const Args&) { return Num(c.RecNo()); });
  Define("RecCount", "", 0, 0, [&c](const Args&) { return Num(c.RecCount()); });
  Define("Count", "", 0, 0, [&c](const Args&) { return Num(c.Count()); });
  Define("Seek", "<key>", 1, 1, [&c](const Args& a) { return Bool(c.Seek(a[0])); });
  Define("Delete", "", 0, 0, [&c](const Args&) { c.Delete(); return kOk; });
  Define("Deleted", "", 0, 0, [&c](const Args&) { return Bool(c.Deleted()); });
  Define("Commit", "", 0, 0, [&c](const Args&) { c.Commit(); return kOk; });
  Define("Rlock", "<record>", 1, 1, [&c](const Args& a) { return Bool(c.Rlock(IntArg("Rlock", a[0]))); });
  Define("Unlock", "<record>", 1, 1, [&c](const Args& a) { c.Unlock(IntArg("Unlock", a[0])); return kOk; });
  Define("OrderPosSet", "<position>", 1, 1, [&c](const Args& a) {
    c.OrderPosSet(FloatArg("OrderPosSet", a[0]));
    return kOk;
  });
}

void Interpreter::DefineFields() {
  auto& c = connection_;
  Define("FieldDecimals", "<field>", 1, 1, [&c](const Args& a) { return Num(c.FieldDecimals(a[0])); });
  Define("FieldName", "<number>", 1, 1, [&c](const Args& a) { return Quote(c.FieldName(U16Arg("FieldName", a[0]))); });
  Define("FieldOffset", "<field>", 1, 1, [&c](const Args& a) { return Num(c.FieldOffset(a[0])); });
  Define("FieldType", "<field>", 1, 1, [&c](const Args& a) { return Quote(c.FieldType(a[0])); });
  Define("FieldWidth", "<field>", 1, 1, [&c](const Args& a) { return Num(c.FieldWidth(a[0])); });
  Define("GetDateString", "<field>", 1, 1, [&c](const Args& a) { return Quote(c.GetDateString(a[0])); });
  Define("GetDouble", "<field>", 1, 1, [&c](const Args& a) { return Float(c.GetDouble(a[0])); });
  Define("GetInteger", "<field>", 1, 1, [&c](const Args& a) { return Num(c.GetInteger(a[0])); });
  Define("GetTrimString", "<field>", 1, 1, [&c](const Args& a) { return Quote(c.GetTrimString(a[0])); });
  Define("GetMemo", "<field> [line width]", 1, 2, [&c](const Args& a) {
    return Quote(c.GetMemo(a[0], a.size() > 1 ? U16Arg("GetMemo", a[1]) : 0));
  });
  Define("GetBlobLength", "<field>", 1, 1, [&c](const Args& a) { return Num(c.GetBlobLength(a[0])); });
  Define("EvalLogical", "<expression>", 1, 1, [&c](const Args& a) { return Bool(c.EvalLogical(a[0])); });
  Define("EvalNumeric", "<expression>", 1, 1, [&c](const Args& a) { return Float(c.EvalNumeric(a[0])); });
  Define("EvalString", "<expression>", 1, 1, [&c](const Args& a) { return Quote(c.EvalString(a[0])); });
  Define("EvalTest", "<expression>", 1, 1, [&c](const Args& a) { return Num(c.EvalTest(a[0])); });
  Define("DBFilter", "", 0, 0, [&c](const Args&) { return Quote(c.DBFilter()); });
  Define("QueryRowCount", "<condition>", 1, 1, [&c](const Args& a) {
    int32_t count = 0;
    int result = c.QueryRowCount(a[0], count);
    return Num(result) + " count=" + Num(count);
  });
  Define("QueryRecCount", "", 0, 0, [&c](const Args&) { return Num(c.QueryRecCount()); });
  Define("QueryTest", "<condition>", 1, 1, [&c](const Args& a) { return Num(c.QueryTest(a[0])); });
}

void Interpreter::DefineIndexes() {
  auto& c = connection_;
  Define("CloseIndexes", "", 0, 0, [&c](const Args&) { c.CloseIndexes(); return kOk; });
  Define("IndexCondition", "", 0, 0, [&c](const Args&) { return Quote(c.IndexCondition()); });
  Define("IndexKey", "", 0, 0, [&c](const Args&) { return Quote(c.IndexKey()); });
  Define("IndexKeyField", "", 0, 0, [&c](const Args&) { return Quote(c.IndexKeyField()); });
  Define("IndexName", "<number>", 1, 1, [&c](const Args& a) { return Quote(c.IndexName(I16Arg("IndexName", a[0]))); });
  Define("IndexOpen", "<index file>", 1, 1, [&c](const Args& a) { return Num(c.IndexOpen(a[0])); });
  Define("IndexOrd", "", 0, 0, [&c](const Args&) { return Num(c.IndexOrd()); });
  Define("IndexType", "", 0, 0, [&c](const Args&) { return Num(c.IndexType()); });
  Define("SetOrder", "<order>", 1, 1, [&c](const Args& a) { return Num(c.SetOrder(I16Arg("SetOrder", a[0]))); });
  Define("TagArea", "<tag>", 1, 1, [&c](const Args& a) { return Num(c.TagArea(a[0])); });
  Define("TagName", "<number>", 1, 1, [&c](const Args& a) { return Quote(c.TagName(I16Arg("TagName", a[0]))); });
  Define("GetScope", "<which>", 1, 1, [&c](const Args& a) { return Quote(c.GetScope(I16Arg("GetScope", a[0]))); });
  Define("SetScope", "<low> <high>", 2, 2, [&c](const Args& a) { return Bool(c.SetScope(a[0], a[1])); });
  Define("IsEncrypted", "<what>", 1, 1, [&c](const Args& a) { return Bool(c.IsEncrypted(I16Arg("IsEncrypted", a[0]))); });
}

void Interpreter::DefineRecords() {
  auto& c = connection_;
  Define("GetRecord", "[record size]", 0, 1, [this, &c](const Args& a) {
    std::string record(static_cast<size_t>(RecordSize(a, 0)), '\0');
    int n = c.GetRecord(record.data(), static_cast<int>(record.size()));
    return Quote(record.substr(0, static_cast<size_t>(n)));
  });
  Define("PutRecord", "<record>", 1, 1, [&c](const Args& a) {
    c.PutRecord(a[0].data(), static_cast<int>(a[0].size()));
    return kOk;
  });
  Define("GetBlob", "<field> [size]", 1, 2, [&c](const Args& a) {
    int size = a.size() > 1 ? IntArg("GetBlob", a[1]) : c.GetBlobLength(a[0]);
    if (size < 0) throw EMvshUsage("GetBlob: negative size");
    std::string data(static_cast<size_t>(size), '\0');
    int n = c.GetBlob(a[0], data.data(), size);
    return Quote(data.substr(0, static_cast<size_t>(n)));
  });
  Define("PutBlob", "<field> <data>", 2, 2, [&c](const Args& a) {
    return Num(c.PutBlob(a[0], a[1].data(), static_cast<int>(a[1].size())));
  });
  Define("Replace", "<field> <type code> [value]", 2, 3, [&c](const Args& a) {
    const int code = IntArg("Replace", a[1]);
    const std::string value = a.size() > 2 ? a[2] : std::string();
    int32_t i32 = 0;
    double f64 = 0;
    const void* bytes = value.c_str();
    if (code == 1 || code == 2 || code == 32) {
      i32 = IntArg("Replace", value);
      bytes = &i32;
    } else if (code == 8) {
      f64 = FloatArg("Replace", value);
      bytes = &f64;
    } else if (code == 128 && value.empty()) {
      throw EMvshUsage("Replace: type 128 needs a one-character value");
    }
    c.Replace(a[0], code, bytes);
    return kOk;
  });
  Define("GetStructure", "", 0, 0, [&c](const Args&) {
    TMemoryStream* s = c.GetStructure();
    if (!s) return std::string("none");
    // Five lines per field: name, type, then width, decimals and offset in hexadecimal, which
    // are shown in decimal.
    std::string text = s->ToString(), r;
    size_t start = 0, n = 0;
    while (start < text.size()) {
      size_t end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      std::string item = text.substr(start, end - start);
      if (n % 5 >= 2) {
        auto number = TryHexToInt(item);
        if (!number) throw Exception("GetStructure: not a hexadecimal number in the reply: " + item);
        item = std::to_string(*number);
      }
      r += (n == 0 ? "" : n % 5 == 0 ? "; " : " ") + item;
      ++n;
      start = end + 2;
    }
    return r;
  });
  Define("TraverseTable",
         "<first Y/N> <last Y/N> <eof action> <direction> <previous direction> <fetch count> <record> [record size]",
         7, 8, [this, &c](const Args& a) {
           TMvTraverseRequest q;
           q.GoTop = BoolArg("TraverseTable", a[0]);
           q.GoBottom = BoolArg("TraverseTable", a[1]);
           q.EofAction = IntArg("TraverseTable", a[2]);
           q.Direction = IntArg("TraverseTable", a[3]);
           q.PreviousDirection = IntArg("TraverseTable", a[4]);
           q.FetchCount = IntArg("TraverseTable", a[5]);
           q.RecNo = IntArg("TraverseTable", a[6]);
           std::vector<TMvFetchSlot> slots;
           int count = 0;
           int result = c.TraverseTable(q, RecordSize(a, 7), slots, count);
           std::string r = "count=" + Num(count) + " result=" + Num(result);
           for (int i = 0; i < count; ++i)
             r += " [" + Num(slots[i].Result) + " " + Num(slots[i].RecNo) + " " + Num(slots[i].Position) + " " +
                  Quote(slots[i].Record) + "]";
           return r;
         });
  Define("MemDealloc", "", 0, 0, [&c](const Args&) { c.MemDealloc(); return kOk; });
  Define("SetStringType", "<type>", 1, 1, [&c](const Args& a) {
    c.SetStringType(IntArg("SetStringType", a[0]));
    return kOk;
  });
}

void Interpreter::DefineSettings() {
  auto& c = connection_;
  Define("SetCentury", "<Y/N>", 1, 1, [&c](const Args& a) { c.SetCentury(BoolArg("SetCentury", a[0])); return kOk; });
  Define("SetDateFormat", "<code>", 1, 1, [&c](const Args& a) {
    c.SetDateFormat(U16Arg("SetDateFormat", a[0]));
    return kOk;
  });
  Define("SetDeleted", "<Y/N>", 1, 1, [&c](const Args& a) { c.SetDeleted(BoolArg("SetDeleted", a[0])); return kOk; });
  Define("SetEpoch", "<year>", 1, 1, [&c](const Args& a) { return Num(c.SetEpoch(U16Arg("SetEpoch", a[0]))); });
  Define("SetExact", "<Y/N>", 1, 1, [&c](const Args& a) { c.SetExact(BoolArg("SetExact", a[0])); return kOk; });
  Define("SetLockTimeOut", "<seconds>", 1, 1, [&c](const Args& a) {
    c.SetLockTimeOut(I16Arg("SetLockTimeOut", a[0]));
    return kOk;
  });
  Define("SetMemoBlockSize", "<size>", 1, 1, [&c](const Args& a) {
    return Num(c.SetMemoBlockSize(U16Arg("SetMemoBlockSize", a[0])));
  });
  Define("SetPassword", "<password>", 1, 1, [&c](const Args& a) { c.SetTablePassword(a[0]); return kOk; });
  Define("SetSoftSeek", "<Y/N>", 1, 1, [&c](const Args& a) { c.SetSoftSeek(BoolArg("SetSoftSeek", a[0])); return kOk; });
  Define("SetTranslate", "<Y/N>", 1, 1, [&c](const Args& a) {
    c.SetTranslate(BoolArg("SetTranslate", a[0]));
    return kOk;
  });
  Define("SetTurboRead", "<Y/N>", 1, 1, [&c](const Args& a) {
    c.SetTurboRead(BoolArg("SetTurboRead", a[0]));
    return kOk;
  });
  Define("SysProp", "<code> [value]", 1, 2, [&c](const Args& a) {
    return Num(c.SysProp(U16Arg("SysProp", a[0]), a.size() > 1 ? IntArg("SysProp", a[1]) : 0));
  });
}

void Interpreter::DefineFiles() {
  auto& c = connection_;
  Define("FileExists", "<area> <name>", 2, 2, [&c](const Args& a) { return Bool(c.FileExists(a[0], a[1])); });
  Define("DeleteFile", "<area> <name>", 2, 2, [&c](const Args& a) { return Bool(c.DeleteFile(a[0], a[1])); });
  Define("FileLength", "<area> <name>", 2, 2, [&c](const Args& a) { return Num(c.FileLength(a[0], a[1])); });
  Define("FileSend", "<area> <source> [target]", 2, 3, [&c](const Args& a) {
    return Num(c.FileSend(a[0], a[1], a.size() > 2 ? a[2] : std::string()));
  });
}

}  // namespace tavrik::mvsh
