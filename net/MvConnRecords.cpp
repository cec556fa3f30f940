// Record and blob transfer, field values by type code, the table structure and the batch read of
// records: the commands whose requests or replies are streams.
#include <cstring>

#include "net/MvConn.h"
#include "net/MvConnCodec.h"

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
    TMemoryStream* stream = ClientStreamReceive("0515", "");
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
    if (!ClientStreamSendReceive("0499")) throw EMvReplyError("Record not stored");
  });
}

int TMarvekConnection::GetBlob(const std::string& field, void* buffer, int size) {
  return Trap("GetBlob", 0, [&] {
    TMemoryStream* stream = ClientStreamReceive("0480", field);
    if (!stream) throw EMvReplyError("No blob");
    const int64_t length = stream->Size();
    // The caller sized its buffer from GetBlobLength; a longer reply must not run past it.
    if (length > size || !buffer) throw EMvReplyError("Blob larger than its buffer");
    stream->ReadBuffer(buffer, length);
    return static_cast<int>(length);
  });
}

// PutBlob stream ("0498"), then "0624" with no payload, whose reply (hexadecimal) is the result:
//   OFFSET SIZE CONTENT
//   0      10   field name, blank-padded (a longer name whole, moving what follows)
//   10     8    data length, hexadecimal
//   18     n    the data bytes
int TMarvekConnection::PutBlob(const std::string& field, const void* data, int length) {
  return Trap("PutBlob", 0, [&] {
    OutStreamReset reset(out_stream_);
    if (length < 0 || (length > 0 && !data)) throw EMvReplyError("No blob data");
    out_stream_.Clear();
    out_stream_.WriteString(Pad(field, 10) + Hex(length, 8));
    out_stream_.WriteBuffer(data, length);
    out_stream_.SetPosition(0);
    ClientStreamSendReceive("0498");
    return static_cast<int>(HexReply(ClientXmit("0624", "", true)));
  });
}

// Replace stream ("0501"):
//   OFFSET SIZE CONTENT
//   0      10   field name, blank-padded
//   10     4    value type code, hexadecimal
//   14     n    value bytes by type code: 1, 2, 32: 4 bytes as in memory; 8: 8 bytes;
//               128: 1 byte; 1024, 1025, 1056, 3072: the text without its NUL; others: none
void TMarvekConnection::Replace(const std::string& field, int type_code, const void* value) {
  const bool text = type_code == 1024 || type_code == 1025 || type_code == 1056 || type_code == 3072;
  size_t size = 0;
  if (type_code == 1 || type_code == 2 || type_code == 32) size = 4;
  if (type_code == 8) size = 8;
  if (type_code == 128) size = 1;
  if ((text || size > 0) && !value) {
    // Sending no bytes where a value belongs would store something nobody asked for.
    ReportError("MarvekConnection.Replace", "Replace");
    return;
  }
  if (text) size = std::strlen(static_cast<const char*>(value));
  OutStreamReset reset(out_stream_);
  out_stream_.Clear();
  out_stream_.WriteString(Pad(field, 10) + Hex(type_code, 4));
  out_stream_.WriteBuffer(value, static_cast<int64_t>(size));
  out_stream_.SetPosition(0);
  // A value that was never stored must not pass for one that was.
  if (!ClientStreamSendReceive("0501")) ReportError("MarvekConnection.Replace", "Replace");
}

TMemoryStream* TMarvekConnection::GetStructure() {
  return Trap("GetStructure", static_cast<TMemoryStream*>(nullptr), [&] { return ClientStreamReceive("0581", ""); });
}

// TraverseTable request ("0626"):
//   #  SIZE CONTENT
//   1  1    a move to the first record is pending, Y/N
//   2  1    a move to the last record is pending, Y/N
//   3  dec  end-of-file action
//   4  dec  direction: 0 current, 1 next, 2 prior
//   5  dec  direction of the previous fetch
//   6  8    fetch count, hexadecimal
//   7  8    current record number, hexadecimal
//
// Reply stream:
//   OFFSET SIZE CONTENT
//   0      8    number of records N, hexadecimal (at most the fetch count)
//   8      ...  N entries of 17 + record size bytes, and nothing after them:
//     0    1    fetch result, decimal: 0 record delivered, 1 beginning, 2 end of table
//     1    8    record number, hexadecimal
//     9    8    position value, hexadecimal
//     17   rs   the raw record
int TMarvekConnection::TraverseTable(const TMvTraverseRequest& request, int record_size,
                                     std::vector<TMvFetchSlot>& slots, int& count) {
  try {
    const std::string payload = YN(request.GoTop) + YN(request.GoBottom) + Dec(request.EofAction) +
                                Dec(request.Direction) + Dec(request.PreviousDirection) +
                                Hex(request.FetchCount, 8) + Hex(request.RecNo, 8);
    TMemoryStream* stream = ClientStreamReceive("0626", payload);
    if (!stream) return 0;
    const std::string data = stream->ToString();
    if (data.size() < 8 || record_size < 0) throw EMvReplyError("Short TraverseTable reply");
    const int32_t n = HexReply(std::string_view(data).substr(0, 8));
    const size_t entry_size = 17 + static_cast<size_t>(record_size);
    if (n < 0 || n > request.FetchCount || data.size() != 8 + static_cast<size_t>(n) * entry_size)
      throw EMvReplyError("TraverseTable reply does not match its record count");
    std::vector<TMvFetchSlot> entries(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      std::string_view e = std::string_view(data).substr(8 + static_cast<size_t>(i) * entry_size, entry_size);
      if (e[0] < '0' || e[0] > '9') throw EMvReplyError("Invalid fetch result");
      entries[i].Result = e[0] - '0';
      entries[i].RecNo = HexReply(e.substr(1, 8));
      entries[i].Position = HexReply(e.substr(9, 8));
      entries[i].Record.assign(e.substr(17));
    }
    if (slots.size() < entries.size()) slots.resize(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      slots[i].Result = entries[i].Result;
      slots[i].RecNo = entries[i].RecNo;
      slots[i].Position = entries[i].Position;
      slots[i].Record.swap(entries[i].Record);
    }
    count = n;
    return n > 0 ? slots[static_cast<size_t>(n) - 1].Result : 0;
  } catch (const std::exception&) {
    count = 0;
    ReportError("MarvekConnection.TraverseTable", "Make sure DatabaseName is set to a valid alias.");
    return 0;
  }
}

}  // namespace tavrik
