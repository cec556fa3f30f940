// Framing apart from parsing: takes whole request headers and payload bytes off a channel
// through one receive buffer, never more than the frame declares, and never allocating more
// than has arrived. What the header means is the session's business (net/MvFrame.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "server/Channel.h"

namespace tavrik::server {

class TFrameReader {
 public:
  TFrameReader(TChannel& channel, std::chrono::milliseconds timeout);

  // The next 20 header bytes. False when the peer closed cleanly between frames; EClientGone
  // when it closes or stays silent for the time-out mid-header (or silent before it).
  bool ReadHeader(std::string& header);
  // Up to `size` bytes (at least 1) of the stream; EClientGone on a close or a time-out.
  size_t Read(char* buffer, size_t size);

 private:
  TChannel& channel_;
  std::chrono::milliseconds timeout_;
  std::vector<char> buffer_;
  size_t begin_ = 0, end_ = 0;
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
