#include "server/OrderCommands.h"

#include <algorithm>

#include "platform/Paths.h"
#include "server/DataFolders.h"
#include "proto/MvFields.h"
#include "proto/MvPayloads.h"
#include "server/WorkAreaSession.h"

namespace tavrik::server {

namespace {

using namespace mvproto;

// Order numbers are 16-bit signed on the client: 4 digits, or 8 for a negative one.
int OrderArgument(const std::string& payload, std::string_view what) {
  if (payload.size() != 4 && payload.size() != 8) throw ERefused(std::string(what) + ": 4 hexadecimal digits expected");
  const int32_t order = static_cast<int32_t>(ParseHex(payload, what));
  if (order < -32768 || order > 32767) throw ERefused(std::string(what) + ": no order " + std::to_string(order));
  return order;
}

std::string IndexOpen(TWorkAreaSession& w, TServerContext& context, const std::string& payload) {
  TFieldReader f(payload);
  const std::string database = f.Padded(255, "IndexOpen database alias");
  const std::string name = f.Padded(255, "IndexOpen index name");
  f.End("IndexOpen");
  const std::string folder = platform::FolderOf(w.areas.CurrentArea().Path());
  try {
    if (!database.empty() && DataFolder(context.config, database) != folder)
      throw ERefused("IndexOpen: index files are opened beside their table, not in database " + database);
    std::string path = IndexPath(folder, name);
    if (path.empty()) throw ERefused("IndexOpen: no index file " + name);
    return Dec(w.areas.IndexOpen(path));
  } catch (const EDataFolder& e) {
    throw ERefused(e.Message());
  }
}

std::string SetScope(TWorkAreaSession& w, const std::string& payload) {
  const TMvScope scope = ParseScope(payload);
  return YN(w.areas.SetScope(scope.low, scope.high));
}

}  // namespace

void RegisterOrderCommands(TDispatcher& d, TServerContext& context) {
  using W = TWorkAreaSession;
  using S = TSessionState;
  using R = TRequest;
  AddAreaCommand(d, mvcmd::Seek, [](W& w, S&, R& r) { return YN(w.areas.Seek(r.payload)); });
  AddAreaCommand(d, mvcmd::Found, [](W& w, S&, R&) { return YN(w.areas.Found()); });
  AddAreaCommand(d, mvcmd::SetOrder, [](W& w, S&, R& r) { return Dec(w.areas.SetOrder(OrderArgument(r.payload, "SetOrder"))); });
  AddAreaCommand(d, mvcmd::IndexOrd, [](W& w, S&, R&) { return Dec(w.areas.IndexOrd()); });
  AddAreaCommand(d, mvcmd::TagArea, [](W& w, S&, R& r) { return Dec(w.areas.TagArea(r.payload)); });
  AddAreaCommand(d, mvcmd::TagName, [](W& w, S&, R& r) { return w.areas.TagName(OrderArgument(r.payload, "TagName")); });
  AddAreaCommand(d, mvcmd::IndexName, [](W& w, S&, R& r) {
    return platform::FileNameOf(w.areas.IndexName(ParseDec(r.payload, "IndexName")));
  });
  AddAreaCommand(d, mvcmd::IndexKey, [](W& w, S&, R&) { return w.areas.IndexKey(); });
  AddAreaCommand(d, mvcmd::IndexKeyField, [](W& w, S&, R&) { return w.areas.IndexKeyField(); });
  AddAreaCommand(d, mvcmd::IndexCondition, [](W& w, S&, R&) { return w.areas.IndexCondition(); });
  AddAreaCommand(d, mvcmd::IndexType, [](W& w, S&, R&) { return Dec(w.areas.IndexType()); });
  AddAreaCommand(d, mvcmd::IndexOpen, [&context](W& w, S&, R& r) { return IndexOpen(w, context, r.payload); });
  AddAreaCommand(d, mvcmd::CloseIndexes, [](W& w, S&, R&) {
    w.areas.CloseIndexes();
    return std::string(kDone);
  });
  AddAreaCommand(d, mvcmd::SetScope, [](W& w, S&, R& r) { return SetScope(w, r.payload); });
  AddAreaCommand(d, mvcmd::GetScope, [](W& w, S&, R& r) { return w.areas.GetScope(ParseDec(r.payload, "GetScope")); });
  AddAreaCommand(d, mvcmd::OrderPosSet, [](W& w, S&, R& r) {
    w.areas.OrderPosSet(ParseFloat(r.payload, "OrderPosSet"));
    return std::string(kDone);
  });
  AddAreaCommand(d, mvcmd::IsEncrypted, [](W& w, S&, R& r) {
    return YN(w.areas.IsEncrypted(ParseDec(r.payload, "IsEncrypted")));
  });
}

}  // namespace tavrik::server
