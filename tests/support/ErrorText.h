// The message of the error an action raises, for tests that compare the system's own texts.
#pragma once

#include <functional>
#include <string>

#include "core/Exception.h"

namespace tavrik::testing {

inline std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

}  // namespace tavrik::testing
