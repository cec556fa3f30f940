#include "server/RecordCommands.h"

#include <algorithm>

#include "proto/MvFields.h"
#include "proto/MvPayloads.h"
#include "server/WorkAreaSession.h"

namespace tavrik::server {

namespace {

using namespace mvproto;

// The whole payload of a streamed request whose length was checked against its limit.
std::string ReadBody(TRequest& r, size_t size) {
  std::string bytes(size, '\0');
  if (size > 0) r.body->ReadExact(bytes.data(), size);
  return bytes;
}

std::string PutRecord(TWorkAreaSession& w, TSessionState&, TRequest& r) {
  xbase::TWorkArea& area = w.areas.CurrentArea();
  if (r.length != area.RecordSize())
    throw ERefused("PutRecord of " + std::to_string(r.length) + " bytes, the record of " + area.Alias() + " has " +
                   std::to_string(area.RecordSize()));
  area.PutRecord(ReadBody(r, area.RecordSize()));
  return kDone;
}

std::string Replace(TWorkAreaSession& w, TSessionState&, TRequest& r) {
  const TMvReplaceHeader h = ParseReplaceHeader(ReadBody(r, std::min<size_t>(r.length, kMvReplaceHeaderSize)));
  w.areas.CurrentArea().FieldByName(h.field);  // an unknown field fails before its value is read
  w.areas.Replace(h.field, h.type_code, ReadBody(r, static_cast<size_t>(r.body->Remaining())));
  return kDone;
}

std::string PutBlob(TWorkAreaSession& w, TSessionState&, TRequest& r) {
  w.blob_bytes.reset();
  const TMvBlobHeader h = ParseBlobHeader(ReadBody(r, std::min<size_t>(r.length, kMvBlobHeaderSize)));
  if (h.length != r.body->Remaining())
    throw ERefused("PutBlob announces " + std::to_string(h.length) + " bytes and sends " +
                   std::to_string(r.body->Remaining()));
  w.areas.CurrentArea().FieldByName(h.field);
  w.blob_bytes = w.areas.PutBlob(h.field, ReadBody(r, h.length));
  return kDone;
}

std::string PutBlobResult(TWorkAreaSession& w, TSessionState&, TRequest&) {
  if (!w.blob_bytes) throw ERefused("no PutBlob to answer for");
  int bytes = *w.blob_bytes;
  w.blob_bytes.reset();
  return Hex(static_cast<uint32_t>(bytes), 8);
}

}  // namespace

void RegisterRecordCommands(TDispatcher& d, TServerContext&) {
  using W = TWorkAreaSession;
  using S = TSessionState;
  using R = TRequest;
  AddAreaCommand(d, mvcmd::AppendBlank, [](W& w, S&, R&) { return Hex(static_cast<uint32_t>(w.areas.AppendBlank()), 8); });
  AddAreaCommand(d, mvcmd::Bof, [](W& w, S&, R&) { return YN(w.areas.Bof()); });
  AddAreaCommand(d, mvcmd::Eof, [](W& w, S&, R&) { return YN(w.areas.Eof()); });
  AddAreaCommand(d, mvcmd::Commit, [](W& w, S&, R&) {
    w.areas.Commit();
    return std::string(kDone);
  });
  AddAreaCommand(d, mvcmd::Delete, [](W& w, S&, R&) {
    w.areas.Delete();
    return std::string(kDone);
  });
  AddAreaCommand(d, mvcmd::Deleted, [](W& w, S&, R&) { return YN(w.areas.Deleted()); });
  AddAreaCommand(d, mvcmd::Go, [](W& w, S&, R& r) {
    return Hex(static_cast<uint32_t>(w.areas.Go(ParseHexField(r.payload, 8, "Go"))), 8);
  });
  AddAreaCommand(d, mvcmd::GoBottom, [](W& w, S&, R&) {
    w.areas.GoBottom();
    return std::string(kDone);
  });
  AddAreaCommand(d, mvcmd::GoTop, [](W& w, S&, R&) {
    w.areas.GoTop();
    return std::string(kDone);
  });
  AddAreaCommand(d, mvcmd::Skip, [](W& w, S&, R& r) {
    w.areas.Skip(static_cast<int32_t>(ParseHexField(r.payload, 8, "Skip")));
    return std::string(kDone);
  });
  AddAreaCommand(d, mvcmd::RecNo, [](W& w, S&, R&) { return Dec(static_cast<uint32_t>(w.areas.RecNo())); });
  AddAreaCommand(d, mvcmd::RecCount, [](W& w, S&, R&) { return Dec(static_cast<uint32_t>(w.areas.RecCount())); });
  AddAreaCommand(d, mvcmd::Count, [](W& w, S&, R&) { return Dec(w.areas.Count()); });
  AddAreaCommand(d, mvcmd::Rlock, [](W& w, S&, R& r) { return YN(w.areas.Rlock(ParseDec(r.payload, "Rlock"))); });
  AddAreaCommand(d, mvcmd::Unlock, [](W& w, S&, R& r) {
    uint32_t recno = ParseHexField(r.payload, 8, "Unlock");
    if (recno > 0x7FFFFFFF) throw ERefused("Unlock: no record " + std::to_string(recno));
    w.areas.Unlock(static_cast<int>(recno));
    return std::string(kDone);
  });
  AddAreaCommand(d, mvcmd::GetRecord, [](W& w, S&, R&) { return w.areas.GetRecord(); });
  // A record is at most 65,535 bytes; the check against the table's own size comes first.
  AddAreaCommand(d, mvcmd::PutRecord, PutRecord, true, 65535);
  AddAreaCommand(d, mvcmd::Replace, Replace, true);
  AddAreaCommand(d, mvcmd::GetBlob, [](W& w, S&, R& r) { return w.areas.GetBlob(r.payload); });
  AddAreaCommand(d, mvcmd::GetBlobLength, [](W& w, S&, R& r) { return Dec(w.areas.GetBlobLength(r.payload)); });
  AddAreaCommand(d, mvcmd::PutBlob, PutBlob, true);
  AddAreaCommand(d, mvcmd::PutBlobResult, PutBlobResult);
}

}  // namespace tavrik::server
