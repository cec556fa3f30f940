// The application's data modules and forms, in the order they were made: the roots that a search
// for components walks (an environment looking for its tables, a table for its environment).
//
// A root is listed for as long as its TApplicationRoot registration lives; make the registration
// a member of the root so that it goes with it.
#pragma once

#include <vector>

#include "core/Component.h"

namespace tavrik {

enum class TRootKind { rkDataModule, rkForm };

class TApplicationRoot {
 public:
  TApplicationRoot(TComponent& root, TRootKind kind);
  ~TApplicationRoot();
  TApplicationRoot(const TApplicationRoot&) = delete;
  TApplicationRoot& operator=(const TApplicationRoot&) = delete;

  // The roots of a kind now listed, oldest first (main thread only).
  static std::vector<TComponent*> Roots(TRootKind kind);

 private:
  TComponent& root_;
  TRootKind kind_;
};

}  // namespace tavrik
