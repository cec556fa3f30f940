#include "app/AppException.h"

#include "platform/Dialogs.h"

namespace tavrik {

void HandleException(const std::exception& error) {
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
