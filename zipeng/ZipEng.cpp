// libzipeng.so: the two entry points and one run of ZipEngExec. A run reads the call record
// (the newer layout), finds the files the file specs name, decides for each whether it is
// added, replaces an entry or is left alone (update and freshen compare modification times),
// writes the new archive (unchanged entries copied as they are, new ones deflated on every core
// or stored), puts it in place of the old one, and then moves the added files away when asked.
// Every step is reported through the callback; an answer "stop", or an error, ends the run with
// the old archive untouched.
//
// Flags of the call record this engine has no use for on this system: force-DOS names, the
// volume label, the archive attribute (archive-only, reset-archive). They are accepted and have
// no effect.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <optional>

#include "core/StrUtils.h"
#include "platform/CodePage.h"
#include "platform/Trash.h"
#include "zip/ZIPENG.h"
#include "zipeng/Archive.h"
#include "zipeng/EngineCallback.h"
#include "zipeng/FileSpecs.h"
#include "zipeng/ParallelDeflate.h"
#include "zipeng/TradCrypt.h"

namespace tavrik::zipeng {

namespace {

constexpr int32_t kEngineVersion = 160;
// Files from this size on get Zip64 headers: deflate never grows data by more than a fraction
// of a percent, so their compressed size stays below 4 GiB too.
constexpr uint64_t kZip64FileSize = 0xFFFFFFFFull - (64ull << 20);
constexpr size_t kStoreChunk = 128 * 1024;
// Version made by: host system in the high byte (0 MS-DOS, 3 Unix), format version 3.0 in the low.
constexpr uint16_t kMadeByUnix = 3 << 8 | 30;
constexpr uint16_t kMadeByDos = 0 << 8 | 30;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint32_t kDosDirectory = 0x10;
constexpr uint32_t kDosReadOnly = 0x01;

uint32_t DosDateTime(time_t t) {
  std::tm tm{};
  ::localtime_r(&t, &tm);
  if (tm.tm_year < 80) return (0 << 25) | (1 << 21) | (1 << 16);  // 1980-01-01, the earliest there is
  if (tm.tm_year > 207) return (127u << 25) | (12 << 21) | (31 << 16) | (23 << 11) | (59 << 5) | 29;
  return static_cast<uint32_t>(tm.tm_year - 80) << 25 | static_cast<uint32_t>(tm.tm_mon + 1) << 21 |
         static_cast<uint32_t>(tm.tm_mday) << 16 | static_cast<uint32_t>(tm.tm_hour) << 11 |
         static_cast<uint32_t>(tm.tm_min) << 5 | static_cast<uint32_t>(tm.tm_sec / 2);
}

time_t TimeOfDos(uint32_t dos) {
  std::tm tm{};
  tm.tm_year = static_cast<int>(dos >> 25) + 80;
  tm.tm_mon = static_cast<int>(dos >> 21 & 15) - 1;
  tm.tm_mday = static_cast<int>(dos >> 16 & 31);
  tm.tm_hour = static_cast<int>(dos >> 11 & 31);
  tm.tm_min = static_cast<int>(dos >> 5 & 63);
  tm.tm_sec = static_cast<int>(dos & 31) * 2;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

std::string Text(const char* text) { return text ? text : ""; }

std::vector<std::string> StoreSuffixes(const char* text) {
  std::vector<std::string> suffixes;
  std::string all = LowerCase(Text(text));
  for (size_t start = 0; start < all.size();) {
    size_t colon = all.find(':', start);
    if (colon == std::string::npos) colon = all.size();
    if (colon > start) suffixes.push_back(all.substr(start, colon - start));
    start = colon + 1;
  }
  return suffixes;
}

// What happens to one entry of the new archive.
struct TPlanItem {
  const TOldEntry* keep = nullptr;     // copied unchanged
  const TSourceFile* add = nullptr;    // written from the file
  std::string name;                    // the new entry's name as stored
};

class TEngineRun {
 public:
  TEngineRun(const ZipCallRecordNew& record, TEngineCallback& callback) : record_(record), callback_(callback) {}
  int32_t Execute();

 private:
  const ZipCallCommon& Common() const { return record_.common; }
  bool Oem() const { return record_.code_page == kZipCodePageOem; }
  std::string StoredName(const std::string& entry_name) const;
  bool Stored(const TSourceFile& file) const;
  std::vector<TPlanItem> Plan(const std::vector<TSourceFile>& files);
  bool AddFile(const TSourceFile& file, std::string name, TNewArchive& out);
  void WriteData(int fd, const TSourceFile& file, uint64_t size, bool deflate, TTradCrypt* crypt, TNewArchive& out,
                 uint32_t& crc);
  void AfterCommit(const std::string& archive);

  const ZipCallRecordNew& record_;
  TEngineCallback& callback_;
  std::unique_ptr<TOldArchive> old_;
  std::unique_ptr<TParallelDeflate> deflate_;
  std::vector<std::string> suffixes_;
  std::string run_password_;
  int level_ = 9;
  std::vector<const TSourceFile*> added_;
  uint32_t latest_ = 0;
};

std::string TEngineRun::StoredName(const std::string& entry_name) const {
  if (!Oem()) return entry_name;
  return platform::AnsiToOem(platform::IsUtf8(entry_name) ? platform::Utf8ToAnsi(entry_name) : entry_name);
}

bool TEngineRun::Stored(const TSourceFile& file) const {
  if (level_ == 0 || file.is_dir || file.size == 0) return true;
  std::string name = LowerCase(file.entry_name);
  for (const auto& suffix : suffixes_)
    if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      return true;
  return false;
}

std::vector<TPlanItem> TEngineRun::Plan(const std::vector<TSourceFile>& files) {
  const bool update = Common().update != 0;
  const bool freshen = Common().freshen != 0 && !update;
  std::map<std::string, const TOldEntry*> old_by_name;
  if (old_)
    for (const auto& entry : old_->Entries()) old_by_name.emplace(entry.name, &entry);
  std::map<std::string, const TSourceFile*> replacing;
  std::vector<TPlanItem> appended;
  for (const auto& file : files) {
    std::string name = StoredName(file.entry_name);
    auto old = old_by_name.find(name);
    if (old == old_by_name.end()) {
      if (!freshen) appended.push_back({nullptr, &file, name});
      continue;
    }
    if ((update || freshen) && DosDateTime(file.mtime) <= old->second->dos_datetime) continue;
    replacing.emplace(name, &file);
  }
  // Replaced entries keep their place; new ones follow the old ones.
  std::vector<TPlanItem> plan;
  if (old_)
    for (const auto& entry : old_->Entries()) {
      auto replaced = replacing.find(entry.name);
      if (replaced != replacing.end())
        plan.push_back({nullptr, replaced->second, entry.name});
      else
        plan.push_back({&entry, nullptr, entry.name});
    }
  plan.insert(plan.end(), appended.begin(), appended.end());
  return plan;
}

int32_t TEngineRun::Execute() {
  const std::string archive = Text(Common().archive);
  if (archive.empty()) throw EEngineError(zeCreate, "No archive named");
  if (Common().spec_count < 0 || (Common().spec_count > 0 && !record_.specs) || record_.exclude_count < 0 ||
      (record_.exclude_count > 0 && !record_.excludes))
    throw EEngineError(zeBadRecord, "The call record's counts do not match its lists");
  level_ = Common().level < 0 ? Z_DEFAULT_COMPRESSION : std::min(Common().level, 9);
  suffixes_ = StoreSuffixes(Common().store_suffixes);

  struct stat archive_st {};
  const bool exists = ::stat(archive.c_str(), &archive_st) == 0;
  if (exists && !S_ISREG(archive_st.st_mode)) throw EEngineError(zeBadArchive, "Not a file: " + archive);

  std::vector<TSpec> specs;
  for (int i = 0; i < Common().spec_count; ++i) {
    const ZipFileSpecRecord& s = record_.specs[i];
    specs.push_back({Text(s.spec), Text(s.root_dir), s.recurse != 0, s.encrypt != 0, Text(s.password)});
  }
  TSpecOptions options;
  options.junk_dirs = Common().junk_dirs != 0;
  options.dir_entries = Common().no_dir_entries == 0;
  options.hidden_files = Common().hidden_files != 0;
  for (int i = 0; i < record_.exclude_count; ++i) options.excludes.push_back(Text(record_.excludes[i]));
  if (exists) {
    options.skip_device = archive_st.st_dev;
    options.skip_inode = archive_st.st_ino;
  }
  std::vector<TSourceFile> files =
      ExpandSpecs(specs, options, [&](int code, const std::string& text) { callback_.Message(code, text); });

  if (exists) old_ = std::make_unique<TOldArchive>(archive);
  std::vector<TPlanItem> plan = Plan(files);
  int64_t count = 0, total = 0;
  const TSourceFile* needs_password = nullptr;
  for (const auto& item : plan) {
    if (!item.add) continue;
    ++count;
    total += item.add->size;
    if (!needs_password && item.add->spec->encrypt && item.add->spec->password.empty() && !item.add->is_dir)
      needs_password = item.add;
  }
  if (count == 0) {
    if (Common().update == 0 && Common().freshen == 0) callback_.Message(zeNothingToDo, "Nothing to add to " + archive);
    return 0;
  }
  callback_.TotalFiles(count);
  callback_.TotalSize(total);
  if (needs_password) {
    run_password_ = callback_.AskPassword(needs_password->entry_name);
    if (run_password_.empty()) throw EEngineError(zePassword, "No password to encrypt with: nothing was added");
  }

  TNewArchive out(archive, Text(record_.temp_dir));
  for (const auto& item : plan) {
    if (item.keep) {
      old_->CopyTo(*item.keep, out);
      latest_ = std::max(latest_, item.keep->dos_datetime);
    } else if (AddFile(*item.add, item.name, out)) {
      added_.push_back(item.add);
    }
  }
  if (added_.empty()) return 0;  // every file went away before it was read: the old archive stays
  std::string comment = record_.comment ? Text(record_.comment) : old_ ? old_->Comment() : "";
  old_.reset();
  out.Commit(comment, exists ? archive_st.st_mode & 07777 : 0);
  AfterCommit(archive);
  return static_cast<int32_t>(added_.size());
}

bool TEngineRun::AddFile(const TSourceFile& file, std::string name, TNewArchive& out) {
  int fd = -1;
  uint64_t size = 0;
  time_t mtime = file.mtime;
  mode_t mode = file.mode;
  if (!file.is_dir) {
    // Not blocking on open: a file swapped for a pipe since it was found must not hang the run.
    fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      int error = errno;
      if (fd >= 0) ::close(fd);
      callback_.Message(zeOpenRead | error << 8, "Cannot read " + file.path + (error ? std::string(": ") + std::strerror(error) : ""));
      return false;
    }
    size = static_cast<uint64_t>(st.st_size);
    mtime = st.st_mtime;
    mode = st.st_mode;
  }
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0) ::close(fd);
    }
  } closer{fd};

  if (std::optional<std::string> renamed = callback_.NewName(name))
    if (!renamed->empty()) name = *renamed;
  std::string comment = callback_.FileComment(name).value_or("");
  callback_.NewFile(name, static_cast<int64_t>(size));

  const bool deflate = !Stored(file);
  const bool encrypt = file.spec->encrypt && !file.is_dir;
  const std::string& password = file.spec->password.empty() ? run_password_ : file.spec->password;
  TNewEntry entry;
  entry.name = name;
  entry.dos_datetime = DosDateTime(mtime);
  entry.version_made_by = Oem() ? kMadeByDos : kMadeByUnix;
  entry.flags = encrypt ? kFlagEncrypted : 0;
  bool non_ascii = std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  if (!Oem() && non_ascii && platform::IsUtf8(name)) entry.flags |= kFlagUtf8;
  entry.method = deflate ? Z_DEFLATED : 0;
  entry.level = deflate ? (level_ == Z_DEFAULT_COMPRESSION ? 6 : level_) : 0;
  entry.zip64 = size >= kZip64FileSize;
  uint32_t dos_attributes = (file.is_dir ? kDosDirectory : 0) | ((mode & S_IWUSR) ? 0 : kDosReadOnly);
  entry.external_attributes = Oem() ? dos_attributes : (static_cast<uint32_t>(mode & 0xFFFF) << 16 | dos_attributes);
  entry.comment = comment;

  std::unique_ptr<TTradCrypt> crypt;
  uint32_t expected_crc = 0;
  if (encrypt) {
    // The header carries the CRC's high byte, so the CRC is needed before the data.
    std::vector<uint8_t> buffer(kStoreChunk);
    uLong crc = crc32(0, nullptr, 0);
    for (uint64_t done = 0; done < size;) {
      ssize_t n = ::pread(fd, buffer.data(), static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - done)),
                          static_cast<off_t>(done));
      if (n <= 0) throw EEngineError(zeChanged, file.path + " changed while it was read");
      crc = crc32(crc, buffer.data(), static_cast<uInt>(n));
      done += static_cast<uint64_t>(n);
    }
    expected_crc = static_cast<uint32_t>(crc);
    crypt = std::make_unique<TTradCrypt>(password);
  }
  out.OpenEntry(entry);
  if (crypt) {
    auto header = crypt->Header(expected_crc);
    out.Write(header.data(), header.size());
  }
  uint32_t crc = 0;
  WriteData(fd, file, size, deflate, crypt.get(), out, crc);
  if (crypt && crc != expected_crc) throw EEngineError(zeChanged, file.path + " changed while it was read");
  out.CloseEntry(size, crc);
  latest_ = std::max(latest_, entry.dos_datetime);
  if (Common().verbose != 0) callback_.Message(0, "adding: " + name + (deflate ? " (deflated)" : " (stored)"));
  return true;
}

void TEngineRun::WriteData(int fd, const TSourceFile& file, uint64_t size, bool deflate, TTradCrypt* crypt,
                           TNewArchive& out, uint32_t& crc) {
  std::vector<uint8_t> scratch;
  auto put = [&](const uint8_t* data, size_t n) {
    if (!crypt) return out.Write(data, n);
    scratch.assign(data, data + n);
    crypt->Encrypt(scratch.data(), n);
    out.Write(scratch.data(), n);
  };
  uint64_t offset = 0;
  auto read = [&](uint8_t* buffer, size_t n) {
    for (size_t done = 0; done < n;) {
      ssize_t got = ::pread(fd, buffer + done, n - done, static_cast<off_t>(offset));
      if (got <= 0) throw EEngineError(zeChanged, file.path + " changed while it was read");
      done += static_cast<size_t>(got);
      offset += static_cast<uint64_t>(got);
    }
  };
  if (deflate) {
    if (!deflate_) deflate_ = std::make_unique<TParallelDeflate>(level_);
    crc = deflate_->Run(size, read, [&](const uint8_t* data, size_t n, size_t input_bytes) {
      put(data, n);
      callback_.Progress(static_cast<int64_t>(input_bytes));
    });
    return;
  }
  std::vector<uint8_t> buffer(kStoreChunk);
  uLong running = crc32(0, nullptr, 0);
  while (offset < size) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - offset));
    read(buffer.data(), n);
    running = crc32(running, buffer.data(), static_cast<uInt>(n));
    put(buffer.data(), n);
    callback_.Progress(static_cast<int64_t>(n));
  }
  crc = static_cast<uint32_t>(running);
}

// The archive is in place: what is left cannot undo it, so a request to stop only ends the
// reports.
void TEngineRun::AfterCommit(const std::string& archive) {
  try {
    if (Common().latest_time != 0) {
      time_t latest = TimeOfDos(latest_);
      timespec times[2] = {{latest, 0}, {latest, 0}};
      ::utimensat(AT_FDCWD, archive.c_str(), times, 0);
    }
    if (Common().move != 0) {
      for (const TSourceFile* file : added_) {
        if (file->is_dir) continue;
        try {
          if (record_.delete_to_trash != 0)
            platform::MoveToTrash(file->path);
          else if (::unlink(file->path.c_str()) != 0)
            throw EEngineError(zeDelete, "Cannot delete " + file->path + ": " + std::strerror(errno), errno);
        } catch (const EEngineError& e) {
          callback_.Message(e.Code(), e.Message());
        } catch (const ETrashError& e) {
          callback_.Message(zeDelete, e.Message());
        }
      }
    }
    callback_.EndOfBatch();
  } catch (const EZipAborted&) {
  }
}

}  // namespace

}  // namespace tavrik::zipeng

using namespace tavrik;

extern "C" __attribute__((visibility("default"))) int32_t ZIPENG_CALL GetZipEngVersion() {
  return zipeng::kEngineVersion;
}

extern "C" __attribute__((visibility("default"))) int32_t ZIPENG_CALL ZipEngExec(ZipCallCommon* record) {
  if (!record) return 0;
  zipeng::TEngineCallback callback(*record, zipeng::kEngineVersion);
  auto report = [&](int code, const std::string& text) {
    try {
      callback.Message(code, text);
    } catch (const zipeng::EZipAborted&) {
    }
  };
  try {
    const auto& full = *reinterpret_cast<const ZipCallRecordNew*>(record);
    if (full.marker != kZipRecordMarker) throw zipeng::EEngineError(zeBadRecord, "Not a call record this engine reads");
    zipeng::TEngineRun run(full, callback);
    return run.Execute();
  } catch (const zipeng::EZipAborted&) {
  } catch (const zipeng::EEngineError& e) {
    report(e.Code(), e.Message());
  } catch (const std::bad_alloc&) {
    report(zeMemory, "Out of memory");
  } catch (const std::exception& e) {
    report(zeFailed, e.what());
  }
  return 0;
}
