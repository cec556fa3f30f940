// The file commands on named file areas: FileExists "0054", DeleteFile "0055", FileSend "0037"
// and FileLength "0038".
//
// Request payload, all four: the area name (matched without regard to case) and a plain file
// name, laid out in proto/MvPayloads.h; FileSend follows them with the file's bytes.
//
// Replies, as laid out there: "0054" "Y" when the file exists, else "N"; "0055" "Y" when it
// was deleted, else "N"; "0038" the length; "0037" "Y" once the file is on disk under its name.
// A name that is not plain, an unknown area, a payload of the wrong size, a missing file for
// "0038", a length above 2^31-1 (the client reads a 32-bit signed number) or a failed write get
// the failure reply. A failed or broken upload leaves no file behind.
#pragma once

#include "server/Dispatcher.h"
#include "server/ServerContext.h"

namespace tavrik::server {

// The context must outlive the dispatcher.
void RegisterFileCommands(TDispatcher& dispatcher, TServerContext& context);

}  // namespace tavrik::server
