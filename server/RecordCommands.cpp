#include "server/RecordCommands.h"

#include "server/WorkAreaCodec.h"
#include "server/WorkAreaSession.h"

namespace tavrik::server {

namespace {

using namespace wire;

uint32_t HexArgument(const TRequest& r, std::string_view what) {
  if (r.payload.size() != 8) throw ERefused(std::string(what) + ": 8 hexadecimal digits expected");
  return ParseHex(r.payload, what);
}

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
  std::string head = ReadBody(r, r.length < 14 ? static_cast<size_t>(r.length) : 14);
  TFieldReader f(head);
  const std::string field = f.Padded(10, "Replace field name");
  const int type = static_cast<int>(f.Hex(4, "Replace type code"));
  w.areas.CurrentArea().FieldByName(field);  // an unknown field fails before its value is read
  w.areas.Replace(field, type, ReadBody(r, static_cast<size_t>(r.body->Remaining())));
  return kDone;
}

std::string PutBlob(TWorkAreaSession& w, TSessionState&, TRequest& r) {
  w.blob_bytes.reset();
  std::string head = ReadBody(r, r.length < 18 ? static_cast<size_t>(r.length) : 18);
  TFieldReader f(head);
  const std::string field = f.Padded(10, "PutBlob field name");
  const uint32_t length = f.Hex(8, "PutBlob length");
  if (length != r.body->Remaining())
    throw ERefused("PutBlob announces " + std::to_string(length) + " bytes and sends " +
                   std::to_string(r.body->Remaining()));
  w.areas.CurrentArea().FieldByName(field);
  w.blob_bytes = w.areas.PutBlob(field, ReadBody(r, length));
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
  AddAreaCommand(d, "0473", "AppendBlank", [](W& w, S&, R&) { return Hex(static_cast<uint32_t>(w.areas.AppendBlank()), 8); });
  AddAreaCommand(d, "0476", "Bof", [](W& w, S&, R&) { return YN(w.areas.Bof()); });
  AddAreaCommand(d, "0479", "Eof", [](W& w, S&, R&) { return YN(w.areas.Eof()); });
  AddAreaCommand(d, "0511", "Commit", [](W& w, S&, R&) {
    w.areas.Commit();
    return std::string(kDone);
  });
  AddAreaCommand(d, "0477", "Delete", [](W& w, S&, R&) {
    w.areas.Delete();
    return std::string(kDone);
  });
  AddAreaCommand(d, "0478", "Deleted", [](W& w, S&, R&) { return YN(w.areas.Deleted()); });
  AddAreaCommand(d, "0493", "Go", [](W& w, S&, R& r) {
    return Hex(static_cast<uint32_t>(w.areas.Go(HexArgument(r, "Go"))), 8);
  });
  AddAreaCommand(d, "0494", "GoBottom", [](W& w, S&, R&) {
    w.areas.GoBottom();
    return std::string(kDone);
  });
  AddAreaCommand(d, "0495", "GoTop", [](W& w, S&, R&) {
    w.areas.GoTop();
    return std::string(kDone);
  });
  AddAreaCommand(d, "0509", "Skip", [](W& w, S&, R& r) {
    w.areas.Skip(static_cast<int32_t>(HexArgument(r, "Skip")));
    return std::string(kDone);
  });
  AddAreaCommand(d, "0500", "RecNo", [](W& w, S&, R&) { return Dec(static_cast<uint32_t>(w.areas.RecNo())); });
  AddAreaCommand(d, "0470", "RecCount", [](W& w, S&, R&) { return Dec(static_cast<uint32_t>(w.areas.RecCount())); });
  AddAreaCommand(d, "0516", "Count", [](W& w, S&, R&) { return Dec(w.areas.Count()); });
  AddAreaCommand(d, "0502", "Rlock", [](W& w, S&, R& r) { return YN(w.areas.Rlock(ParseDec(r.payload, "Rlock"))); });
  AddAreaCommand(d, "0510", "Unlock", [](W& w, S&, R& r) {
    uint32_t recno = HexArgument(r, "Unlock");
    if (recno > 0x7FFFFFFF) throw ERefused("Unlock: no record " + std::to_string(recno));
    w.areas.Unlock(static_cast<int>(recno));
    return std::string(kDone);
  });
  AddAreaCommand(d, "0515", "GetRecord", [](W& w, S&, R&) { return w.areas.GetRecord(); });
  // A record is at most 65,535 bytes; the check against the table's own size comes first.
  AddAreaCommand(d, "0499", "PutRecord", PutRecord, true, 65535);
  AddAreaCommand(d, "0501", "Replace", Replace, true);
  AddAreaCommand(d, "0480", "GetBlob", [](W& w, S&, R& r) { return w.areas.GetBlob(r.payload); });
  AddAreaCommand(d, "0481", "GetBlobLength", [](W& w, S&, R& r) { return Dec(w.areas.GetBlobLength(r.payload)); });
  AddAreaCommand(d, "0498", "PutBlob", PutBlob, true);
  AddAreaCommand(d, "0624", "PutBlobResult", PutBlobResult);
}

}  // namespace tavrik::server
