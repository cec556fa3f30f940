#include "server/FieldCommands.h"

#include "server/WorkAreaCodec.h"
#include "server/WorkAreaSession.h"

namespace tavrik::server {

using namespace wire;

void RegisterFieldCommands(TDispatcher& d, TServerContext&) {
  using W = TWorkAreaSession;
  using S = TSessionState;
  using R = TRequest;
  AddAreaCommand(d, "0612", "FieldName", [](W& w, S&, R& r) { return w.areas.FieldName(ParseDec(r.payload, "FieldName")); });
  AddAreaCommand(d, "0615", "FieldType", [](W& w, S&, R& r) { return w.areas.FieldType(r.payload); });
  AddAreaCommand(d, "0616", "FieldWidth", [](W& w, S&, R& r) { return Dec(w.areas.FieldWidth(r.payload)); });
  AddAreaCommand(d, "0611", "FieldDecimals", [](W& w, S&, R& r) { return Dec(w.areas.FieldDecimals(r.payload)); });
  AddAreaCommand(d, "0614", "FieldOffset", [](W& w, S&, R& r) { return Dec(w.areas.FieldOffset(r.payload)); });
  AddAreaCommand(d, "0581", "GetStructure", [](W& w, S&, R&) { return w.areas.GetStructure(); });
  AddAreaCommand(d, "0492", "GetTrimString", [](W& w, S&, R& r) { return w.areas.GetTrimString(r.payload); });
  AddAreaCommand(d, "0486", "GetInteger", [](W& w, S&, R& r) { return Dec(w.areas.GetInteger(r.payload)); });
  AddAreaCommand(d, "0485", "GetDouble", [](W& w, S&, R& r) { return Float(w.areas.GetDouble(r.payload)); });
  AddAreaCommand(d, "0484", "GetDateString", [](W& w, S&, R& r) { return w.areas.GetDateString(r.payload); });
  AddAreaCommand(d, "0489", "GetMemo", [](W& w, S&, R& r) {
    TFieldReader f(r.payload);
    f.Hex(8, "GetMemo");  // always 0: the client has nothing else to say there
    const uint32_t width = f.Hex(8, "GetMemo line width");
    if (width > 0xFFFF) throw ERefused("GetMemo: line width " + std::to_string(width));
    return w.areas.GetMemo(f.Rest(), static_cast<int>(width));
  });
  AddAreaCommand(d, "0546", "EvalTest", [](W& w, S&, R& r) { return Dec(w.areas.EvalTest(r.payload)); });
  AddAreaCommand(d, "0545", "EvalString", [](W& w, S&, R& r) { return w.areas.EvalString(r.payload); });
  AddAreaCommand(d, "0544", "EvalNumeric", [](W& w, S&, R& r) { return Float(w.areas.EvalNumeric(r.payload)); });
  AddAreaCommand(d, "0543", "EvalLogical", [](W& w, S&, R& r) { return YN(w.areas.EvalLogical(r.payload)); });
  AddAreaCommand(d, "0646", "QueryRowCount", [](W& w, S&, R& r) {
    xbase::TQueryCount q = w.areas.QueryRowCount(r.payload);
    return Hex(q.matches, 8) + Hex(q.record_count, 8);
  });
  AddAreaCommand(d, "0570", "QueryTest", [](W& w, S&, R& r) { return Dec(w.areas.QueryTest(r.payload)); });
  AddAreaCommand(d, "0519", "QueryRecCount", [](W& w, S&, R&) { return Dec(w.areas.QueryRecCount()); });
  AddAreaCommand(d, "0539", "DBFilter", [](W& w, S&, R&) { return w.areas.DBFilter(); });
}

}  // namespace tavrik::server
