#include "server/Server.h"

#include <unistd.h>

#include <filesystem>
#include <set>

#include "proto/MvFrame.h"
#include "server/FileCommands.h"
#include "server/LoginCommands.h"
#include "proto/MvPayloads.h"
#include "server/WorkAreaCommands.h"

namespace tavrik::server {

TDispatcher MakeDispatcher(TServerContext& context) {
  TDispatcher dispatcher;
  RegisterLoginCommands(dispatcher, context);
  RegisterFileCommands(dispatcher, context);
  RegisterWorkAreaCommands(dispatcher, context);
  // The procedure and SQL families register here.
  return dispatcher;
}

namespace {
TServerConfig Checked(TServerConfig config) {
  config.Check();
  return config;
}
}  // namespace

TServer::TServer(TServerConfig config, TServerLog& log)
    : context_(Checked(std::move(config)), log), dispatcher_(MakeDispatcher(context_)) {}

TServer::~TServer() { Shutdown(); }

void TServer::Start() {
  const TServerConfig& c = context_.config;
  // Locked before anything in them is touched: the partial uploads below may be another
  // server's uploads in progress.
  std::set<std::filesystem::path> locked;
  auto lock = [&](const std::string& what, const std::string& folder) {
    std::error_code error;
    auto canonical = std::filesystem::weakly_canonical(folder, error);
    if (!locked.insert(error ? std::filesystem::path(folder) : canonical).second) return;
    folder_locks_.push_back(std::make_unique<TFolderLock>(folder, what));
  };
  for (const auto& [name, folder] : c.file_areas.Items()) lock("file area " + name, folder);
  for (const auto& [name, folder] : c.aliases.Items()) lock("database " + name, folder);
  listener_ = std::make_unique<TListener>(c.address, c.port);
  if (c.accounts.Empty()) context_.log.Line("no accounts configured: every login will be refused");
  for (const auto& [name, folder] : c.file_areas.Items()) {
    bool there = ::access(folder.c_str(), R_OK | W_OK | X_OK) == 0;
    context_.log.Line("file area " + name + " = " + folder + (there ? "" : " (missing or not writable)"));
    if (int removed = RemovePartialUploads(folder))
      context_.log.Line("removed " + std::to_string(removed) + " partial uploads left in " + folder);
  }
  for (const auto& [name, folder] : c.aliases.Items()) {
    bool there = ::access(folder.c_str(), R_OK | W_OK | X_OK) == 0;
    context_.log.Line("database " + name + " = " + folder + (there ? "" : " (missing or not writable)"));
  }
  accept_thread_ = std::thread([this] { AcceptLoop(); });
}

uint16_t TServer::Port() const { return listener_ ? listener_->Port() : 0; }
std::string TServer::Address() const { return listener_ ? listener_->Address() : std::string(); }

void TServer::AcceptLoop() {
  while (!stopping_) {
    ReapFinished();
    int fd = listener_->Accept(std::chrono::milliseconds(200));
    if (fd < 0) continue;
    std::string peer = PeerName(fd);
    std::lock_guard lock(slots_mutex_);
    int active = 0;
    for (const auto& slot : slots_) active += slot->done || slot->displaced ? 0 : 1;
    if (!stopping_ && active >= context_.config.max_clients && MakeRoom()) --active;
    if (stopping_ || active >= context_.config.max_clients) {
      ::close(fd);
      context_.log.Line("connection from " + peer + " refused: " +
                        (stopping_ ? std::string("shutting down")
                                   : std::to_string(active) + " clients logged in, the most allowed"));
      continue;
    }
    auto channel = std::make_unique<TSocketChannel>(fd);
    try {
      auto slot = std::make_unique<TSlot>();
      slot->session = std::make_shared<TSession>(context_, dispatcher_, std::move(channel), next_id_++, peer);
      TSlot* s = slot.get();
      slot->thread = std::thread([this, s] {
        s->session->Run();
        std::lock_guard done_lock(slots_mutex_);
        s->done = true;
        slots_changed_.notify_all();
      });
      slots_.push_back(std::move(slot));
    } catch (const std::exception& e) {
      // No thread or no memory for one more client: that client goes, the server stays.
      context_.log.Line("connection from " + peer + " refused: " + e.what());
    }
  }
}

bool TServer::MakeRoom() {
  for (const auto& slot : slots_) {  // oldest first
    if (slot->done || slot->displaced || !slot->session->Displace()) continue;
    slot->displaced = true;
    return true;
  }
  return false;
}

void TServer::ReapFinished() {
  std::list<std::unique_ptr<TSlot>> finished;
  {
    std::lock_guard lock(slots_mutex_);
    for (auto it = slots_.begin(); it != slots_.end();) {
      if ((*it)->done) {
        finished.push_back(std::move(*it));
        it = slots_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& slot : finished) slot->thread.join();
}

std::vector<std::shared_ptr<TSession>> TServer::Sessions() {
  std::lock_guard lock(slots_mutex_);
  std::vector<std::shared_ptr<TSession>> sessions;
  for (const auto& slot : slots_)
    if (!slot->done) sessions.push_back(slot->session);
  return sessions;
}

int TServer::BroadcastMessage(std::string_view text) {
  int reached = 0;
  for (const auto& s : Sessions()) reached += s->SendNotice(kNoticeMessage, text) ? 1 : 0;
  context_.log.Line("message to " + std::to_string(reached) + " clients: " + Printable(text));
  return reached;
}

int TServer::BroadcastProgress(int32_t min, int32_t max, int32_t position) {
  int reached = 0;
  for (const auto& s : Sessions()) reached += s->SendNotice(kNoticeProgress, BuildProgress({min, max, position})) ? 1 : 0;
  context_.log.Line("progress " + std::to_string(min) + " " + std::to_string(max) + " " + std::to_string(position) +
                    " to " + std::to_string(reached) + " clients");
  return reached;
}

void TServer::Shutdown() {
  {
    std::unique_lock lock(shutdown_mutex_);
    if (shutdown_started_) {
      stopped_changed_.wait(lock, [this] { return stopped_; });
      return;
    }
    shutdown_started_ = true;
  }
  stopping_ = true;
  if (listener_) listener_->Interrupt();
  if (accept_thread_.joinable()) accept_thread_.join();
  listener_.reset();

  auto sessions = Sessions();
  for (const auto& s : sessions) s->SendShutdown();
  if (!sessions.empty()) context_.log.Line("shutdown notice sent to " + std::to_string(sessions.size()) + " clients");
  {
    std::unique_lock lock(slots_mutex_);
    slots_changed_.wait_for(lock, kShutdownGrace, [this] {
      for (const auto& slot : slots_)
        if (!slot->done) return false;
      return true;
    });
  }
  for (const auto& s : sessions) s->Abort();
  std::list<std::unique_ptr<TSlot>> all;
  {
    std::lock_guard lock(slots_mutex_);
    all.swap(slots_);
  }
  for (auto& slot : all) slot->thread.join();
  context_.log.Line("stopped");

  std::lock_guard lock(shutdown_mutex_);
  stopped_ = true;
  stopped_changed_.notify_all();
}

bool TServer::WaitStopped(std::chrono::milliseconds timeout) {
  std::unique_lock lock(shutdown_mutex_);
  return stopped_changed_.wait_for(lock, timeout, [this] { return stopped_; });
}

std::vector<std::string> TServer::DescribeClients() {
  std::vector<std::string> lines;
  for (const auto& s : Sessions()) lines.push_back(s->Describe());
  return lines;
}

}  // namespace tavrik::server
