#include "server/FrameReader.h"

#include <algorithm>
#include <cstring>

#include "proto/MvFrame.h"

namespace tavrik::server {

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

TFrameReader::TFrameReader(TChannel& channel) : channel_(channel), buffer_(kBufferSize) {}

bool TFrameReader::AwaitFrame(std::chrono::milliseconds wait) {
  if (begin_ != end_) return true;
  begin_ = 0;
  end_ = channel_.ReadSome(buffer_.data(), buffer_.size(), std::max(wait, std::chrono::milliseconds(0)));
  return end_ != 0;
}

size_t TFrameReader::Receive(char* into, size_t size, const char* where) {
  std::chrono::milliseconds wait = frame_time_;
  if (!streaming_) {
    wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - TClock::now());
    if (wait.count() <= 0) wait = std::chrono::milliseconds(0);
  }
  size_t n = 0;
  try {
    n = channel_.ReadSome(into, size, wait);
  } catch (const EClientTimeout&) {
    if (streaming_) throw EClientGone("silent for " + std::to_string(frame_time_.count()) + " ms inside a payload");
    throw EClientGone("request not whole within " + std::to_string(frame_time_.count()) + " ms");
  }
  if (n == 0) throw EClientGone(std::string("closed the connection inside a ") + where);
  return n;
}

void TFrameReader::ReadHeader(std::string& header, std::chrono::milliseconds frame_time) {
  frame_time_ = frame_time;
  deadline_ = TClock::now() + frame_time;
  streaming_ = false;
  header.clear();
  while (header.size() < kFrameHeaderSize) {
    if (begin_ == end_) {
      begin_ = 0;
      end_ = Receive(buffer_.data(), buffer_.size(), "frame header");
    }
    size_t take = std::min(end_ - begin_, kFrameHeaderSize - header.size());
    header.append(buffer_.data() + begin_, take);
    begin_ += take;
  }
}

size_t TFrameReader::Read(char* buffer, size_t size) {
  if (size == 0) return 0;
  if (begin_ == end_) {
    // A large read goes straight to the caller's buffer: an upload is copied once, not twice.
    if (size >= buffer_.size()) return Receive(buffer, size, "payload");
    begin_ = 0;
    end_ = Receive(buffer_.data(), buffer_.size(), "payload");
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
