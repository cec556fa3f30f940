// The stand-in Marvek database server: the listener, one thread per client connection (at most
// MaxClients; when all are taken, a new connection displaces the oldest one that has not logged
// in, so that idle connections cannot keep a login out), the command table, and the notices an
// administrator sends to every client.
//
// Lifetime: Start locks the folders it serves, binds and begins accepting; Shutdown (or
// destruction) sends "0302" to every client, waits a moment for them to leave, closes what
// remains and joins every thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/Dispatcher.h"
#include "server/FolderLock.h"
#include "server/Listener.h"
#include "server/ServerContext.h"
#include "server/Session.h"

namespace tavrik::server {

// Every command family the server answers, on `context` (which must outlive the dispatcher).
TDispatcher MakeDispatcher(TServerContext& context);

class TServer {
 public:
  // Raises EServerConfig when the settings are out of range. `log` must outlive the server.
  TServer(TServerConfig config, TServerLog& log);
  ~TServer();
  TServer(const TServer&) = delete;
  TServer& operator=(const TServer&) = delete;

  // Raises EFolderInUse when another server serves one of the folders, EListener when the
  // address cannot be bound.
  void Start();
  uint16_t Port() const;
  std::string Address() const;

  // Notices to every connected client, without waiting for any of them; each returns how many
  // it was sent to.
  int BroadcastMessage(std::string_view text);
  int BroadcastProgress(int32_t min, int32_t max, int32_t position);
  // "0302" to every client, then the end; idempotent, from any thread but a session's own.
  void Shutdown();
  // True once Shutdown has finished; waits at most `timeout`.
  bool WaitStopped(std::chrono::milliseconds timeout);

  std::vector<std::string> DescribeClients();
  TServerContext& Context() { return context_; }  // tests replace the upload I/O here

  // The pause Shutdown grants clients to read the notice and leave.
  static constexpr std::chrono::milliseconds kShutdownGrace{1000};

 private:
  struct TSlot {
    std::shared_ptr<TSession> session;
    std::thread thread;
    std::atomic<bool> done{false};
    bool displaced = false;  // made room for a newer connection; ending
  };

  void AcceptLoop();
  // With every slot taken: ends the oldest connection that has not logged in. False when all
  // have logged in. Called with slots_mutex_ held.
  bool MakeRoom();
  void ReapFinished();
  std::vector<std::shared_ptr<TSession>> Sessions();

  TServerContext context_;
  TDispatcher dispatcher_;
  std::vector<std::unique_ptr<TFolderLock>> folder_locks_;
  std::unique_ptr<TListener> listener_;
  std::thread accept_thread_;
  std::atomic<bool> stopping_{false};
  uint64_t next_id_ = 1;

  std::mutex slots_mutex_;
  std::condition_variable slots_changed_;
  std::list<std::unique_ptr<TSlot>> slots_;

  std::mutex shutdown_mutex_;
  std::condition_variable stopped_changed_;
  bool shutdown_started_ = false;
  bool stopped_ = false;
};

}  // namespace tavrik::server
