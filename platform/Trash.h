// Deleting to the trash, the stand-in for the recycle bin: the freedesktop.org trash in the
// user's data folder ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash), where file managers
// show the file and can put it back.
#pragma once

#include <string>

#include "core/Exception.h"

namespace tavrik {

TAVRIK_EXCEPTION(ETrashError, Exception);

namespace platform {

// The trash folder in use (its "files" and "info" folders lie below it).
std::string TrashDir();

// Moves `path` into the trash with the information needed to restore it. Raises ETrashError
// with the reason when it cannot; the file then stays where it was. A file on another file
// system than the trash cannot be moved there.
void MoveToTrash(const std::string& path);

}  // namespace platform
}  // namespace tavrik
