#include "server/FieldCommands.h"

#include "proto/MvFields.h"
#include "proto/MvPayloads.h"
#include "server/WorkAreaSession.h"

namespace tavrik::server {

using namespace mvproto;

void RegisterFieldCommands(TDispatcher& d, TServerContext&) {
  using W = TWorkAreaSession;
  using S = TSessionState;
  using R = TRequest;
  AddAreaCommand(d, mvcmd::FieldName, [](W& w, S&, R& r) { return w.areas.FieldName(ParseDec(r.payload, "FieldName")); });
  AddAreaCommand(d, mvcmd::FieldType, [](W& w, S&, R& r) { return w.areas.FieldType(r.payload); });
  AddAreaCommand(d, mvcmd::FieldWidth, [](W& w, S&, R& r) { return Dec(w.areas.FieldWidth(r.payload)); });
  AddAreaCommand(d, mvcmd::FieldDecimals, [](W& w, S&, R& r) { return Dec(w.areas.FieldDecimals(r.payload)); });
  AddAreaCommand(d, mvcmd::FieldOffset, [](W& w, S&, R& r) { return Dec(w.areas.FieldOffset(r.payload)); });
  AddAreaCommand(d, mvcmd::GetStructure, [](W& w, S&, R&) { return w.areas.GetStructure(); });
  AddAreaCommand(d, mvcmd::GetTrimString, [](W& w, S&, R& r) { return w.areas.GetTrimString(r.payload); });
  AddAreaCommand(d, mvcmd::GetInteger, [](W& w, S&, R& r) { return Dec(w.areas.GetInteger(r.payload)); });
  AddAreaCommand(d, mvcmd::GetDouble, [](W& w, S&, R& r) { return Float(w.areas.GetDouble(r.payload)); });
  AddAreaCommand(d, mvcmd::GetDateString, [](W& w, S&, R& r) { return w.areas.GetDateString(r.payload); });
  AddAreaCommand(d, mvcmd::GetMemo, [](W& w, S&, R& r) {
    const TMvMemoRequest m = ParseMemoRequest(r.payload);
    return w.areas.GetMemo(m.field, m.line_width);
  });
  AddAreaCommand(d, mvcmd::EvalTest, [](W& w, S&, R& r) { return Dec(w.areas.EvalTest(r.payload)); });
  AddAreaCommand(d, mvcmd::EvalString, [](W& w, S&, R& r) { return w.areas.EvalString(r.payload); });
  AddAreaCommand(d, mvcmd::EvalNumeric, [](W& w, S&, R& r) { return Float(w.areas.EvalNumeric(r.payload)); });
  AddAreaCommand(d, mvcmd::EvalLogical, [](W& w, S&, R& r) { return YN(w.areas.EvalLogical(r.payload)); });
  AddAreaCommand(d, mvcmd::QueryRowCount, [](W& w, S&, R& r) {
    xbase::TQueryCount q = w.areas.QueryRowCount(r.payload);
    return BuildRowCount({static_cast<int32_t>(q.matches), static_cast<int32_t>(q.record_count)});
  });
  AddAreaCommand(d, mvcmd::QueryTest, [](W& w, S&, R& r) { return Dec(w.areas.QueryTest(r.payload)); });
  AddAreaCommand(d, mvcmd::QueryRecCount, [](W& w, S&, R&) { return Dec(w.areas.QueryRecCount()); });
  AddAreaCommand(d, mvcmd::DBFilter, [](W& w, S&, R&) { return w.areas.DBFilter(); });
}

}  // namespace tavrik::server
