#include "xbase/DbfFields.h"

#include <set>

#include "core/ByteOrder.h"
#include "core/StrUtils.h"
#include "xbase/TableError.h"

namespace tavrik::xbase {

namespace {

bool NameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Whether the record text of a field of this type is its value's text, per table family.
bool HasTextForm(char type, TDbfFamily family) {
  switch (type) {
    case 'C': case 'N': case 'F': case 'D': case 'L': return true;
    // Visual FoxPro keeps memo references and B (double) binary; the older families keep
    // ten-digit block references.
    case 'M': case 'B': case 'G': case 'P': return family != TDbfFamily::visual_foxpro;
    default: return false;
  }
}

}  // namespace

std::vector<TFieldInfo> ParseFieldDescriptors(std::string_view h, const TDbfHeader& header, const std::string& path) {
  auto corrupt = [&](const std::string& what) { return ETableCorrupt("Corrupt table " + path + ": " + what); };
  const size_t end = std::min<size_t>(header.header_length, h.size());
  std::vector<TFieldInfo> fields;
  std::set<std::string> names;
  size_t pos = kDbfHeaderSize;
  int offset = 1;  // byte 0 is the deletion flag
  bool terminated = false;
  while (pos < end) {
    if (uint8_t(h[pos]) == kFieldTerminator) {
      terminated = true;
      break;
    }
    const int number = int(fields.size()) + 1;
    if (pos + kFieldDescriptorSize > end)
      throw corrupt("field descriptor " + std::to_string(number) + " extends past the header");
    std::string_view d = h.substr(pos, kFieldDescriptorSize);
    std::string_view raw_name = d.substr(0, 11);
    raw_name = raw_name.substr(0, std::min(raw_name.find('\0'), raw_name.size()));
    if (raw_name.empty()) throw corrupt("field descriptor " + std::to_string(number) + " has no name");
    for (char c : raw_name)
      if (!NameChar(c)) throw corrupt("field descriptor " + std::to_string(number) + " has an invalid name");
    TFieldInfo f;
    f.name = UpperCase(raw_name);
    f.type = UpperCase(std::string(1, d[11]))[0];
    f.width = uint8_t(d[16]);
    f.decimals = uint8_t(d[17]);
    if (f.type == 'C') {
      f.width += f.decimals * 256;
      f.decimals = 0;
    }
    if (!names.insert(f.name).second) throw corrupt("field " + f.name + " appears twice");
    if (!HasTextForm(f.type, header.Family()))
      throw ETableError("The engine cannot present table " + path + ": field " + f.name + " of type " +
                        std::string(1, f.type) + " has no text form");
    auto bad_width = [&] {
      return corrupt("field " + f.name + " of type " + std::string(1, f.type) + " has width " + std::to_string(f.width) +
                     " and " + std::to_string(f.decimals) + " decimals");
    };
    switch (f.type) {
      case 'C': if (f.width < 1) throw bad_width(); break;
      case 'N':
      case 'F':
        if (f.width < 1 || f.width > 32 || (f.decimals > 0 && f.decimals >= f.width)) throw bad_width();
        break;
      case 'D': if (f.width != 8) throw bad_width(); break;
      case 'L': if (f.width != 1) throw bad_width(); break;
      default: if (f.width != int(kMemoReferenceWidth)) throw bad_width(); break;  // memo references
    }
    f.offset = offset;
    offset += f.width;
    fields.push_back(std::move(f));
    pos += kFieldDescriptorSize;
  }
  if (fields.empty()) throw corrupt("the header describes no fields");
  if (!terminated) throw corrupt("the field descriptors do not end within the header");
  if (offset != header.record_length)
    throw corrupt("the record length " + std::to_string(header.record_length) + " differs from the fields' " +
                  std::to_string(offset));
  return fields;
}

std::string SerializeFieldDescriptors(const std::vector<TFieldInfo>& fields, TDbfFamily family) {
  std::string out;
  for (const TFieldInfo& f : fields) {
    std::string d(kFieldDescriptorSize, '\0');
    d.replace(0, std::min<size_t>(f.name.size(), 10), f.name.substr(0, 10));
    d[11] = f.type;
    if (family != TDbfFamily::dbase3)
      PutLe32(d, 12, uint32_t(f.offset));
    if (f.type == 'C') {
      PutLe16(d, 16, uint16_t(f.width));
    } else {
      d[16] = char(f.width);
      d[17] = char(f.decimals);
    }
    out += d;
  }
  out += char(kFieldTerminator);
  return out;
}

}  // namespace tavrik::xbase
