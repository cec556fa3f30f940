// The field type codes of the data layer, shared by datasets, parameters of server procedures and
// SQL statements, and the server: the numbers are those that travel on the wire. Each type has
// a native form, the bytes in which a record buffer or a parameter holds its value.
#pragma once

#include <cstdint>

#include "core/Exception.h"

namespace tavrik {

// The errors of the data layer (datasets, fields, parameters).
TAVRIK_EXCEPTION(EDatabaseError, Exception);

enum class TFieldType : uint8_t {
  ftUnknown = 0, ftString = 1, ftSmallint = 2, ftInteger = 3, ftWord = 4, ftBoolean = 5, ftFloat = 6,
  ftCurrency = 7, ftBCD = 8, ftDate = 9, ftTime = 10, ftDateTime = 11, ftBytes = 12, ftVarBytes = 13,
  ftAutoInc = 14, ftBlob = 15, ftMemo = 16, ftGraphic = 17, ftFmtMemo = 18, ftParadoxOle = 19,
  ftDBaseOle = 20, ftTypedBinary = 21, ftCursor = 22, ftFixedChar = 23, ftWideString = 24,
  ftLargeint = 25, ftADT = 26, ftArray = 27, ftReference = 28, ftDataSet = 29, ftOraBlob = 30,
  ftOraClob = 31, ftVariant = 32, ftInterface = 33, ftIDispatch = 34, ftGuid = 35, ftTimeStamp = 36,
  ftFMTBcd = 37,
};
constexpr int kFieldTypeCount = 38;

// Native forms (little-endian):
//   ftString, ftFixedChar    size + 1 bytes: the text, NUL-terminated
//   ftSmallint, ftWord       2 bytes integer
//   ftBoolean                2 bytes: 0 false, all bits set true
//   ftInteger, ftAutoInc     4 bytes integer
//   ftDate                   4 bytes day number (1 January of year 1 is day 1)
//   ftTime                   4 bytes milliseconds since midnight
//   ftFloat, ftCurrency      8 bytes IEEE double
//   ftDateTime               8 bytes IEEE double: day number * 86400000 + milliseconds
//   ftLargeint               8 bytes integer
//   ftBCD, ftFMTBcd          34 bytes (see TBcd in core/Params.h)
//   ftTimeStamp              16 bytes (see TSQLTimeStamp in core/Params.h)
//   ftBytes                  size bytes
//   blobs and memos          no fixed native form: their contents travel as streams
bool IsBlobType(TFieldType type);
// The size of a fixed native form of a field of `type` and declared `size` in a record buffer;
// 0 for types whose values are not held in the buffer (blobs, memos, cursors ...).
int NativeFieldSize(TFieldType type, int size);

}  // namespace tavrik
