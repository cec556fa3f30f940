// The socket chain under the Marvek connection: TMvSock owns the socket, TMvSockSocket adds the
// receive buffer, sending, stream transfer and progress events, TMvSockClient adds the server
// address, the user and password and connecting. Blocking POSIX sockets; readiness by poll().
//
// Ownership: each object owns its socket descriptor (closed on Disconnect and on destruction) and
// its receive buffer. Streams passed to WriteStream/ReadStream stay the caller's.
// Threads: all calls on the thread that owns the object; nothing is locked.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/Component.h"
#include "core/Streams.h"
#include "net/MvWinErrors.h"

namespace tavrik {

// Status of a server progress notice; the server sends only the one of ordinal 1.
enum TxProgressStatus : uint8_t { txsIdle = 0, txsProgress = 1 };

using TStringEvent = std::function<void(TComponent* sender, const std::string& sOut)>;
using TReadProgressEvent = std::function<void(TComponent* sender, int64_t min, int64_t max, int64_t position)>;
using TWriteProgressEvent = std::function<void(TComponent* sender, int64_t min, int64_t max, int64_t position)>;
using TxProgressEvent =
    std::function<void(TComponent* sender, TxProgressStatus status, int64_t min, int64_t max, int64_t position)>;

class TMvSock : public TComponent {
 public:
  explicit TMvSock(TComponent* owner = nullptr) : TComponent(owner) {}
  ~TMvSock() override;

  int Port() const { return port_; }
  void SetPort(int port) { port_ = port; }
  bool Active() const { return GetActive(); }
  int Handle() const { return socket_; }

  virtual void CloseSocket();
  virtual bool GetActive() const { return socket_ != -1; }
  // Closes the socket; never raises.
  virtual void Disconnect();

 protected:
  // A new socket of `type` (SOCK_STREAM) in the handle; raises EMvSockInvalidSocket.
  virtual void AllocateSocket(int type);
  // Calls OnStatus (TMvSockSocket); nothing here.
  virtual void DoStatus(const std::string& text) { (void)text; }

  int socket_ = -1;

 private:
  int port_ = 0;
};

class TMvSockSocket : public TMvSock {
 public:
  explicit TMvSockSocket(TComponent* owner = nullptr);

  // The growth step of the receive buffer and the piece size of ReadStream; changes only while
  // the socket is closed (and not while loading or designing), and resizes the buffer.
  int BufferSize() const { return buffer_size_; }
  void SetBufferSize(int size);
  int BufferedCount() const { return static_cast<int>(fill_index_ - 1); }
  size_t BufferCapacity() const { return buffer_.size(); }
  bool ClosedGracefully() const { return closed_gracefully_; }

  // Longest wait, in milliseconds, for one receive or one send once a frame is under way
  // (0 = none); a wait that runs out is Socket Error #10060 and closes the socket, since the
  // frame stream can no longer be trusted. Applied at once to an open socket.
  int IoTimeLimit() const { return io_time_limit_; }
  void SetIoTimeLimit(int milliseconds);

  // Sends every byte of `text`; returns the byte count of the last send() (0 for an empty
  // text, which sends nothing).
  int WriteString(const std::string& text);
  // Sends `header`, then `stream` from position 0 in pieces of at most 8,192 bytes with
  // OnWriteProgress after each; returns the number of stream bytes sent.
  int64_t WriteStream(const std::string& header, TStream& stream);
  // Exactly `count` bytes, receiving until enough are buffered; the surplus stays buffered.
  // A count of 0 performs one receive and returns nothing.
  virtual std::string ReadBytes(int64_t count);
  // Exactly `count` bytes into `stream` from position 0, then the position is reset to 0.
  void ReadStream(TStream& stream, int64_t count);
  // True at once when bytes are buffered, else when the socket turns readable within
  // `milliseconds` (-1 = no limit). A peer that hung up or reset counts as readable: the next
  // read reports it.
  bool Readable(int milliseconds);

  // Progress bookkeeping of a transfer: stores the byte count and reports each new kilobyte.
  virtual void DoWork(int64_t count);

  TStringEvent OnStatus;
  TReadProgressEvent OnReadProgress;
  TWriteProgressEvent OnWriteProgress;
  TxProgressEvent OnServerProgress;

 protected:
  void DoStatus(const std::string& text) override;
  void AllocateSocket(int type) override;
  // Receives one chunk into the buffer, growing or shrinking it first.
  void ReceiveChunk();
  // Takes `count` bytes off the front of the buffer; raises "Not enough data in buffer.".
  std::string TakeBuffered(int64_t count);
  void EmptyBuffer() { fill_index_ = 1; }
  void BeginWork(int64_t total);
  void EndWork();
  // The transfer progress callback that DoWork feeds; nothing in this system listens.
  virtual void WorkProgress(int64_t count, int64_t total) { (void)count, (void)total; }
  // Raises EMvSockSocketError for `error_code`, closing the socket first when the failure leaves
  // the stream unusable (reset, shut down, timed out).
  [[noreturn]] void RaiseSocketError(int error_code);

 private:
  static constexpr int64_t kWorkFinishing = -1;
  static constexpr int64_t kWorkNone = -2;

  void ApplyIoTimeLimit();

  std::string buffer_;     // capacity = size()
  size_t fill_index_ = 1;  // 1-based position of the next free byte
  int buffer_size_ = 8192;
  int io_time_limit_ = 0;
  bool closed_gracefully_ = false;
  int64_t work_total_ = kWorkNone;
  int64_t work_count_ = 0;
  int64_t work_last_kb_ = 0;
};

class TMvSockClient : public TMvSockSocket {
 public:
  explicit TMvSockClient(TComponent* owner = nullptr) : TMvSockSocket(owner) {}

  const std::string& Host() const { return host_; }
  void SetHost(std::string host) { host_ = std::move(host); }
  const std::string& User() const { return user_; }
  // Stored upper-cased.
  void SetUser(std::string_view user);
  const std::string& Password() const { return password_; }
  void SetPassword(std::string password) { password_ = std::move(password); }
  // The dotted address used by the last Connect; empty after Disconnect.
  const std::string& ResolvedAddress() const { return resolved_address_; }

  // Opens the connection to Host:Port. Raises EMvSockAlreadyConnected, EMvSockInvalidSocket or
  // EMvSockSocketError; a failure leaves the component disconnected.
  virtual void Connect();
  void Disconnect() override;

 protected:
  // The IPv4 address (network byte order) of a host name that is neither LOCALHOST nor a dotted
  // address, asked of the name service; raises EMvSockSocketError when the look-up fails.
  // Tests replace it to see whether a look-up happens at all.
  virtual uint32_t LookUpHost(const std::string& name);

 private:
  uint32_t ResolveHost();

  std::string host_;
  std::string user_;
  std::string password_;
  std::string resolved_address_;
};

}  // namespace tavrik
