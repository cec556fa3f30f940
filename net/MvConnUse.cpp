// Opening tables into server work areas (Use, UseEx), naming and choosing work areas (Alias,
// WorkArea, Select) and closing them. The Use and UseEx layouts are in proto/MvUse.h.
#include "net/MvConn.h"
#include "net/MvConnCodec.h"

namespace tavrik {

int TMarvekConnection::Use(const TMvUseParams& p, TMvTableInfo& info) {
  info = TMvTableInfo();
  return Trap("Use", 0, [&] {
    info = DecodeUseReply(Xmit(mvcmd::Use, BuildUseRequest(p)));
    work_area_ = info.WorkArea;
    return static_cast<int>(info.WorkArea);
  });
}

int TMarvekConnection::UseEx(const std::string& file, const std::string& alias, int open_mode, int table_type,
                             int commit_level) {
  std::string reply;
  try {
    reply = Xmit(mvcmd::UseEx, BuildUseExRequest({file, alias, open_mode, table_type, commit_level}));
  } catch (const std::exception&) {
    ReportError("MarvekConnection.Use", "Use");
    return 0;
  }
  return Trap("UseEx", 0, [&] { return static_cast<int>(mvcodec::TrimmedHexReply(reply)); });
}

std::string TMarvekConnection::Alias(uint16_t work_area) {
  return Trap("Alias", std::string(), [&] { return Xmit(mvcmd::Alias, mvcodec::Dec(work_area)); });
}

int TMarvekConnection::WorkArea(const std::string& alias) {
  return Trap("WorkArea", 0, [&] { return static_cast<int>(mvcodec::TrimmedDecReply(Xmit(mvcmd::WorkArea, alias))); });
}

int TMarvekConnection::Select(uint16_t work_area) {
  if (work_area == work_area_) return work_area;
  return Trap("Select", 0, [&] {
    Xmit(mvcmd::Select, mvcodec::Hex(work_area, 4));
    // A request that lost the connection (reported by the routine itself when OnError is set)
    // switched nothing on the server, so the cached work area must not move either.
    if (!Active()) throw EMvReplyError("Not connected");
    const int previous = work_area_;
    work_area_ = work_area;
    return previous;
  });
}

void TMarvekConnection::Close() {
  TrapVoid("Close", [&] { Xmit(mvcmd::Close, ""); });
}

}  // namespace tavrik
