#include "server/UseCommands.h"

#include "core/StrUtils.h"
#include "platform/Paths.h"
#include "server/DataFolders.h"
#include "proto/MvFields.h"
#include "proto/MvUse.h"
#include "server/WorkAreaSession.h"

namespace tavrik::server {

namespace {

using namespace mvproto;

// A failure of Use that the client is told in the reply, with its code.
struct TUseFailure {
  int code;
  std::string message;
};

TMvIndexEntry IndexEntry(xbase::TWorkArea& area, int number) {
  xbase::TOrderList& orders = area.Orders();
  const std::string key = area.ToAnsi(orders.IndexKey(number));
  TMvIndexEntry e;
  e.Name = orders.TagName(number);
  e.Fields = orders.IndexKeyField(number);
  e.Source = platform::FileNameOf(orders.IndexName(number));
  e.Expression = key;
  e.Unique = orders.IndexType(number) == 2;
  e.Descending = orders.Descending(number);
  e.CaseInsensitive = UpperCase(key).find("UPPER(") != std::string::npos;
  e.IsExpression = key.find_first_of("+(-") != std::string::npos;
  return e;
}

TMvTableInfo OpenedInfo(xbase::TWorkAreaSet& areas, int work_area) {
  xbase::TWorkArea& area = areas.CurrentArea();
  xbase::TOrderList& orders = area.Orders();
  TMvTableInfo info;
  info.WorkArea = static_cast<uint16_t>(work_area);
  info.RecCount = static_cast<int32_t>(area.RecCount());
  info.FieldCount = area.FieldCount();
  info.RecordSize = static_cast<int32_t>(area.RecordSize());
  info.IndexCondition = areas.IndexCondition();
  info.IndexOrder = orders.Current();
  for (int n = 1; n <= orders.Count(); ++n) info.Indexes.push_back(IndexEntry(area, n));
  return info;
}

// The engine wants aliases of letters, digits, "_", "-" and "$", unique within the set: the
// table's stem made so, with "_2", "_3" ... when this client has it open already.
std::string FreeAlias(TWorkAreaSession& work, const std::string& path) {
  std::string stem = UpperCase(platform::StemOf(path).substr(0, 200));
  for (char& c : stem)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '$')) c = '_';
  if (work.areas.WorkArea(stem) == 0) return stem;
  int& n = work.next_suffix.try_emplace(stem, 2).first->second;
  std::string alias;
  do alias = stem + "_" + std::to_string(n++);
  while (work.areas.WorkArea(alias) != 0);
  return alias;
}

// Each open table costs the server memory and file handles: a session gets MaxWorkAreas.
bool AtWorkAreaLimit(const TWorkAreaSession& work, const TServerConfig& config) {
  return work.areas.Count() >= config.max_work_areas;
}

void ApplySettings(xbase::TWorkAreaSet& areas, const TMvUseParams& u) {
  if (u.ApplyEnvironment) {
    areas.SetEpoch(u.Epoch);
    areas.SetDateFormat(u.DateFormat);
    areas.SetMemoBlockSize(u.MemoBlockSize);
    areas.SetDeleted(u.Deleted);
    areas.SetCentury(u.Century);
    areas.SetSoftSeek(u.SoftSeek);
    areas.SetExact(u.Exact);
  }
  areas.SetTranslate(u.OEMTranslate);
  areas.SetTurboRead(u.TurboRead);
  areas.SetPassword(u.Password);
}

// Makes the Use record's index name the active order of the table just opened.
void SelectIndex(xbase::TWorkAreaSet& areas, const std::string& folder, const TMvUseParams& u) {
  if (u.IndexName.empty()) return;
  int order = areas.TagArea(u.IndexName);
  if (order == 0) {
    std::string path = IndexPath(folder, u.IndexName);
    if (!path.empty()) order = areas.IndexOpen(path);
  }
  if (order == 0)
    throw TUseFailure{5, "Index " + Printable(u.IndexName, 255) + " not found for table " + u.TableName};
  areas.SetOrder(order);
  areas.GoTop();
}

// Engine messages name files by their full path; the client is told the name alone, since the
// server's folders are none of its business.
std::string WithoutFolder(std::string message, const std::string& folder) {
  if (folder.empty()) return message;
  const std::string prefix = folder + "/";
  for (size_t at = message.find(prefix); at != std::string::npos; at = message.find(prefix, at))
    message.erase(at, prefix.size());
  return message;
}

class TUseCommands {
 public:
  explicit TUseCommands(TServerContext& context) : context_(context) {}

  std::string Use(TWorkAreaSession& work, TSessionState& session, TRequest& request) {
    const TMvUseParams u = ParseUseRequest(request.payload);
    xbase::TWorkAreaSet& areas = work.areas;
    areas.Select(0);  // the settings below are for the new table, not the one current now
    int opened = 0;
    try {
      std::string folder, path;
      try {
        folder = DataFolder(context_.config, u.DatabaseName);
        path = TablePath(folder, u.TableName);
      } catch (const EUnknownDatabase& e) {
        throw TUseFailure{1, e.Message()};
      } catch (const EBadTableName& e) {
        throw TUseFailure{2, e.Message()};
      } catch (const ENoSuchTable& e) {
        throw TUseFailure{3, e.Message() + " in database " + Printable(u.DatabaseName, 255)};
      }
      if (AtWorkAreaLimit(work, context_.config))
        throw TUseFailure{7, "Too many tables open: a session may have " +
                                 std::to_string(context_.config.max_work_areas) + " at once"};
      try {
        ApplySettings(areas, u);
      } catch (const Exception& e) {
        throw TUseFailure{6, WithoutFolder(e.Message(), folder)};
      }
      try {
        opened = areas.Use(path, FreeAlias(work, path), u.OpenMode, u.TableType, u.CommitLevel);
      } catch (const Exception& e) {
        throw TUseFailure{4, WithoutFolder(e.Message(), folder)};
      }
      try {
        SelectIndex(areas, folder, u);
      } catch (const EBadTableName& e) {
        throw TUseFailure{2, e.Message()};
      } catch (const Exception& e) {
        throw TUseFailure{5, WithoutFolder(e.Message(), folder)};
      }
      work.folder = folder;
      try {
        return BuildUseReply(OpenedInfo(areas, opened));
      } catch (const Exception& e) {
        // Without a reply the client does not know the work area; it must not stay open unseen.
        throw TUseFailure{4, WithoutFolder(e.Message(), folder)};
      }
    } catch (const TUseFailure& f) {
      if (opened != 0) {
        try {
          areas.Close();
        } catch (const Exception&) {
          // The table was only read; what the close could not write is not this client's news.
        }
      }
      areas.Select(0);
      context_.log.Line(session.Tag() + "0469 Use of " + Printable(u.DatabaseName, 255) + "/" +
                        Printable(u.TableName, 255) + " failed (" + std::to_string(f.code) + "): " + f.message);
      TMvTableInfo failed;
      failed.ErrorCode = f.code;
      failed.ErrorMessage = f.message;
      return BuildUseReply(failed);
    }
  }

  std::string UseEx(TWorkAreaSession& work, TSessionState&, TRequest& request) {
    const TMvUseExParams x = ParseUseExRequest(request.payload);
    std::string folder = work.folder;
    if (folder.empty()) {
      if (context_.config.aliases.Size() != 1) throw ERefused("no database chosen yet: open a table with Use first");
      folder = DataFolder(context_.config, context_.config.aliases.Items().begin()->first);
    }
    std::string path;
    try {
      path = TablePath(folder, x.FileName);
    } catch (const EDataFolder& e) {
      throw ERefused(e.Message());
    }
    if (AtWorkAreaLimit(work, context_.config))
      throw ERefused("UseEx: " + std::to_string(context_.config.max_work_areas) + " tables open already");
    const std::string name = Trim(x.Alias).empty() ? FreeAlias(work, path) : x.Alias;
    return Hex(static_cast<uint32_t>(work.areas.UseEx(path, name, x.OpenMode, x.TableType, x.CommitLevel)), 4);
  }

 private:
  TServerContext& context_;
};

uint16_t WorkAreaNumber(uint32_t value, std::string_view what) {
  if (value > static_cast<uint32_t>(xbase::TWorkAreaSet::kMaxWorkArea))
    throw ERefused(std::string(what) + ": no work area " + std::to_string(value));
  return static_cast<uint16_t>(value);
}

}  // namespace

void RegisterUseCommands(TDispatcher& d, TServerContext& context) {
  auto commands = std::make_shared<TUseCommands>(context);
  AddAreaCommand(d, mvcmd::Use, [commands](TWorkAreaSession& w, TSessionState& s, TRequest& r) {
    return commands->Use(w, s, r);
  });
  AddAreaCommand(d, mvcmd::UseEx, [commands](TWorkAreaSession& w, TSessionState& s, TRequest& r) {
    return commands->UseEx(w, s, r);
  });
  AddAreaCommand(d, mvcmd::Alias, [](TWorkAreaSession& w, TSessionState&, TRequest& r) {
    int32_t n = ParseDec(r.payload, "Alias work area");
    return n < 0 ? std::string() : w.areas.Alias(n);
  });
  AddAreaCommand(d, mvcmd::WorkArea, [](TWorkAreaSession& w, TSessionState&, TRequest& r) {
    return Dec(w.areas.WorkArea(r.payload));
  });
  AddAreaCommand(d, mvcmd::Select, [](TWorkAreaSession& w, TSessionState&, TRequest& r) {
    if (r.payload.size() != 4) throw ERefused("Select: 4 hexadecimal digits expected");
    return Hex(static_cast<uint32_t>(w.areas.Select(WorkAreaNumber(ParseHex(r.payload, "Select"), "Select"))), 4);
  });
  AddAreaCommand(d, mvcmd::Close, [](TWorkAreaSession& w, TSessionState&, TRequest&) {
    w.areas.Close();
    return std::string(kDone);
  });
  AddAreaCommand(d, mvcmd::Version, [](TWorkAreaSession& w, TSessionState&, TRequest&) { return w.areas.Version(); });
}

}  // namespace tavrik::server
