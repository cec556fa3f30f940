// The file commands on a server file area: FileExists "0054", DeleteFile "0055", FileLength
// "0038" (text requests) and FileSend "0037", which streams the local file from disk behind the
// two name fields (proto/MvPayloads.h), and the source file it sends from.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/StrUtils.h"
#include "net/MvConn.h"
#include "net/MvConnCodec.h"
#include "net/MvConnSource.h"
#include "platform/ExclusiveFile.h"
#include "platform/Paths.h"
#include "proto/MvPayloads.h"

namespace tavrik {

using namespace mvcodec;

// --- the source file ---

TFileSendSource::TFileSendSource(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
  struct stat st {};
  if (::fstat(fd_, &st) == 0) size_ = st.st_size;
}

TFileSendSource::~TFileSendSource() { ::close(fd_); }

int64_t TFileSendSource::ReadAt(int64_t offset, void* buffer, int64_t count) const {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError("Cannot read " + path_ + ": " + std::strerror(errno));
    if (n == 0) break;
    done += n;
  }
  return done;
}

namespace {

// The body of a FileSend request as one read-only stream: the name fields, then the source's
// bytes read from disk as they are asked for, so memory does not grow with the file. Its size is
// fixed when it is made; a source that has shrunk since runs short, which fails the read.
class TFileSendBody : public TStream {
 public:
  TFileSendBody(std::string fields, const TFileSendSource& source) : fields_(std::move(fields)), source_(source) {}

  int64_t Read(void* buffer, int64_t count) override {
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    const int64_t head = static_cast<int64_t>(fields_.size());
    count = std::min(count, Size() - position_);
    if (position_ < head && count > 0) {
      const int64_t n = std::min(count, head - position_);
      std::memcpy(out, fields_.data() + position_, static_cast<size_t>(n));
      done = n;
    }
    if (done < count) done += source_.ReadAt(position_ + done - head, out + done, count - done);
    position_ += done;
    return done;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? position_ : Size();
    position_ = std::clamp<int64_t>(base + offset, 0, Size());
    return position_;
  }
  void SetSize(int64_t) override { throw EStreamError("A file being sent cannot change its size"); }
  int64_t Size() override { return static_cast<int64_t>(fields_.size()) + source_.Size(); }

 private:
  std::string fields_;
  const TFileSendSource& source_;
  int64_t position_ = 0;
};

// The two name fields of a request: only the name part of `name` goes out.
std::string FileFields(const std::string& area, const std::string& name) {
  return BuildFileFields(area, ExtractFileName(name));
}

}  // namespace

// --- the commands ---

bool TMarvekConnection::FileExists(const std::string& area, const std::string& name) {
  if (area.empty() || name.empty()) return false;
  return Trap("FileExists", false, [&] { return YTest(Xmit(mvcmd::FileExists, FileFields(area, name))); });
}

bool TMarvekConnection::DeleteFile(const std::string& area, const std::string& name) {
  if (area.empty() || name.empty()) return false;
  return Trap("DeleteFile", false, [&] { return YTest(Xmit(mvcmd::DeleteFile, FileFields(area, name))); });
}

int32_t TMarvekConnection::FileLength(const std::string& area, const std::string& name) {
  if (area.empty() || name.empty()) return 0;
  return Trap("FileLength", 0, [&] { return DecodeFileLength(Xmit(mvcmd::FileLength, FileFields(area, name))); });
}

std::unique_ptr<TFileSendSource> TMarvekConnection::OpenSendSource(const std::string& path) {
  if (!platform::IsRegularFile(path)) {
    ReportError("MarvekConnection.FileSend", "No such file or directory");
    return nullptr;
  }
  const platform::TExclusiveOpen opened = platform::OpenReadExclusive(path);
  if (opened.fd == -1) {
    ReportError("MarvekServer.FileSend", "Opening source:" + path);
    return nullptr;
  }
  std::unique_ptr<TFileSendSource> source(new TFileSendSource(opened.fd, path));
  if (source->Size() > kMvMaxFileSize) {
    // Its length would wrap the frame's length field and the 32-bit lengths of both ends.
    ReportError("MarvekServer.FileSend", "File too large to send: " + path + " holds " +
                                             std::to_string(source->Size()) + " bytes, at most " +
                                             std::to_string(kMvMaxFileSize) + " can be sent");
    return nullptr;
  }
  return source;
}

int32_t TMarvekConnection::FileSend(const std::string& area, const std::string& source, const std::string& target) {
  if (area.empty() || source.empty()) return 0;
  std::unique_ptr<TFileSendSource> file = OpenSendSource(source);
  if (!file) return 0;
  return FileSend(area, *file, target);
}

int32_t TMarvekConnection::FileSend(const std::string& area, const TFileSendSource& source, const std::string& target) {
  if (area.empty()) return 0;
  if (!Active()) {
    // Nothing can go out: the size of the file must not pass for bytes sent.
    ReportError("MarvekConnection.FileSend", "Not connected");
    return 0;
  }
  try {
    TFileSendBody body(FileFields(area, target.empty() ? source.Path() : target), source);
    // No reply: the connection was lost, or the server did not store the file.
    if (!StreamSendReceive(mvcmd::FileSend.code, body)) throw EMvReplyError("File not stored");
    return static_cast<int32_t>(source.Size());
  } catch (const std::exception&) {
    ReportError("MarvekServer.FileSend", "Copying from source");
    return 0;
  }
}

}  // namespace tavrik
