#include "xbase/TableRegistry.h"

#include <sys/stat.h>

#include "xbase/TableError.h"

namespace tavrik::xbase {

namespace {

bool FileIdOf(const std::string& path, std::pair<unsigned long, unsigned long>& id) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  id = {static_cast<unsigned long>(st.st_dev), static_cast<unsigned long>(st.st_ino)};
  return true;
}

}  // namespace

TTableRegistry& TTableRegistry::Instance() {
  static TTableRegistry registry;
  return registry;
}

std::shared_ptr<TTable> TTableRegistry::Acquire(const std::string& path, TOpenMode mode) {
  std::lock_guard<std::mutex> guard(mutex_);
  TFileId id;
  if (!FileIdOf(path, id)) throw ETableError("File not found: " + path);
  auto it = open_.find(id);
  if (it != open_.end()) {
    TTable& table = *it->second.table;
    if (table.Exclusive()) throw ETableError("Table " + path + " is opened exclusively by another work area");
    if (mode == TOpenMode::exclusive) throw ETableError("Table " + path + " is in use by another work area");
    if (mode != TOpenMode::read_only && !table.Writable()) throw ETableError("Table " + path + " cannot be opened for writing");
    ++it->second.users;
    return it->second.table;
  }
  auto table = std::make_shared<TTable>(path, mode == TOpenMode::exclusive);
  if (mode != TOpenMode::read_only && !table->Writable()) {
    table->Close();
    throw ETableError("Table " + path + " cannot be opened for writing");
  }
  open_[id] = TEntry{table, 1};
  return table;
}

void TTableRegistry::Release(const std::shared_ptr<TTable>& table) {
  std::lock_guard<std::mutex> guard(mutex_);
  for (auto it = open_.begin(); it != open_.end(); ++it) {
    if (it->second.table != table) continue;
    if (--it->second.users > 0) return;
    std::shared_ptr<TTable> closing = std::move(it->second.table);
    open_.erase(it);
    closing->Close();  // under the registry's lock: nobody reopens the file half closed
    return;
  }
}

bool TTableRegistry::IsOpen(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  TFileId id;
  return FileIdOf(path, id) && open_.count(id) > 0;
}

}  // namespace tavrik::xbase
