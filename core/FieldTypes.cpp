#include "core/FieldTypes.h"

namespace tavrik {

bool IsBlobType(TFieldType type) {
  switch (type) {
    case TFieldType::ftBlob: case TFieldType::ftMemo: case TFieldType::ftGraphic: case TFieldType::ftFmtMemo:
    case TFieldType::ftParadoxOle: case TFieldType::ftDBaseOle: case TFieldType::ftTypedBinary:
    case TFieldType::ftOraBlob: case TFieldType::ftOraClob:
      return true;
    default:
      return false;
  }
}

int NativeFieldSize(TFieldType type, int size) {
  switch (type) {
    case TFieldType::ftString: case TFieldType::ftFixedChar: return size + 1;
    case TFieldType::ftSmallint: case TFieldType::ftWord: case TFieldType::ftBoolean: return 2;
    case TFieldType::ftInteger: case TFieldType::ftAutoInc: case TFieldType::ftDate: case TFieldType::ftTime:
      return 4;
    case TFieldType::ftFloat: case TFieldType::ftCurrency: case TFieldType::ftDateTime: case TFieldType::ftLargeint:
      return 8;
    case TFieldType::ftBCD: case TFieldType::ftFMTBcd: return 34;
    case TFieldType::ftTimeStamp: return 16;
    case TFieldType::ftBytes: return size;
    default: return 0;
  }
}

}  // namespace tavrik
