// The local file of an upload, opened the way FileSend needs it: it exists, it is held open for
// reading without sharing (nobody may change it while it goes out), and it is small enough for
// the protocol's 32-bit lengths. TMarvekConnection::OpenSendSource makes one; a caller that opens
// the source before anything else learns what the send would refuse while the server's copy is
// still untouched, and then sends exactly the file it checked.
//
// Ownership: the source owns its descriptor; destroying it closes the file and ends the hold.
#pragma once

#include <cstdint>
#include <string>

namespace tavrik {

class TFileSendSource {
 public:
  ~TFileSendSource();
  TFileSendSource(const TFileSendSource&) = delete;
  TFileSendSource& operator=(const TFileSendSource&) = delete;

  const std::string& Path() const { return path_; }
  // The size when the file was opened; a send sends exactly this many bytes.
  int64_t Size() const { return size_; }
  // Reads up to `count` bytes at `offset`, fewer only at the end of the file; raises EReadError
  // when the file cannot be read.
  int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const;

 private:
  friend class TMarvekConnection;
  // Takes over `fd`, an open descriptor of `path`.
  TFileSendSource(int fd, std::string path);

  int fd_;
  std::string path_;
  int64_t size_ = 0;
};

}  // namespace tavrik
