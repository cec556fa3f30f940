#include "app/send/SendBar.h"

#include <algorithm>
#include <string>

namespace tavrik {

void TSendBar::Start(int64_t max) {
  End();
  max_ = max;
  positions_ = 0;
  drawn_ = -1;
  active_ = armed_ && out_ != nullptr && max > 0;
  armed_ = false;
}

void TSendBar::Position(int64_t position) {
  if (!active_) return;
  if (positions_++ > 0 && position == 0) {
    Draw(max_);
    End();
  } else {
    Draw(position);
  }
}

void TSendBar::End() {
  if (active_ && drawn_ >= 0) {
    std::fputc('\n', out_);
    std::fflush(out_);
  }
  active_ = false;
}

void TSendBar::Draw(int64_t position) {
  position = std::clamp<int64_t>(position, 0, max_);
  // Each percent is drawn once: a large file moves the bar a few hundred times, not once a block.
  const int percent = static_cast<int>(position * 100 / max_);
  if (percent == drawn_) return;
  drawn_ = percent;
  const int filled = static_cast<int>(position * kWidth / max_);
  std::fprintf(out_, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
               std::string(size_t(kWidth - filled), ' ').c_str(), percent);
  std::fflush(out_);
}

}  // namespace tavrik
