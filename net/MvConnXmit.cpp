// The request/reply routines of TMarvekConnection and the reading of reply frames with the
// server notices that may come before a reply (frames in proto/MvFrame.h, notice payloads in
// proto/MvPayloads.h).
#include <chrono>
#include <thread>

#include "net/MvConn.h"
#include "proto/MvFrame.h"
#include "proto/MvPayloads.h"

namespace tavrik {

std::string TMarvekConnection::ClientXmit(const std::string& code, const std::string& payload, bool wait) {
  PollTimerOff();
  if (!Active()) {
    // The misspelt command name is the one callers have always seen.
    ReportError("MarvekConection.ClientXmit(" + code + ")", "Not connected");
    PollTimerOn();
    return std::string();
  }
  try {
    WriteString(BuildRequestHeader(static_cast<uint32_t>(payload.size()), code) + payload);
  } catch (const std::exception&) {
    SetActive(false);
    ReportError("MarvekConnection.ClientXmit", "Connection lost");
    return std::string();
  }
  std::string result;
  if (wait && FillReadStream(false) > 0) {
    try {
      // Kept whole however long: the reply grows with the text rather than being cut to a buffer.
      reply_ = in_stream_.ToString();
      result = reply_;
    } catch (const std::exception&) {
      ReportError("MarvekConection.ClientXmit", "Connection lost");
    }
  }
  PollTimerOn();
  return result;
}

TMemoryStream* TMarvekConnection::ClientStreamReceive(const std::string& code, const std::string& payload) {
  PollTimerOff();
  in_stream_.Clear();
  if (!Active()) return nullptr;
  try {
    WriteString(BuildRequestHeader(static_cast<uint32_t>(payload.size()), code) + payload);
  } catch (const std::exception&) {
    SetActive(false);
    ReportError("MarvekConnection.ClientStreamReceive", "Connection lost");
    return nullptr;
  }
  TMemoryStream* result = nullptr;
  if (FillReadStream(false) > 0) {
    in_stream_.SetPosition(0);
    result = &in_stream_;
  }
  PollTimerOn();
  return result;
}

TMemoryStream* TMarvekConnection::ClientStreamSendReceive(const std::string& code) {
  return StreamSendReceive(code, out_stream_);
}

TMemoryStream* TMarvekConnection::StreamSendReceive(const std::string& code, TStream& body) {
  PollTimerOff();
  TMemoryStream* result = nullptr;
  try {
    int64_t sent = 0;
    const int64_t size = body.Size();
    if (Active() && size > 0) {
      try {
        sent = WriteStream(BuildRequestHeader(static_cast<uint32_t>(size), code), body);
      } catch (...) {
        // A request cut short can be neither finished nor taken back: the server would read
        // whatever came next as the rest of it.
        Disconnect();
        throw;
      }
    }
    // Await a reply only to a request that really went out: an empty stream sends nothing, and
    // waiting for an answer to nothing could only end in a time-out.
    if (Active() && sent > 0 && sent == size) {
      in_stream_.Clear();
      if (FillReadStream(false) > 0) {
        in_stream_.SetPosition(0);
        result = &in_stream_;
      }
    }
  } catch (const std::exception&) {
    ReportError("MarvekConnection.ClientStreamSendReceive", "Connection lost");
  }
  PollTimerOn();
  return result;
}

int64_t TMarvekConnection::FillReadStream(bool peek) {
  PollTimerOff();
  int64_t result = 0;
  if (Active() && (!peek || Readable(1))) {
    try {
      for (;;) {
        in_stream_.Clear();
        if (time_out_ != 0 && !Readable(time_out_)) {
          ReportError("MarvekConnection.FillReadStream", "Time out");
          SetActive(false);
          return 0;
        }
        const std::string header = ReadBytes(kFrameHeaderSize);
        const int64_t length = ReplyPayloadLength(header);
        if (length > 0) ReadStream(in_stream_, length);
        const std::string code = ReplyCode(header);
        if (code == kNoticeShutdown) {
          std::this_thread::sleep_for(std::chrono::milliseconds(shutdown_wait_));
          Disconnect();
          if (OnServerMessage) OnServerMessage(this, "Server shutdown");
          return -1;
        }
        if (code == kNoticeStream) {
          if (length > 0 && OnServerStream) OnServerStream(this, in_stream_);
        } else if (code == kNoticeMessage) {
          if (length > 0 && OnServerMessage) OnServerMessage(this, in_stream_.ToString());
        } else if (code == kNoticeProgress) {
          if (length > 0) {
            const TMvProgress p = DecodeProgress(in_stream_.ToString());
            if (OnServerProgress) OnServerProgress(this, txsProgress, p.min, p.max, p.position);
          }
        } else {
          result = length;
          break;
        }
        if (peek) {
          result = length;
          break;
        }
      }
    } catch (const std::exception&) {
      SetActive(false);
      ReportError("MarvekConnection.FillReadStream", "Connection lost");
      // A frame cut short is no reply: handing on the part that arrived would let a command
      // decode a fragment as if it were the answer.
      result = 0;
    }
  }
  PollTimerOn();
  return result;
}

}  // namespace tavrik
