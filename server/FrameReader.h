// Framing apart from parsing: takes whole request headers and payload bytes off a channel
// through one receive buffer, never more than the frame declares, and never allocating more
// than has arrived. What the header means is the session's business (proto/MvFrame.h).
//
// Time limits: the wait for a frame's first byte is the caller's to choose; from that byte on the
// frame has a deadline of its own, so a client trickling a byte now and then cannot hold on to
// its connection. A streamed payload (an upload) may instead take as long as it never falls
// silent for the frame time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "server/Channel.h"

namespace tavrik::server {

class TFrameReader {
 public:
  using TClock = std::chrono::steady_clock;

  explicit TFrameReader(TChannel& channel);

  // Waits at most `wait` for the first byte of the next frame. False when the peer closed
  // cleanly instead; EClientTimeout when nothing came.
  bool AwaitFrame(std::chrono::milliseconds wait);
  // The next 20 header bytes, after AwaitFrame. The frame, its payload included, must be whole
  // within `frame_time` of its first byte; EClientGone on a close or when the deadline passes.
  void ReadHeader(std::string& header, std::chrono::milliseconds frame_time);
  // Lifts the deadline for the rest of this frame: only a silence of the frame time ends it.
  void StreamPayload() { streaming_ = true; }
  // Up to `size` bytes (at least 1) of the stream; EClientGone on a close or a time-out.
  size_t Read(char* buffer, size_t size);

 private:
  // One receive into `into` within the frame's limits; EClientGone when the peer closed.
  size_t Receive(char* into, size_t size, const char* where);

  TChannel& channel_;
  std::vector<char> buffer_;
  size_t begin_ = 0, end_ = 0;
  std::chrono::milliseconds frame_time_{0};
  TClock::time_point deadline_;
  bool streaming_ = false;
};

// The payload of one request: exactly `length` bytes of the frame reader, read as they arrive.
class TPayloadReader {
 public:
  TPayloadReader(TFrameReader& frames, uint64_t length) : frames_(frames), remaining_(length) {}

  uint64_t Remaining() const { return remaining_; }
  // Up to min(size, Remaining()) bytes, at least 1 while any remain; 0 at the end.
  size_t Read(char* buffer, size_t size);
  // Exactly `size` bytes; EClientGone when the stream ends first. Raises ERequestTooShort when
  // the payload itself holds fewer.
  void ReadExact(char* buffer, size_t size);
  // All that remains, as text; grows with what arrives rather than with what is claimed.
  std::string ReadAll();
  // Reads and drops what remains, to keep the stream in step after a refused request.
  void Skip();

 private:
  TFrameReader& frames_;
  uint64_t remaining_;
};

TAVRIK_EXCEPTION(ERequestTooShort, Exception);

}  // namespace tavrik::server
