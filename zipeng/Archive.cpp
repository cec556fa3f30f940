#include "zipeng/Archive.h"

#include <fcntl.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "zip/ZIPENG.h"

namespace tavrik::zipeng {

namespace {

constexpr size_t kCopyBufferSize = 64 * 1024;
constexpr uint16_t kZip64ExtraTag = 0x0001;

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A new folder only this user can enter, with a name nobody can guess, inside `parent`.
std::string MakePrivateFolder(const std::string& parent) {
  std::string pattern = parent + "/.zipeng-XXXXXX";
  if (!::mkdtemp(pattern.data()))
    throw EEngineError(zeCreate, "Cannot make a temporary folder in " + parent + ": " + std::strerror(errno), errno);
  return pattern;
}

// An extra field without its Zip64 block: minizip writes that block itself where it is needed.
std::string WithoutZip64(std::string extra) {
  if (extra.empty()) return extra;
  int length = static_cast<int>(extra.size());
  zipRemoveExtraInfoBlock(extra.data(), &length, static_cast<short>(kZip64ExtraTag));
  extra.resize(static_cast<size_t>(length));
  return extra;
}

void SyncPath(const std::string& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    int error = errno;
    if (fd >= 0) ::close(fd);
    throw EEngineError(zeWrite, "Cannot write " + path + " to the disk: " + std::strerror(error), error);
  }
  ::close(fd);
}

// The deflate level whose flag bits an entry carries (bits 1 and 2 of its flags).
int LevelOfFlags(uint16_t flags) {
  switch (flags >> 1 & 3) {
    case 1: return 9;
    case 2: return 2;
    case 3: return 1;
    default: return 6;
  }
}

}  // namespace

// --- the existing archive ------------------------------------------------------------------

TOldArchive::TOldArchive(const std::string& path) : path_(path) {
  unzFile uf = unzOpen64(path.c_str());
  if (!uf) throw EEngineError(zeBadArchive, "Not a ZIP archive that can be read: " + path);
  unzip_ = uf;
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(uf, &global) != UNZ_OK) throw EEngineError(zeBadArchive, "Cannot read the archive " + path);
  if (global.size_comment > 0) {
    comment_.resize(global.size_comment + 1);
    int n = unzGetGlobalComment(uf, comment_.data(), static_cast<uLong>(comment_.size()));
    comment_.resize(n > 0 ? static_cast<size_t>(n) : 0);
  }
  for (int rc = unzGoToFirstFile(uf); rc != UNZ_END_OF_LIST_OF_FILE; rc = unzGoToNextFile(uf)) {
    if (rc != UNZ_OK) throw EEngineError(zeBadArchive, "The directory of " + path + " is damaged");
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
      throw EEngineError(zeBadArchive, "The directory of " + path + " is damaged");
    TOldEntry e;
    e.name.resize(info.size_filename);
    e.central_extra.resize(info.size_file_extra);
    e.comment.resize(info.size_file_comment);
    if (unzGetCurrentFileInfo64(uf, &info, e.name.data(), info.size_filename, e.central_extra.data(),
                                info.size_file_extra, e.comment.data(), info.size_file_comment) != UNZ_OK)
      throw EEngineError(zeBadArchive, "The directory of " + path + " is damaged");
    unz64_file_pos position{};
    unzGetFilePos64(uf, &position);
    e.directory_position = position.pos_in_zip_directory;
    e.entry_number = position.num_of_file;
    e.dos_datetime = static_cast<uint32_t>(info.dosDate);
    e.version_made_by = static_cast<uint16_t>(info.version);
    e.flags = static_cast<uint16_t>(info.flag);
    e.method = static_cast<uint16_t>(info.compression_method);
    e.crc = static_cast<uint32_t>(info.crc);
    e.compressed_size = info.compressed_size;
    e.uncompressed_size = info.uncompressed_size;
    e.internal_attributes = static_cast<uint16_t>(info.internal_fa);
    e.external_attributes = static_cast<uint32_t>(info.external_fa);
    entries_.push_back(std::move(e));
  }
}

TOldArchive::~TOldArchive() {
  if (unzip_) unzClose(static_cast<unzFile>(unzip_));
}

void TOldArchive::CopyTo(const TOldEntry& entry, TNewArchive& out) {
  if (entry.method != 0 && entry.method != Z_DEFLATED)
    throw EEngineError(zeUnsupported, "Cannot keep " + entry.name + ": its compression method " +
                                          std::to_string(entry.method) + " is not one this engine writes");
  auto* uf = static_cast<unzFile>(unzip_);
  unz64_file_pos position{entry.directory_position, entry.entry_number};
  int method = 0, level = 0;
  if (unzGoToFilePos64(uf, &position) != UNZ_OK || unzOpenCurrentFile2(uf, &method, &level, 1) != UNZ_OK)
    throw EEngineError(zeBadArchive, "Cannot read " + entry.name + " in " + path_);
  std::string local_extra(static_cast<size_t>(std::max(0, unzGetLocalExtrafield(uf, nullptr, 0))), '\0');
  if (!local_extra.empty()) unzGetLocalExtrafield(uf, local_extra.data(), static_cast<unsigned>(local_extra.size()));

  TNewEntry copy;
  copy.name = entry.name;
  copy.dos_datetime = entry.dos_datetime;
  copy.version_made_by = entry.version_made_by;
  // Encrypted entries keep the data-descriptor bit: it says which byte checks their password.
  copy.flags = entry.flags & ((entry.flags & 1) ? 0x0809 : 0x0800);
  copy.method = entry.method;
  copy.level = entry.method == Z_DEFLATED ? LevelOfFlags(entry.flags) : 0;
  copy.zip64 = entry.uncompressed_size >= 0xFFFFFFFFu || entry.compressed_size >= 0xFFFFFFFFu;
  copy.internal_attributes = entry.internal_attributes;
  copy.external_attributes = entry.external_attributes;
  copy.local_extra = WithoutZip64(local_extra);
  copy.central_extra = WithoutZip64(entry.central_extra);
  copy.comment = entry.comment;
  out.OpenEntry(copy);
  std::vector<char> buffer(kCopyBufferSize);
  uint64_t copied = 0;
  for (;;) {
    int n = unzReadCurrentFile(uf, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (n < 0) throw EEngineError(zeBadArchive, "Cannot read " + entry.name + " in " + path_);
    if (n == 0) break;
    out.Write(buffer.data(), static_cast<size_t>(n));
    copied += static_cast<uint64_t>(n);
  }
  unzCloseCurrentFile(uf);
  if (copied != entry.compressed_size) throw EEngineError(zeBadArchive, entry.name + " in " + path_ + " is cut short");
  out.CloseEntry(entry.uncompressed_size, entry.crc);
}

// --- the new archive -----------------------------------------------------------------------

TNewArchive::TNewArchive(const std::string& target, const std::string& temp_dir) : target_(target) {
  folder_ = MakePrivateFolder(temp_dir.empty() ? FolderOf(target) : temp_dir);
  temp_path_ = folder_ + "/" + NameOf(target);
  zip_ = zipOpen64(temp_path_.c_str(), APPEND_STATUS_CREATE);
  if (!zip_) {
    int error = errno;
    Discard();
    throw EEngineError(zeCreate, "Cannot create " + temp_path_ + ": " + std::strerror(error), error);
  }
}

TNewArchive::~TNewArchive() {
  if (!committed_) Discard();
}

void TNewArchive::Discard() {
  if (zip_) zipClose(static_cast<zipFile>(zip_), nullptr);
  zip_ = nullptr;
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void TNewArchive::OpenEntry(const TNewEntry& e) {
  zip_fileinfo info{};
  info.dosDate = e.dos_datetime;
  info.internal_fa = e.internal_attributes;
  info.external_fa = e.external_attributes;
  int rc = zipOpenNewFileInZip4_64(
      static_cast<zipFile>(zip_), e.name.c_str(), &info, e.local_extra.empty() ? nullptr : e.local_extra.data(),
      static_cast<uInt>(e.local_extra.size()), e.central_extra.empty() ? nullptr : e.central_extra.data(),
      static_cast<uInt>(e.central_extra.size()), e.comment.empty() ? nullptr : e.comment.c_str(), e.method, e.level,
      1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, e.version_made_by, e.flags, e.zip64 ? 1 : 0);
  if (rc != ZIP_OK) throw EEngineError(zeWrite, "Cannot write " + e.name + " into " + temp_path_, errno);
}

void TNewArchive::Write(const void* data, size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    unsigned n = static_cast<unsigned>(std::min<size_t>(size, 1u << 30));
    if (zipWriteInFileInZip(static_cast<zipFile>(zip_), bytes, n) != ZIP_OK)
      throw EEngineError(zeWrite, "Cannot write " + temp_path_ + ": " + std::strerror(errno), errno);
    bytes += n;
    size -= n;
  }
}

void TNewArchive::CloseEntry(uint64_t uncompressed_size, uint32_t crc) {
  if (zipCloseFileInZipRaw64(static_cast<zipFile>(zip_), uncompressed_size, crc) != ZIP_OK)
    throw EEngineError(zeWrite, "Cannot write " + temp_path_ + ": " + std::strerror(errno), errno);
}

void TNewArchive::Commit(const std::string& comment, mode_t mode) {
  int rc = zipClose(static_cast<zipFile>(zip_), comment.empty() ? nullptr : comment.c_str());
  zip_ = nullptr;
  if (rc != ZIP_OK) throw EEngineError(zeWrite, "Cannot write " + temp_path_ + ": " + std::strerror(errno), errno);
  SyncPath(temp_path_, O_RDONLY);
  if (mode != 0 && ::chmod(temp_path_.c_str(), mode) != 0)
    throw EEngineError(zeRename, "Cannot set the permissions of " + temp_path_ + ": " + std::strerror(errno), errno);
  std::string source = temp_path_;
  std::string second_folder;
  if (::rename(source.c_str(), target_.c_str()) != 0) {
    if (errno != EXDEV)
      throw EEngineError(zeRename, "Cannot replace " + target_ + ": " + std::strerror(errno), errno);
    // The temporary folder lies on another file system: copy the archive beside the target
    // first, so that the last step is still one rename.
    second_folder = MakePrivateFolder(FolderOf(target_));
    source = second_folder + "/" + NameOf(target_);
    std::error_code error;
    std::filesystem::copy_file(temp_path_, source, error);
    if (!error) SyncPath(source, O_RDONLY);
    if (error || (mode != 0 && ::chmod(source.c_str(), mode) != 0) || ::rename(source.c_str(), target_.c_str()) != 0) {
      std::filesystem::remove_all(second_folder, error);
      throw EEngineError(zeRename, "Cannot replace " + target_, errno);
    }
    std::filesystem::remove_all(second_folder, error);
  }
  committed_ = true;
  SyncPath(FolderOf(target_), O_RDONLY | O_DIRECTORY);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

}  // namespace tavrik::zipeng
