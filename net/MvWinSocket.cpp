// TMvSockSocket: the receive buffer, sending, stream transfer, readiness and progress.
#include <algorithm>
#include <cstring>

#include "net/MvWin.h"
#include "platform/Socket.h"

namespace tavrik {

namespace {
constexpr int64_t kWritePiece = 8192;
}  // namespace

TMvSockSocket::TMvSockSocket(TComponent* owner) : TMvSock(owner) { buffer_.assign(static_cast<size_t>(buffer_size_), '\0'); }

void TMvSockSocket::SetBufferSize(int size) {
  // A step below one byte would leave the buffer no room to receive into.
  if (size < 1) throw EMvSockException("Invalid buffer size.");
  if (Active() || IsLoading() || IsDesigning()) return;
  buffer_size_ = size;
  buffer_.assign(static_cast<size_t>(size), '\0');
  fill_index_ = 1;
}

void TMvSockSocket::SetIoTimeLimit(int milliseconds) {
  io_time_limit_ = std::max(milliseconds, 0);
  if (Active()) ApplyIoTimeLimit();
}

void TMvSockSocket::ApplyIoTimeLimit() { platform::SetIoTimeLimit(socket_, io_time_limit_); }

void TMvSockSocket::AllocateSocket(int type) {
  TMvSock::AllocateSocket(type);
  closed_gracefully_ = false;
  ApplyIoTimeLimit();
}

void TMvSockSocket::DoStatus(const std::string& text) {
  if (!OnStatus) return;
  try {
    OnStatus(this, text);
  } catch (const Exception& e) {
    RaiseWithSuffix(e, " occurred in user's OnStatus Event.");
  }
}

void TMvSockSocket::RaiseSocketError(int error_code) {
  if (error_code == kWsaConnReset || error_code == kWsaShutdown || error_code == kWsaTimedOut) Disconnect();
  throw EMvSockSocketError(error_code);
}

int TMvSockSocket::WriteString(const std::string& text) {
  if (text.empty()) return 0;
  if (!Active()) throw EMvSockClosedSocket("Socket is closed, cannot write");
  size_t sent = 0;
  platform::TSocketIo last;
  while (sent < text.size()) {
    last = platform::SendSome(socket_, text.data() + sent, text.size() - sent);
    if (last.error) RaiseSocketError(last.error);
    if (last.count == 0) {
      closed_gracefully_ = true;
      Disconnect();
      throw EMvSockConnClosedGraceful("Connection Closed Gracefully.");
    }
    sent += last.count;
  }
  return static_cast<int>(last.count);
}

int64_t TMvSockSocket::WriteStream(const std::string& header, TStream& stream) {
  if (WriteString(header) == 0) return 0;
  const int64_t size = stream.Size();
  BeginWork(size);
  try {
    if (OnWriteProgress) OnWriteProgress(this, 0, size, 0);
    stream.SetPosition(0);
    std::string piece;
    while (stream.Position() < size) {
      piece.resize(static_cast<size_t>(std::min(kWritePiece, size - stream.Position())));
      stream.ReadBuffer(piece.data(), static_cast<int64_t>(piece.size()));
      WriteString(piece);
      if (OnWriteProgress) OnWriteProgress(this, 0, 0, stream.Position());
    }
    const int64_t result = stream.Position();
    if (OnWriteProgress) OnWriteProgress(this, 0, 0, 0);
    EndWork();
    return result;
  } catch (...) {
    EndWork();
    throw;
  }
}

// Receive buffer layout: buffer_[0 .. fill_index_-2] holds the bytes not yet taken; the
// capacity is buffer_.size(). The free space is counted, as it always was, as capacity minus
// the 1-based fill index; the buffer grows when that falls below half the fill index, which
// also guarantees room for at least one byte.
void TMvSockSocket::ReceiveChunk() {
  const int64_t capacity = static_cast<int64_t>(buffer_.size());
  const int64_t fill = static_cast<int64_t>(fill_index_);
  const int64_t free_space = capacity - fill;
  if (2 * free_space < fill)
    buffer_.resize(static_cast<size_t>(capacity + buffer_size_), '\0');
  else if (free_space > 2 * int64_t{buffer_size_} && capacity > 2 * int64_t{buffer_size_})
    buffer_.resize(static_cast<size_t>(capacity - buffer_size_));

  platform::TSocketIo got = platform::ReceiveSome(socket_, buffer_.data() + fill_index_ - 1, buffer_.size() - fill_index_);
  if (got.error) RaiseSocketError(got.error);
  if (got.count == 0) closed_gracefully_ = true;
  if (got.count > 0) {
    DoWork(work_count_ + static_cast<int64_t>(got.count));
    fill_index_ += got.count;
  }
  if (closed_gracefully_) {
    Disconnect();
    throw EMvSockConnClosedGraceful("Connection Closed Gracefully.");
  }
}

std::string TMvSockSocket::TakeBuffered(int64_t count) {
  if (count < 0 || count > BufferedCount()) throw Exception("Not enough data in buffer.");
  std::string taken(buffer_.data(), static_cast<size_t>(count));
  const size_t rest = fill_index_ - 1 - static_cast<size_t>(count);
  std::memmove(buffer_.data(), buffer_.data() + count, rest);
  fill_index_ -= static_cast<size_t>(count);
  return taken;
}

std::string TMvSockSocket::ReadBytes(int64_t count) {
  if (count == 0) {
    ReceiveChunk();
    return std::string();
  }
  while (BufferedCount() < count) ReceiveChunk();
  return TakeBuffered(count);
}

void TMvSockSocket::ReadStream(TStream& stream, int64_t count) {
  stream.SetPosition(0);
  if (OnReadProgress) OnReadProgress(this, 0, count, 0);
  int64_t remaining = count;
  while (remaining > 0) {
    std::string piece = ReadBytes(std::min<int64_t>(buffer_size_, remaining));
    stream.WriteString(piece);
    remaining -= static_cast<int64_t>(piece.size());
    if (OnReadProgress) OnReadProgress(this, 0, 0, stream.Position());
  }
  if (OnReadProgress) OnReadProgress(this, 0, 0, 0);
  stream.SetPosition(0);
}

bool TMvSockSocket::Readable(int milliseconds) {
  if (BufferedCount() > 0) return true;
  if (!Active()) return false;
  return platform::WaitReadable(socket_, milliseconds);
}

void TMvSockSocket::BeginWork(int64_t total) {
  work_total_ = total;
  work_count_ = 0;
  work_last_kb_ = 0;
}

void TMvSockSocket::EndWork() {
  work_total_ = kWorkFinishing;
  DoWork(-1);
  work_total_ = kWorkNone;
}

void TMvSockSocket::DoWork(int64_t count) {
  work_count_ = count;
  if (work_total_ == kWorkNone) return;
  if (count != -1 && work_last_kb_ >= count / 1024) return;
  work_last_kb_ = count / 1024;
  WorkProgress(count, work_total_);
}

}  // namespace tavrik
