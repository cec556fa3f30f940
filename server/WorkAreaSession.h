// What the work-area commands keep for one client connection: an engine work-area set of its
// own (its tables, current work area, settings and locks), the data folder its last table was
// opened in, and the answer of a PutBlob stream until the client asks for it. Made on the
// client's first work-area command; its tables close and its locks go when the session ends.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "server/Dispatcher.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::server {

struct TWorkAreaSession {
  xbase::TWorkAreaSet areas;
  std::string folder;            // data folder of the last Use; UseEx opens its files there
  std::optional<int> blob_bytes;  // bytes the last "0498" stored, for "0624"
  // For each table stem, the alias suffix to try next: a table opened again and again gets
  // STEM, STEM_2, STEM_3 ... without trying every taken one each time.
  std::map<std::string, int> next_suffix;
};

using TAreaHandler = std::function<std::string(TWorkAreaSession& work, TSessionState& session, TRequest& request)>;

// Registers a work-area command: logged in only, handed the session's work areas.
inline void AddAreaCommand(TDispatcher& dispatcher, const TMvCommand& catalogued, TAreaHandler handler,
                           bool streamed = false, uint64_t max_payload = 0) {
  TCommand command = TCommand::Of(
      catalogued, [handler](TSessionState& s, TRequest& r) { return handler(s.Extension<TWorkAreaSession>(), s, r); });
  command.streamed = streamed;
  command.max_payload = max_payload;
  dispatcher.Add(std::move(command));
}

// The reply of a command that answers nothing in particular: any text but the empty failure
// reply does, and "Y" reads well in a log.
constexpr const char* kDone = "Y";

}  // namespace tavrik::server
