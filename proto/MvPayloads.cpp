#include "proto/MvPayloads.h"

#include <algorithm>

#include "core/StrUtils.h"
#include "proto/MvFields.h"

namespace tavrik {

using namespace mvproto;

std::string BuildBlobHeader(std::string_view field, uint32_t length) { return Pad(field, 10) + Hex(length, 8); }

TMvBlobHeader ParseBlobHeader(std::string_view head) {
  TFieldReader f(head);
  TMvBlobHeader h;
  h.field = f.Padded(10, "PutBlob field name");
  h.length = f.Hex(8, "PutBlob length");
  return h;
}

std::string BuildReplaceHeader(std::string_view field, int type_code) { return Pad(field, 10) + Hex(type_code, 4); }

TMvReplaceHeader ParseReplaceHeader(std::string_view head) {
  TFieldReader f(head);
  TMvReplaceHeader h;
  h.field = f.Padded(10, "Replace field name");
  h.type_code = static_cast<int>(f.Hex(4, "Replace type code"));
  return h;
}

int ReplaceValueSize(int type_code) {
  switch (type_code) {
    case 1: case 2: case 32: return 4;
    case 8: return 8;
    case 128: return 1;
    case 1024: case 1025: case 1056: case 3072: return kMvValueText;
    default: return 0;
  }
}

namespace {
enum class TSysPropPart { none, yn, one_or_zero, zero, hex8 };

TSysPropPart SysPropPartOf(int code) {
  switch (code) {
    case 1001: case 1003: case 1009: case 1303: return TSysPropPart::yn;
    case 1107: case 1305: return TSysPropPart::one_or_zero;
    case 1302: return TSysPropPart::zero;
    case 2000: case 3002: case 3004: return TSysPropPart::hex8;
    default: return TSysPropPart::none;
  }
}
}  // namespace

std::string BuildSysProp(uint16_t code, int32_t value) {
  std::string part;
  switch (SysPropPartOf(code)) {
    case TSysPropPart::yn: part = YN((value & 0xFF) != 0); break;
    case TSysPropPart::one_or_zero: part = value == 1 ? "1" : "0"; break;
    case TSysPropPart::zero: part = "0"; break;
    case TSysPropPart::hex8: part = Hex(value, 8); break;
    case TSysPropPart::none: break;
  }
  return Hex(code, 8) + part;
}

TMvSysProp ParseSysProp(std::string_view payload) {
  TFieldReader f(payload);
  TMvSysProp p;
  p.code = static_cast<int32_t>(f.Hex(8, "SysProp code"));
  const std::string_view part = f.Rest();
  switch (SysPropPartOf(p.code)) {
    case TSysPropPart::yn: p.value = ParseYN(part, "SysProp value") ? 1 : 0; break;
    case TSysPropPart::one_or_zero:
    case TSysPropPart::zero:
      if (part != "0" && part != "1") throw EMvField("SysProp value: 0 or 1 expected");
      p.value = part == "1" ? 1 : 0;
      break;
    case TSysPropPart::hex8: p.value = static_cast<int32_t>(ParseHexField(part, 8, "SysProp value")); break;
    case TSysPropPart::none:
      if (!part.empty()) throw EMvField("SysProp " + std::to_string(p.code) + " takes no value");
      break;
  }
  return p;
}

std::string BuildScope(std::string_view low, std::string_view high) {
  return Hex(static_cast<int64_t>(low.size()), 4) + Hex(static_cast<int64_t>(high.size()), 4) + Pad(low, 255) +
         Pad(high, 255);
}

TMvScope ParseScope(std::string_view payload) {
  TFieldReader f(payload);
  const size_t low_length = f.Hex(4, "SetScope low length");
  const size_t high_length = f.Hex(4, "SetScope high length");
  TMvScope s;
  s.low = std::string(f.Raw(std::max<size_t>(255, low_length), "SetScope low value").substr(0, low_length));
  s.high = std::string(f.Raw(std::max<size_t>(255, high_length), "SetScope high value").substr(0, high_length));
  f.End("SetScope");
  return s;
}

std::string BuildMemoRequest(uint16_t line_width, std::string_view field) {
  return Hex(0, 8) + Hex(line_width, 8) + std::string(field);
}

TMvMemoRequest ParseMemoRequest(std::string_view payload) {
  TFieldReader f(payload);
  f.Hex(8, "GetMemo");  // always 0: the client has nothing else to say there
  const uint32_t width = f.Hex(8, "GetMemo line width");
  if (width > 0xFFFF) throw EMvField("GetMemo: line width " + std::to_string(width));
  return {static_cast<uint16_t>(width), std::string(f.Rest())};
}

std::string BuildRowCount(const TMvRowCount& count) {
  return Hex(static_cast<uint32_t>(count.matches), 8) + Hex(static_cast<uint32_t>(count.record_count), 8);
}

TMvRowCount DecodeRowCount(std::string_view reply) {
  const std::string text = Trim(reply);
  if (text.size() < 16) throw EMvField("Short QueryRowCount reply");
  return {static_cast<int32_t>(ParseHex(text.substr(0, 8), "QueryRowCount result")),
          static_cast<int32_t>(ParseHex(text.substr(8, 8), "QueryRowCount record count"))};
}

std::string BuildFileFields(std::string_view area, std::string_view name) {
  auto field = [](std::string_view text) { return Pad(text.substr(0, kMvFileNameField), kMvFileNameField); };
  return field(area) + field(name);
}

TMvFileFields ParseFileFields(std::string_view fields) {
  TFieldReader f(fields);
  TMvFileFields r;
  r.area = f.Padded(kMvFileNameField, "file area");
  r.name = f.Padded(kMvFileNameField, "file name");
  return r;
}

std::string BuildFileLength(uint64_t length) {
  if (length > static_cast<uint64_t>(kMvMaxFileSize))
    throw EMvField("length " + std::to_string(length) + " does not fit the reply");
  return Hex(static_cast<int64_t>(length), 8);
}

int32_t DecodeFileLength(std::string_view reply) {
  const uint32_t length = ParseHex(reply, "FileLength");
  if (length > static_cast<uint32_t>(kMvMaxFileSize))
    throw EMvField("FileLength: " + std::to_string(length) + " is more than a file can hold");
  return static_cast<int32_t>(length);
}

std::string BuildProgress(const TMvProgress& p) { return Hex(p.min, 8) + Hex(p.max, 8) + Hex(p.position, 8); }

TMvProgress DecodeProgress(std::string_view payload) {
  if (payload.size() < 24) throw EMvField("Short progress notice");
  return {static_cast<int32_t>(ParseHex(payload.substr(0, 8), "progress")),
          static_cast<int32_t>(ParseHex(payload.substr(8, 8), "progress")),
          static_cast<int32_t>(ParseHex(payload.substr(16, 8), "progress"))};
}

}  // namespace tavrik
