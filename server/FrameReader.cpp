#include "server/FrameReader.h"

#include <algorithm>
#include <cstring>

#include "net/MvFrame.h"

namespace tavrik::server {

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

TFrameReader::TFrameReader(TChannel& channel, std::chrono::milliseconds timeout)
    : channel_(channel), timeout_(timeout), buffer_(kBufferSize) {}

bool TFrameReader::ReadHeader(std::string& header) {
  header.clear();
  while (header.size() < kFrameHeaderSize) {
    if (begin_ == end_) {
      begin_ = end_ = 0;
      end_ = channel_.ReadSome(buffer_.data(), buffer_.size(), timeout_);
      if (end_ == 0) {
        if (header.empty()) return false;
        throw EClientGone("closed the connection inside a frame header");
      }
    }
    size_t take = std::min(end_ - begin_, kFrameHeaderSize - header.size());
    header.append(buffer_.data() + begin_, take);
    begin_ += take;
  }
  return true;
}

size_t TFrameReader::Read(char* buffer, size_t size) {
  if (size == 0) return 0;
  if (begin_ == end_) {
    // A large read goes straight to the caller's buffer: an upload is copied once, not twice.
    if (size >= buffer_.size()) {
      size_t n = channel_.ReadSome(buffer, size, timeout_);
      if (n == 0) throw EClientGone("closed the connection inside a payload");
      return n;
    }
    begin_ = 0;
    end_ = channel_.ReadSome(buffer_.data(), buffer_.size(), timeout_);
    if (end_ == 0) throw EClientGone("closed the connection inside a payload");
  }
  size_t take = std::min(end_ - begin_, size);
  std::memcpy(buffer, buffer_.data() + begin_, take);
  begin_ += take;
  return take;
}

size_t TPayloadReader::Read(char* buffer, size_t size) {
  size_t want = static_cast<size_t>(std::min<uint64_t>(size, remaining_));
  if (want == 0) return 0;
  size_t n = frames_.Read(buffer, want);
  remaining_ -= n;
  return n;
}

void TPayloadReader::ReadExact(char* buffer, size_t size) {
  if (size > remaining_) throw ERequestTooShort("request shorter than its fields");
  size_t done = 0;
  while (done < size) done += Read(buffer + done, size - done);
}

std::string TPayloadReader::ReadAll() {
  std::string text;
  char chunk[16 * 1024];
  while (remaining_ > 0) {
    size_t n = Read(chunk, sizeof chunk);
    text.append(chunk, n);
  }
  return text;
}

void TPayloadReader::Skip() {
  char chunk[16 * 1024];
  while (remaining_ > 0) Read(chunk, sizeof chunk);
}

}  // namespace tavrik::server
