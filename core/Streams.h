// Byte streams: the abstract TStream, TMemoryStream (a growable buffer in memory) and
// TFileStream (an open file). Read/Write move at most the count asked and return what they
// moved; ReadBuffer/WriteBuffer insist on the whole count and raise otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Exception.h"

namespace tavrik {

TAVRIK_EXCEPTION(EStreamError, Exception);
TAVRIK_EXCEPTION(EReadError, EStreamError);
TAVRIK_EXCEPTION(EWriteError, EStreamError);
TAVRIK_EXCEPTION(EFCreateError, EStreamError);
TAVRIK_EXCEPTION(EFOpenError, EStreamError);

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  virtual int64_t Size();

  // Raise "Stream read error" / "Stream write error" when fewer bytes move than asked.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  void WriteString(const std::string& text) { WriteBuffer(text.data(), static_cast<int64_t>(text.size())); }

  // Copies `count` bytes from the current position of `source`; a count of 0 copies the whole
  // of `source` from its beginning. Returns the number of bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }

  void Clear();
  char* Memory() { return data_.data(); }
  const char* Memory() const { return data_.data(); }
  // The whole contents as text, whatever the position.
  std::string ToString() const { return std::string(data_.begin(), data_.end()); }
  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path) const;

 private:
  std::vector<char> data_;
  int64_t position_ = 0;
};

class TFileStream : public TStream {
 public:
  enum Mode { fmOpenRead, fmOpenWrite, fmOpenReadWrite, fmCreate };
  // Raises EFOpenError "Cannot open file <path>" or EFCreateError "Cannot create file <path>".
  TFileStream(const std::string& path, Mode mode);
  // Adopts a descriptor that is already open; the stream closes it.
  TFileStream(int fd, std::string path);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;

  int Handle() const { return fd_; }
  const std::string& FileName() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

}  // namespace tavrik
