// TZipwright::ReadDirectory: the entry list from the central directory of ZipFileName.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "core/StrUtils.h"
#include "platform/Paths.h"
#include "platform/Volumes.h"
#include "zip/ZipWrt.h"

namespace tavrik {

namespace {

// Exactly `count` bytes at `offset`, else EZipwright `error_number`.
std::string ReadAt(int fd, uint64_t offset, size_t count, int error_number) {
  std::string bytes(count, '\0');
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd, bytes.data() + done, count - done, static_cast<off_t>(offset + done));
    if (n <= 0) throw EZipwright(error_number, true);
    done += static_cast<size_t>(n);
  }
  return bytes;
}

// The disk number of a spanning disk's volume label "PKBACK# nnn" (0 when nnn is not a
// number); nothing when the label is not one.
std::optional<int> SpanDiskOfLabel(const std::string& label) {
  const std::string prefix = "PKBACK# ";
  if (label.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  std::optional<int32_t> number = TryStrToInt(label.substr(prefix.size(), 3));
  return number && *number >= 0 ? *number : 0;
}

}  // namespace

void TZipwright::ResetArchiveFacts() {
  entries_.clear();
  zip_file_size_ = zip_end_offset_ = zip_first_local_ = 0;
  zip_comment_.clear();
  end_record_disk_ = 0;
  multi_disk_ = data_in_front_ = spanned_ = false;
  skipped_entries_ = 0;
  drive_root_.clear();
  volume_name_.clear();
}

void TZipwright::ReadDirectory() {
  if (IsDesigning()) return;
  ResetArchiveFacts();
  if (!platform::IsRegularFile(zip_file_name_)) {
    if (OnDirUpdate) OnDirUpdate(this);
    return;
  }
  {
    // Runs whether or not an error of an event handler passes.
    struct Finish {
      TZipwright& zip;
      int fd = -1;
      ~Finish() {
        if (fd >= 0) ::close(fd);
        zip.BusyCursor(false);
      }
    } finish{*this};
    BusyCursor(true);
    try {
      CheckDrive();
      finish.fd = ::open(zip_file_name_.c_str(), O_RDONLY | O_CLOEXEC);
      if (finish.fd < 0) throw EZipwright(zmOpenArchive, true);
      ReadDirectoryFrom(finish.fd);
    } catch (const EZipwright& e) {
      ReportZipError(e);
    } catch (const std::bad_alloc&) {
      ShowZipMessage(zmOutOfMemory);
    } catch (const std::exception& e) {
      ShowZipMessage(zmDirectoryError, std::string("\n") + e.what());
    }
  }
  if (OnDirUpdate) OnDirUpdate(this);
}

// The drive of the archive is the volume mounted where its folder lies: its mount point stands
// in for the drive root. Paths here carry no drive letters, so every path passes the letter test.
void TZipwright::CheckDrive() {
  std::optional<platform::TVolumeInfo> volume = platform::VolumeOf(zip_file_name_);
  if (!volume) throw EZipwright(zmDriveUnusable, zip_file_name_);
  drive_root_ = volume->mount_point;
  volume_name_ = volume->label;
  if (volume->total_bytes == 0) throw EZipwright(zmDriveUnusable, drive_root_);
}

void TZipwright::ReadDirectoryFrom(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw EZipwright(zmOpenArchive, true);
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  zip_file_size_ = st.st_size;
  const std::optional<int> label_disk = SpanDiskOfLabel(volume_name_);
  if (size >= 8) {
    std::string head = ReadAt(fd, 0, 8, zmReadEnd);
    spanned_ = GetLE32(head, 0) == kSpanMarkerSignature && GetLE32(head, 4) == kLocalHeaderSignature;
  }

  // The end record: in the last 22 bytes when the archive has no comment, else within the
  // largest comment's reach of the end.
  std::string tail;
  std::optional<size_t> at;
  if (size >= kEndRecordSize) {
    tail = ReadAt(fd, size - kEndRecordSize, kEndRecordSize, zmReadEnd);
    at = FindEndRecord(tail);
    if (!at) {
      size_t window = static_cast<size_t>(std::min<uint64_t>(size, kEndSearchWindow));
      tail = ReadAt(fd, size - window, window, zmReadEnd);
      at = FindEndRecord(tail);
    }
  }
  if (!at) {
    if (!spanned_ && label_disk) throw EZipwright(zmNoEndRecordOnDisk, *label_disk);
    if (!spanned_) throw EZipwright(zmNoEndRecord, true);
    throw EZipwright(label_disk == 1 ? zmNoEndRecordDisk1 : zmNoEndRecordSpanned, true);
  }
  const uint64_t end_offset = size - tail.size() + *at;
  TZipEndRecord end = TZipEndRecord::FromBytes(std::string_view(tail).substr(*at));
  zip_end_offset_ = static_cast<int64_t>(end_offset);
  zip_comment_ = tail.substr(*at + kEndRecordSize, end.CommentLength);
  std::string_view after = std::string_view(tail).substr(*at + kEndRecordSize + end.CommentLength);
  // Padding of zeros up to a 512-byte boundary is what some copy programs leave; anything else
  // after the archive is worth a warning.
  bool padding = after.size() < 512 && size % 512 == 0 && std::all_of(after.begin(), after.end(), [](char c) { return c == 0; });
  if (!after.empty() && !padding) ShowZipMessage(zmBytesAfterEnd);

  end_record_disk_ = end.DiskNumber;
  multi_disk_ = end.DiskNumber != 0;
  // A Zip64 end record sits between the directory and the end record when the counts, size or
  // offset do not fit the end record's fields.
  uint64_t directory_end = end_offset;
  if (end_offset >= kZip64LocatorSize) {
    std::string locator = ReadAt(fd, end_offset - kZip64LocatorSize, kZip64LocatorSize, zmReadEnd);
    std::optional<uint64_t> record_offset = Zip64EndRecordOffset(locator);
    if (record_offset && *record_offset + kZip64EndRecordSize <= end_offset - kZip64LocatorSize) {
      std::string record = ReadAt(fd, *record_offset, kZip64EndRecordSize, zmReadEnd);
      if (GetLE32(record, 0) == kZip64EndRecordSignature) {
        end.ApplyZip64(record);
        directory_end = *record_offset;
      }
    }
  }
  if (end.CentralSize > directory_end) throw EZipwright(zmCentralSeek, true);
  const uint64_t directory_offset = directory_end - end.CentralSize;
  if (end.CentralDisk == end.DiskNumber && end.CentralOffset != directory_offset) {
    data_in_front_ = true;
    ShowZipMessage(zmDataInFront);
  }
  zip_first_local_ = size == kEndRecordSize ? 0 : static_cast<int64_t>(size);

  const std::string directory = ReadAt(fd, directory_offset, static_cast<size_t>(end.CentralSize), zmCentralSeek);
  std::string_view rest = directory;
  for (uint64_t i = 0; i < end.TotalEntries; ++i) {
    if (rest.size() < kCentralHeaderSize) throw EZipwright(zmCentralShort, true);
    if (GetLE32(rest, 0) != kCentralHeaderSignature) throw EZipwright(zmCentralSignature, true);
    ZipDirEntry entry = ZipDirEntry::FromHeader(rest);
    rest.remove_prefix(kCentralHeaderSize);
    auto take = [&](size_t count, int error_number) {
      if (rest.size() < count) throw EZipwright(error_number, true);
      std::string bytes(rest.substr(0, count));
      rest.remove_prefix(count);
      return bytes;
    };
    entry.FileName = EntryTextToAnsi(take(entry.NameLength, zmNameShort), entry.VersionMadeBy, entry.Flags, code_page_);
    entry.ExtraField = take(entry.ExtraLength, zmCentralSeek);
    entry.FileComment =
        EntryTextToAnsi(take(entry.CommentLength, zmCommentShort), entry.VersionMadeBy, entry.Flags, code_page_);
    zip_first_local_ = std::min<int64_t>(zip_first_local_, static_cast<int64_t>(entry.LocalHeaderOffset()));
    bool has_file_part = !entry.FileName.empty() && entry.FileName.back() != '/';
    if (has_file_part || use_dir_only_entries_) {
      entries_.push_back(std::move(entry));
      if (OnNewName) OnNewName(this, static_cast<int>(entries_.size()), entries_.back());
    } else {
      ++skipped_entries_;
    }
  }
}

}  // namespace tavrik
