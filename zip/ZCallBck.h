// The callback the engine calls while it works: it finds the component that made the call and
// lets it turn the record into events and answers. It never lets an error unwind into the
// engine: an error that leaves an event handler is kept by the component, which answers "stop"
// and reports it once the engine has returned.
#pragma once

#include <string>

#include "zip/ZIPENG.h"

namespace tavrik {

class TZipwright;

// The function whose address goes into the call record. Answers -1 when the engine is to stop
// (the component's Cancel is set, or the record's caller is not a live component), else 0.
int32_t ZIPENG_CALL ZipCallbackEntry(ZipCallbackRecord* record) noexcept;

// Components register while they live, so a record's caller can be checked before it is used.
void RegisterZipwright(TZipwright* component);
void UnregisterZipwright(TZipwright* component);

// The text of a callback record as the events get it: up to its first zero byte, trailing
// blanks and control characters removed. Folders stay separated by "/", the folder separator of
// the archive format and of this system alike.
std::string CallbackText(const ZipCallbackRecord& record);

}  // namespace tavrik
