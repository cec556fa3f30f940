// The engine settings of one client: each changes what the client's work areas opened later
// start with and, when a table is current, that work area's own setting.
//
//   code  command           request                         reply
//   0556  SetCentury        Y/N                             "Y"
//   0557  SetDateFormat     code, 8 hex digits (0..6, 99)   "Y"
//   0508  SetDeleted        Y/N: hide deleted records       "Y"
//   0593  SetEpoch          year, 8 hex digits (100..2999)  decimal: the epoch now in force
//   0506  SetExact          Y/N                             "Y"
//   0505  SetSoftSeek       Y/N                             "Y"
//   0576  SetTurboRead      Y/N (accepted)                  "Y"
//   0594  SetMemoBlockSize  decimal size padded to 10       bytes per block of new memo files,
//                                                           8 hex digits
//   0563  SysProp           code, 8 hex digits, then the    the answer, 8 hex digits
//                           value part (below)
//   0577  SetLockTimeOut    decimal seconds                 none: the client does not wait
//   0566  SetPassword       table password (accepted)       none
//   0587  SetTranslate      Y/N: OEM translation            none
//
// SysProp value parts: 1001 1003 1009 1303 Y/N; 1107 1305 "1"/"0"; 1302 "0"; 2000 3002 3004
// 8 hex digits; the other codes none. The engine answers 1002, 1003, 1006, 1008, 1009, 3000 and
// 3002 (xbase/WorkAreaSet.h); the rest fail.
//
// A record lock waits at most kMaxLockWait seconds whatever the client asks: a session thread
// waiting for a lock cannot be woken, and a longer wait would outlast the client's own reply
// time-out and hold up the server's shutdown.
#pragma once

#include "server/Dispatcher.h"
#include "server/ServerContext.h"

namespace tavrik::server {

constexpr int kMaxLockWait = 30;

void RegisterSettingCommands(TDispatcher& dispatcher, TServerContext& context);

}  // namespace tavrik::server
