// The payloads of more than one field that are not a table's open or batch read: streamed record
// values, system properties, scopes, memo text, query counts, the file commands and the progress
// notice. Each layout has its writer and its reader here, for the two ends of the wire; both
// raise EMvField for what does not fit or does not read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrik {

// PutBlob "0498" stream (then "0624", no payload, answered with the bytes stored, hex8):
//   OFFSET SIZE CONTENT
//   0      10   field name, blank-padded
//   10     8    data length n, hexadecimal; exactly the bytes that follow
//   18     n    the data
constexpr size_t kMvBlobHeaderSize = 18;
struct TMvBlobHeader {
  std::string field;
  uint32_t length = 0;
};
std::string BuildBlobHeader(std::string_view field, uint32_t length);
TMvBlobHeader ParseBlobHeader(std::string_view head);

// Replace "0501" stream:
//   OFFSET SIZE CONTENT
//   0      10   field name, blank-padded
//   10     4    value type code, hexadecimal
//   14     n    the value bytes, by type code: 1, 2, 32: 4 bytes as in memory (least significant
//               first); 8: 8 bytes; 128: 1 byte; 1024, 1025, 1056, 3072: the text without its
//               NUL; any other code: none
constexpr size_t kMvReplaceHeaderSize = 14;
struct TMvReplaceHeader {
  std::string field;
  int type_code = 0;
};
std::string BuildReplaceHeader(std::string_view field, int type_code);
TMvReplaceHeader ParseReplaceHeader(std::string_view head);
// The value bytes of a type code: a fixed size, text (kMvValueText) or none (0).
constexpr int kMvValueText = -1;
int ReplaceValueSize(int type_code);

// SysProp "0563": the property code, hex8, then a value part by code:
//   1001 1003 1009 1303   Y/N of the value's low byte
//   1107 1305             "1" when the value is 1, else "0"
//   1302                  "0"
//   2000 3002 3004        the value, hex8
//   any other code        nothing
// Reply: the answer, hex8 (read with blanks around it).
struct TMvSysProp {
  int code = 0;
  int32_t value = 0;
};
std::string BuildSysProp(uint16_t code, int32_t value);
TMvSysProp ParseSysProp(std::string_view payload);

// SetScope "0567": the values' lengths tell them from their padding (a key may end in blanks).
//   OFFSET SIZE CONTENT
//   0      4    length of the low value, hexadecimal
//   4      4    length of the high value, hexadecimal
//   8      255  low value, blank-padded (a longer value whole, moving what follows)
//   263    255  high value, blank-padded
struct TMvScope {
  std::string low, high;
};
std::string BuildScope(std::string_view low, std::string_view high);
TMvScope ParseScope(std::string_view payload);

// GetMemo "0489": hex8 0, hex8 line width (16 bits), then the field name.
struct TMvMemoRequest {
  uint16_t line_width = 0;
  std::string field;
};
std::string BuildMemoRequest(uint16_t line_width, std::string_view field);
TMvMemoRequest ParseMemoRequest(std::string_view payload);

// QueryRowCount "0646" reply (read with blanks around it): hex8 matches, hex8 record count.
struct TMvRowCount {
  int32_t matches = 0;
  int32_t record_count = 0;
};
std::string BuildRowCount(const TMvRowCount& count);
TMvRowCount DecodeRowCount(std::string_view reply);

// File commands "0054", "0055", "0037", "0038":
//   OFFSET SIZE CONTENT
//   0      255  area name, blank-padded ("Files"); a longer name is cut to 255
//   255    255  file name, blank-padded and cut the same way; a plain name inside the area
//   510    n    FileSend only: the file's bytes, at most kMvMaxFileSize of them
// Replies: "0054" and "0055" "Y" (exists, deleted) or "N"; "0037" "Y" once the file is stored;
// "0038" the file's length, 8 upper-case hexadecimal digits (read: 1 to 8 digits, either case).
// A name is cut rather than sent whole: a longer field would move the file's bytes, and the
// server would store them shifted under a wrong name.
constexpr size_t kMvFileNameField = 255;
constexpr size_t kMvFileFields = 2 * kMvFileNameField;
// The largest file the commands can move: its length must fit the 32-bit signed numbers of the
// "0038" reply and of the client's results (and, with the fields, the frame's length).
constexpr int64_t kMvMaxFileSize = 0x7FFFFFFF;
struct TMvFileFields {
  std::string area;
  std::string name;
};
std::string BuildFileFields(std::string_view area, std::string_view name);
TMvFileFields ParseFileFields(std::string_view fields);
// EMvField for a length above kMvMaxFileSize.
std::string BuildFileLength(uint64_t length);
// EMvField for a reply that is not 1 to 8 hexadecimal digits or is above kMvMaxFileSize.
int32_t DecodeFileLength(std::string_view reply);

// Server progress notice "0300": hex8 Min, hex8 Max, hex8 Position (negative values as their
// 32-bit two's complement). The message notice "0301" is its text; the shutdown notice "0302"
// is empty.
struct TMvProgress {
  int32_t min = 0, max = 0, position = 0;
};
std::string BuildProgress(const TMvProgress& p);
TMvProgress DecodeProgress(std::string_view payload);

}  // namespace tavrik
