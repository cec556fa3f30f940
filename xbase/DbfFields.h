// The field descriptors of a DBF header: reading them (checked against the header and against
// what the engine can present as text) and writing them for a new table.
//
// Descriptors follow the 32-byte header, one per field, and end with the byte 0x0D:
//
//   OFFSET  SIZE  CONTENT
//   0       11    field name, ASCII, padded with NUL bytes
//   11      1     type letter: C character, N numeric, F float, D date (yyyymmdd), L logical,
//                 M memo, B binary, G general, P picture (the last four: a block reference into
//                 the memo file), and in Visual FoxPro binary types (I, B, Y, T, ...)
//   12      4     dBASE: reserved (a memory address); FoxPro: offset of the field in the record
//   16      1     width in bytes (character fields: its low byte)
//   17      1     decimals (character fields: the high byte of a width past 255)
//   18      14    reserved (Visual FoxPro: 18 field flags, 19-22 next autoincrement value,
//                 23 its step)
//
// Field offsets in the record are counted here from the widths, never taken from bytes 12-15.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "xbase/DbfHeader.h"
#include "xbase/ExprContext.h"

namespace tavrik::xbase {

constexpr size_t kFieldDescriptorSize = 32;
constexpr uint8_t kFieldTerminator = 0x0D;
constexpr size_t kMemoReferenceWidth = 10;

// Memo-like fields: their record text is a block reference into the memo file.
inline bool IsMemoType(char type) { return type == 'M' || type == 'B' || type == 'G' || type == 'P'; }

// Reads the descriptors in `header_bytes` (the whole header, header.header_length bytes). Raises
// ETableCorrupt for a descriptor past the header, a missing terminator, a bad name or width, a
// duplicate name and a record length that differs from the fields; ETableError "The engine
// cannot present table <path>: field <name> of type <t> has no text form" for a field whose
// record bytes are not text.
std::vector<TFieldInfo> ParseFieldDescriptors(std::string_view header_bytes, const TDbfHeader& header,
                                              const std::string& path);

// The descriptors of `fields` (offsets filled in) followed by the terminator.
std::string SerializeFieldDescriptors(const std::vector<TFieldInfo>& fields, TDbfFamily family);

}  // namespace tavrik::xbase
