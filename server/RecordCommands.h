// The cursor and record commands of the current work area. Each acts on the table current in
// the client's work-area set; without one it fails ("No table is open in work area <n>").
//
//   code  command        request                          reply
//   0473  AppendBlank    -                                new record number, 8 hex digits
//   0476  Bof            -                                Y/N
//   0479  Eof            -                                Y/N
//   0511  Commit         -                                "Y"
//   0477  Delete         -                                "Y"
//   0478  Deleted        -                                Y/N
//   0493  Go             record number, 8 hex digits      record number now current, 8 hex
//   0494  GoBottom       -                                "Y"
//   0495  GoTop          -                                "Y"
//   0509  Skip           count, 8 hex digits (negative    "Y"
//                        counts as two's complement)
//   0500  RecNo          -                                decimal
//   0470  RecCount       -                                decimal
//   0516  Count          -                                decimal: records visible
//   0502  Rlock          decimal record number (0: the    Y/N: N when another client holds it
//                        current one)                     past the lock time-out
//   0510  Unlock         record number, 8 hex digits      "Y"
//                        (0: every lock of the table)
//   0515  GetRecord      -                                the record image, record-size bytes
//   0499  PutRecord      the record image (streamed)      "Y"
//   0501  Replace        streamed, below                  "Y"
//   0480  GetBlob        field name                       the memo's bytes
//   0481  GetBlobLength  field name                       decimal
//   0498  PutBlob        streamed, below                  "Y"
//   0624  PutBlob result -                                bytes stored by the last "0498",
//                                                         8 hex digits; asked once
//
// PutRecord payload: exactly the table's record size; anything else is refused before a byte
// of it is read. The Replace and PutBlob streams are laid out in proto/MvPayloads.h; a PutBlob
// whose length does not match the bytes that follow is refused.
#pragma once

#include "server/Dispatcher.h"
#include "server/ServerContext.h"

namespace tavrik::server {

void RegisterRecordCommands(TDispatcher& dispatcher, TServerContext& context);

}  // namespace tavrik::server
