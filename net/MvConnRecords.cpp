// Record and blob transfer, field values by type code, the table structure and the batch read of
// records: the commands whose requests or replies are streams.
#include <cstring>

#include "net/MvConn.h"
#include "net/MvConnCodec.h"
#include "proto/MvPayloads.h"

namespace tavrik {

using namespace mvcodec;

namespace {
// Empties the outgoing stream when a command leaves, however it leaves.
class OutStreamReset {
 public:
  explicit OutStreamReset(TMemoryStream& stream) : stream_(stream) {}
  ~OutStreamReset() { stream_.Clear(); }
  OutStreamReset(const OutStreamReset&) = delete;
  OutStreamReset& operator=(const OutStreamReset&) = delete;

 private:
  TMemoryStream& stream_;
};
}  // namespace

int TMarvekConnection::GetRecord(void* buffer, int record_size) {
  return Trap("GetRecord", 0, [&] {
    if (record_size < 0 || (record_size > 0 && !buffer)) throw EMvReplyError("No record buffer");
    TMemoryStream* stream = ClientStreamReceive(mvcmd::GetRecord.code, "");
    if (!stream) throw EMvReplyError("No record");
    stream->ReadBuffer(buffer, record_size);  // a reply shorter than the record raises
    return record_size;
  });
}

void TMarvekConnection::PutRecord(const void* buffer, int record_size) {
  TrapVoid("PutRecord", [&] {
    OutStreamReset reset(out_stream_);
    if (record_size < 0 || (record_size > 0 && !buffer)) throw EMvReplyError("No record buffer");
    out_stream_.Clear();
    out_stream_.WriteBuffer(buffer, record_size);
    out_stream_.SetPosition(0);
    // No reply is a failure: the connection was lost, or the server refused the record.
    if (!ClientStreamSendReceive(mvcmd::PutRecord.code)) throw EMvReplyError("Record not stored");
  });
}

int TMarvekConnection::GetBlob(const std::string& field, void* buffer, int size) {
  return Trap("GetBlob", 0, [&] {
    TMemoryStream* stream = ClientStreamReceive(mvcmd::GetBlob.code, field);
    if (!stream) throw EMvReplyError("No blob");
    const int64_t length = stream->Size();
    // The caller sized its buffer from GetBlobLength; a longer reply must not run past it.
    if (length > size || !buffer) throw EMvReplyError("Blob larger than its buffer");
    stream->ReadBuffer(buffer, length);
    return static_cast<int>(length);
  });
}

// PutBlob, then PutBlobResult, whose reply (hexadecimal) is the result (proto/MvPayloads.h).
int TMarvekConnection::PutBlob(const std::string& field, const void* data, int length) {
  return Trap("PutBlob", 0, [&] {
    OutStreamReset reset(out_stream_);
    if (length < 0 || (length > 0 && !data)) throw EMvReplyError("No blob data");
    out_stream_.Clear();
    out_stream_.WriteString(BuildBlobHeader(field, static_cast<uint32_t>(length)));
    out_stream_.WriteBuffer(data, length);
    out_stream_.SetPosition(0);
    ClientStreamSendReceive(mvcmd::PutBlob.code);
    return static_cast<int>(HexReply(Xmit(mvcmd::PutBlobResult, "")));
  });
}

// Replace: the header and the value bytes its type code calls for (proto/MvPayloads.h).
void TMarvekConnection::Replace(const std::string& field, int type_code, const void* value) {
  const int value_size = ReplaceValueSize(type_code);
  if (value_size != 0 && !value) {
    // Sending no bytes where a value belongs would store something nobody asked for.
    ReportError("MarvekConnection.Replace", "Replace");
    return;
  }
  const size_t size = value_size == kMvValueText ? std::strlen(static_cast<const char*>(value))
                                                 : static_cast<size_t>(value_size);
  OutStreamReset reset(out_stream_);
  out_stream_.Clear();
  out_stream_.WriteString(BuildReplaceHeader(field, type_code));
  out_stream_.WriteBuffer(value, static_cast<int64_t>(size));
  out_stream_.SetPosition(0);
  // A value that was never stored must not pass for one that was.
  if (!ClientStreamSendReceive(mvcmd::Replace.code)) ReportError("MarvekConnection.Replace", "Replace");
}

TMemoryStream* TMarvekConnection::GetStructure() {
  return Trap("GetStructure", static_cast<TMemoryStream*>(nullptr), [&] { return ClientStreamReceive(mvcmd::GetStructure.code, ""); });
}

// The batch read (proto/MvTraverse.h).
int TMarvekConnection::TraverseTable(const TMvTraverseRequest& request, int record_size,
                                     std::vector<TMvFetchSlot>& slots, int& count) {
  try {
    TMemoryStream* stream = ClientStreamReceive(mvcmd::TraverseTable.code, BuildTraverseRequest(request));
    if (!stream) return 0;
    std::vector<TMvFetchSlot> entries = DecodeTraverseReply(stream->ToString(), record_size, request.FetchCount);
    if (slots.size() < entries.size()) slots.resize(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      slots[i].Result = entries[i].Result;
      slots[i].RecNo = entries[i].RecNo;
      slots[i].Position = entries[i].Position;
      slots[i].Record.swap(entries[i].Record);
    }
    count = static_cast<int>(entries.size());
    return entries.empty() ? 0 : entries.back().Result;
  } catch (const std::exception&) {
    count = 0;
    ReportError("MarvekConnection.TraverseTable", "Make sure DatabaseName is set to a valid alias.");
    return 0;
  }
}

}  // namespace tavrik
