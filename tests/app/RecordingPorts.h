// The actions' port over plain values, for tests: the texts a user would have typed, and every
// status text, page and progress step the actions show.
#pragma once

#include <string>
#include <vector>

#include "app/ActionPorts.h"

namespace tavrik::testing {

class RecordingPorts : public TActionPorts {
 public:
  std::string UserIdText() override { return user; }
  std::string PasswordText() override { return password; }
  void SetStatusText(int panel, const std::string& text) override { status[size_t(panel)] = text; }
  void ShowPage(int page) override { pages.push_back(page); }
  int ProgressMax() override { return progress_max; }
  void SetProgressMin(int min) override { progress_min = min; }
  void SetProgressMax(int max) override { progress_max = max; }
  void SetProgressPosition(int position) override { progress_position = position; }

  std::string user;
  std::string password;
  std::string status[5];
  std::vector<int> pages;  // each ShowPage, in order
  int progress_min = 0;
  int progress_max = 100;
  int progress_position = 0;
};

}  // namespace tavrik::testing
