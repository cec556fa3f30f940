// The progress bar of tavrik-send: one line on a terminal, redrawn in place as the file goes
// out, ended with a newline when the last block has gone or when the line must give way to a
// message. Every request sent as a stream reports its progress (a log row's record too), so only
// the transfer announced by Arm is drawn.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tavrik {

class TSendBar {
 public:
  // Draws on `out` (not owned); nullptr draws nothing.
  explicit TSendBar(std::FILE* out) : out_(out) {}

  // The next transfer is the one to draw.
  void Arm() { armed_ = true; }
  // A transfer of `max` units begins; it is drawn when it was announced.
  void Start(int64_t max);
  // The bar's position: the units sent so far modulo `max`, as the data module hands it on, so
  // a position of 0 after the first one means that the whole of `max` has gone.
  void Position(int64_t position);
  // Ends a line still being drawn, so the next text starts on a line of its own; later positions
  // are not drawn until the next Start.
  void End();

  static constexpr int kWidth = 40;

 private:
  void Draw(int64_t position);

  std::FILE* out_;
  int64_t max_ = 0;
  int positions_ = 0;  // positions since Start
  int drawn_ = -1;     // the percentage on the line, -1 before the first
  bool armed_ = false;   // the next transfer is drawn
  bool active_ = false;  // positions are drawn
};

}  // namespace tavrik
