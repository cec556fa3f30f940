#include "server/UseCommands.h"

#include "core/StrUtils.h"
#include "server/DataFolders.h"
#include "server/WorkAreaCodec.h"
#include "server/WorkAreaSession.h"

namespace tavrik::server {

namespace {

using namespace wire;

struct TUseRecord {
  std::string database, table, password, index;
  int open_mode = 0, table_type = 0, commit_level = 0;
  bool turbo = false, deleted = false, century = false, soft_seek = false, exact = false, oem = false, apply = false;
  uint32_t epoch = 0, date_format = 0, memo_block_size = 0;
};

TUseRecord ParseUseRecord(std::string_view payload) {
  TFieldReader r(payload);
  TUseRecord u;
  u.database = r.Padded(255, "Use database alias");
  u.table = r.Padded(255, "Use table name");
  u.open_mode = r.Digit("Use open mode");
  u.table_type = r.Digit("Use table type");
  u.password = r.Padded(255, "Use password");
  u.turbo = r.YN("Use turbo read");
  u.index = r.Padded(255, "Use index name");
  u.epoch = r.Hex(4, "Use epoch");
  u.date_format = r.Hex(4, "Use date format");
  u.memo_block_size = r.Hex(4, "Use memo block size");
  u.deleted = r.YN("Use deleted setting");
  u.century = r.YN("Use century setting");
  u.soft_seek = r.YN("Use soft seek setting");
  u.exact = r.YN("Use exact setting");
  u.oem = r.YN("Use OEM translation");
  u.apply = r.YN("Use environment flag");
  u.commit_level = ParseDec(r.Rest(), "Use commit level");
  return u;
}

// A failure of Use that the client is told in the reply, with its code.
struct TUseFailure {
  int code;
  std::string message;
};

std::string Field255(std::string_view text) { return PadRight(text.substr(0, 255), 255); }

std::string FileNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string IndexEntry(xbase::TWorkArea& area, int number) {
  xbase::TOrderList& orders = area.Orders();
  const std::string key = area.ToAnsi(orders.IndexKey(number));
  const std::string upper = UpperCase(key);
  const bool expression = key.find_first_of("+(-") != std::string::npos;
  std::string e = Field255(orders.TagName(number)) + Field255(orders.IndexKeyField(number)) +
                  Field255(FileNameOf(orders.IndexName(number))) + Field255(key);
  e += '0';
  e += orders.IndexType(number) == 2 ? '1' : '0';
  e += orders.Descending(number) ? '1' : '0';
  e += upper.find("UPPER(") != std::string::npos ? '1' : '0';
  e += expression ? '1' : '0';
  e += '0';
  return e;
}

std::string Reply(int work_area, uint32_t records, int fields, uint32_t record_size, const std::string& condition,
                  int order, const std::string& entries, int count, int error, const std::string& message) {
  return Hex(static_cast<uint32_t>(work_area), 4) + Hex(records, 8) + Hex(static_cast<uint32_t>(fields), 8) +
         Hex(record_size, 8) + "N" + Field255(Trim(condition)) + Hex(static_cast<uint32_t>(order), 4) +
         Hex(static_cast<uint32_t>(count), 4) + Hex(entries.size(), 8) + entries +
         Hex(static_cast<uint32_t>(error), 8) + message;
}

std::string OpenedReply(xbase::TWorkAreaSet& areas, int work_area) {
  xbase::TWorkArea& area = areas.CurrentArea();
  xbase::TOrderList& orders = area.Orders();
  std::string entries;
  for (int n = 1; n <= orders.Count(); ++n) entries += IndexEntry(area, n);
  return Reply(work_area, area.RecCount(), area.FieldCount(), area.RecordSize(), areas.IndexCondition(),
               orders.Current(), entries, orders.Count(), 0, "");
}

// The engine wants aliases of letters, digits, "_", "-" and "$", unique within the set: the
// table's stem made so, with "_2", "_3" ... when this client has it open already.
std::string FreeAlias(TWorkAreaSession& work, const std::string& path) {
  std::string stem = FileNameOf(path);
  size_t dot = stem.rfind('.');
  if (dot != std::string::npos && dot > 0) stem.resize(dot);
  stem = UpperCase(stem.substr(0, 200));
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

void ApplySettings(xbase::TWorkAreaSet& areas, const TUseRecord& u) {
  if (u.apply) {
    areas.SetEpoch(static_cast<int>(u.epoch));
    areas.SetDateFormat(static_cast<int>(u.date_format));
    areas.SetMemoBlockSize(static_cast<int>(u.memo_block_size));
    areas.SetDeleted(u.deleted);
    areas.SetCentury(u.century);
    areas.SetSoftSeek(u.soft_seek);
    areas.SetExact(u.exact);
  }
  areas.SetTranslate(u.oem);
  areas.SetTurboRead(u.turbo);
  areas.SetPassword(u.password);
}

// Makes the Use record's index name the active order of the table just opened.
void SelectIndex(xbase::TWorkAreaSet& areas, const std::string& folder, const TUseRecord& u) {
  if (u.index.empty()) return;
  int order = areas.TagArea(u.index);
  if (order == 0) {
    std::string path = IndexPath(folder, u.index);
    if (!path.empty()) order = areas.IndexOpen(path);
  }
  if (order == 0) throw TUseFailure{5, "Index " + Printable(u.index, 255) + " not found for table " + u.table};
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
    const TUseRecord u = ParseUseRecord(request.payload);
    xbase::TWorkAreaSet& areas = work.areas;
    areas.Select(0);  // the settings below are for the new table, not the one current now
    int opened = 0;
    try {
      std::string folder, path;
      try {
        folder = DataFolder(context_.config, u.database);
        path = TablePath(folder, u.table);
      } catch (const EUnknownDatabase& e) {
        throw TUseFailure{1, e.Message()};
      } catch (const EBadTableName& e) {
        throw TUseFailure{2, e.Message()};
      } catch (const ENoSuchTable& e) {
        throw TUseFailure{3, e.Message() + " in database " + Printable(u.database, 255)};
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
        opened = areas.Use(path, FreeAlias(work, path), u.open_mode, u.table_type, u.commit_level);
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
        return OpenedReply(areas, opened);
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
      context_.log.Line(session.Tag() + "0469 Use of " + Printable(u.database, 255) + "/" + Printable(u.table, 255) +
                        " failed (" + std::to_string(f.code) + "): " + f.message);
      return Reply(0, 0, 0, 0, "", 0, "", 0, f.code, f.message);
    }
  }

  std::string UseEx(TWorkAreaSession& work, TSessionState&, TRequest& request) {
    TFieldReader r(request.payload);
    const std::string file = r.Padded(255, "UseEx file name");
    const std::string alias = r.Padded(255, "UseEx alias");
    const int open_mode = r.Digit("UseEx open mode");
    const int table_type = r.Digit("UseEx table type");
    const int commit_level = r.Digit("UseEx commit level");
    r.End("UseEx");
    std::string folder = work.folder;
    if (folder.empty()) {
      if (context_.config.aliases.Size() != 1) throw ERefused("no database chosen yet: open a table with Use first");
      folder = DataFolder(context_.config, context_.config.aliases.Items().begin()->first);
    }
    std::string path;
    try {
      path = TablePath(folder, file);
    } catch (const EDataFolder& e) {
      throw ERefused(e.Message());
    }
    if (AtWorkAreaLimit(work, context_.config))
      throw ERefused("UseEx: " + std::to_string(context_.config.max_work_areas) + " tables open already");
    const std::string name = Trim(alias).empty() ? FreeAlias(work, path) : alias;
    return Hex(static_cast<uint32_t>(work.areas.UseEx(path, name, open_mode, table_type, commit_level)), 4);
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
  AddAreaCommand(d, "0469", "Use", [commands](TWorkAreaSession& w, TSessionState& s, TRequest& r) {
    return commands->Use(w, s, r);
  });
  AddAreaCommand(d, "0467", "UseEx", [commands](TWorkAreaSession& w, TSessionState& s, TRequest& r) {
    return commands->UseEx(w, s, r);
  });
  AddAreaCommand(d, "0530", "Alias", [](TWorkAreaSession& w, TSessionState&, TRequest& r) {
    int32_t n = ParseDec(r.payload, "Alias work area");
    return n < 0 ? std::string() : w.areas.Alias(n);
  });
  AddAreaCommand(d, "0571", "WorkArea", [](TWorkAreaSession& w, TSessionState&, TRequest& r) {
    return Dec(w.areas.WorkArea(r.payload));
  });
  AddAreaCommand(d, "0504", "Select", [](TWorkAreaSession& w, TSessionState&, TRequest& r) {
    if (r.payload.size() != 4) throw ERefused("Select: 4 hexadecimal digits expected");
    return Hex(static_cast<uint32_t>(w.areas.Select(WorkAreaNumber(ParseHex(r.payload, "Select"), "Select"))), 4);
  });
  AddAreaCommand(d, "0523", "Close", [](TWorkAreaSession& w, TSessionState&, TRequest&) {
    w.areas.Close();
    return std::string(kDone);
  });
  AddAreaCommand(d, "0618", "Version", [](TWorkAreaSession& w, TSessionState&, TRequest&) { return w.areas.Version(); });
}

}  // namespace tavrik::server
