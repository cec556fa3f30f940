#include "app/AppException.h"

#include "exlog/ExceptionLog.h"
#include "platform/Dialogs.h"

namespace tavrik {

void HandleException(const std::exception& error) {
  if (exlog::InstalledLog()) return exlog::HandleApplicationException();
  platform::CurrentDialogs().ShowMessage(error.what(), platform::TMsgDlgType::mtError);
}

bool RunGuarded(const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const std::exception& error) {
    HandleException(error);
    return false;
  }
}

}  // namespace tavrik
