#include "core/Application.h"

#include <algorithm>
#include <utility>

namespace tavrik {

namespace {
std::vector<std::pair<TComponent*, TRootKind>>& List() {
  static std::vector<std::pair<TComponent*, TRootKind>> roots;
  return roots;
}
}  // namespace

TApplicationRoot::TApplicationRoot(TComponent& root, TRootKind kind) : root_(root), kind_(kind) {
  List().emplace_back(&root_, kind_);
}

TApplicationRoot::~TApplicationRoot() { std::erase(List(), std::make_pair(&root_, kind_)); }

std::vector<TComponent*> TApplicationRoot::Roots(TRootKind kind) {
  std::vector<TComponent*> out;
  for (const auto& [c, k] : List())
    if (k == kind) out.push_back(c);
  return out;
}

}  // namespace tavrik
