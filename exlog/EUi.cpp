#include "exlog/EUi.h"

#include <atomic>

namespace tavrik::exlog {

namespace {
std::atomic<TRavlogUi*> g_ui{nullptr};
}  // namespace

TRavlogUi* CurrentRavlogUi() { return g_ui; }
TRavlogUi* SetRavlogUi(TRavlogUi* ui) { return g_ui.exchange(ui); }

}  // namespace tavrik::exlog
