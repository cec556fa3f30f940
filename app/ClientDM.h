// The data module DM1: the program's non-visual components, alive from before the main window
// until the end of the run. Creating it loads the local engine library.
#pragma once

#include "core/Component.h"
#include "net/MvConn.h"

namespace tavrik {

class TDM1 : public TComponent {
 public:
  // Raises EMarvekDllError when the local engine library cannot be loaded.
  explicit TDM1(TComponent* owner = nullptr);

  // Owned by the module; inactive between user actions.
  TMarvekConnection* RemoteConnection;
};

}  // namespace tavrik
