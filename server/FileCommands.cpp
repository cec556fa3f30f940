#include "server/FileCommands.h"

#include <algorithm>

#include "core/StrUtils.h"
#include "proto/MvPayloads.h"

namespace tavrik::server {

namespace {

struct TTarget {
  std::string area_name;
  std::string name;
  // For log lines: client text never reaches the log raw.
  std::string Shown() const { return Printable(area_name, 255) + "/" + Printable(name, 255); }
};

// Padding is blanks only: a NUL or other control byte at the end stays and makes the name bad.
TTarget SplitFields(std::string_view fields) {
  TMvFileFields f = ParseFileFields(fields);
  return {std::move(f.area), std::move(f.name)};
}

// A name that is not plain is the client's mistake: a refusal, not a failure of the server.
void CheckName(const std::string& name) {
  try {
    CheckPlainName(name);
  } catch (const EBadFileName& e) {
    throw ERefused(e.Message());
  }
}

class TFileCommands {
 public:
  explicit TFileCommands(TServerContext& context) : context_(context) {}

  std::string Exists(TSessionState&, TRequest& request) {
    TTarget t = Fixed(request);
    return Open(t.area_name).Exists(t.name) ? "Y" : "N";
  }

  std::string Delete(TSessionState& session, TRequest& request) {
    TTarget t = Fixed(request);
    bool deleted = Open(t.area_name).Delete(t.name);
    if (deleted) context_.log.Line(session.Tag() + "deleted " + t.Shown());
    return deleted ? "Y" : "N";
  }

  std::string Length(TSessionState&, TRequest& request) {
    TTarget t = Fixed(request);
    auto length = Open(t.area_name).Length(t.name);
    if (!length) throw ERefused("no such file");
    return BuildFileLength(*length);
  }

  std::string Send(TSessionState& session, TRequest& request) {
    TPayloadReader& body = *request.body;
    std::string fields(kMvFileFields, ' ');
    body.ReadExact(fields.data(), fields.size());
    TTarget t = SplitFields(fields);
    CheckName(t.name);
    TFileArea area = Open(t.area_name);
    uint64_t size = body.Remaining();
    std::shared_ptr<TUploadIo> io = context_.upload_io;
    auto upload = area.BeginUpload(t.name, *io);
    try {
      // Whole blocks to the disk, however the network cut the stream.
      std::string block(256 * 1024, '\0');
      size_t filled = 0;
      while (body.Remaining() > 0) {
        filled += body.Read(block.data() + filled, block.size() - filled);
        if (filled == block.size() || body.Remaining() == 0) {
          upload->Write(block.data(), filled);
          filled = 0;
        }
      }
      upload->Commit();
    } catch (const EClientGone&) {
      context_.log.Line(session.Tag() + "upload of " + t.Shown() + " abandoned after " +
                        std::to_string(size - body.Remaining()) + " of " + std::to_string(size) + " bytes");
      throw;
    }
    context_.log.Line(session.Tag() + "stored " + t.Shown() + ", " + std::to_string(size) + " bytes");
    return "Y";
  }

 private:
  static TTarget Fixed(const TRequest& request) {
    if (request.payload.size() != kMvFileFields)
      throw ERefused("request of " + std::to_string(request.payload.size()) + " bytes, not " +
                     std::to_string(kMvFileFields));
    TTarget t = SplitFields(request.payload);
    CheckName(t.name);
    return t;
  }

  TFileArea Open(const std::string& area_name) const {
    auto folder = context_.config.file_areas.Find(area_name);
    if (!folder) throw ERefused("unknown file area \"" + Printable(area_name, 255) + "\"");
    return TFileArea(*folder);
  }

  TServerContext& context_;
};

}  // namespace

void RegisterFileCommands(TDispatcher& dispatcher, TServerContext& context) {
  auto commands = std::make_shared<TFileCommands>(context);
  auto bind = [commands](std::string (TFileCommands::*member)(TSessionState&, TRequest&)) {
    return [commands, member](TSessionState& s, TRequest& r) { return ((*commands).*member)(s, r); };
  };
  dispatcher.Add(TCommand::Of(mvcmd::FileExists, bind(&TFileCommands::Exists)));
  dispatcher.Add(TCommand::Of(mvcmd::DeleteFile, bind(&TFileCommands::Delete)));
  dispatcher.Add(TCommand::Of(mvcmd::FileLength, bind(&TFileCommands::Length)));
  TCommand send = TCommand::Of(mvcmd::FileSend, bind(&TFileCommands::Send));
  send.streamed = true;
  // MaxUpload is the largest file; the name fields come on top, so that every file the client
  // may send (up to kMvMaxFileSize) passes when MaxUpload allows it.
  send.max_payload = std::min<uint64_t>(context.config.max_upload, kMvMaxFileSize) + kMvFileFields;
  dispatcher.Add(std::move(send));
}

}  // namespace tavrik::server
