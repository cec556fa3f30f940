// The actions' port over plain values, for tests: the texts a user would have typed, and every
// status text, page and progress step the actions show; OnProgress runs at each step of the bar.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/ActionPorts.h"

namespace tavrik::testing {

class RecordingPorts : public TActionPorts {
 public:
  std::string UserIdText() override { return user; }
  std::string PasswordText() override { return password; }
  std::string SourceFileText() override { return source; }
  bool Compression() override { return compression; }
  void SetStatusText(int panel, const std::string& text) override {
    status[size_t(panel)] = text;
    status_history[size_t(panel)].push_back(text);
  }
  void ShowPage(int page) override { pages.push_back(page); }
  int ProgressMax() override { return progress_max; }
  void SetProgressMin(int min) override { progress_min = min; }
  void SetProgressMax(int max) override { progress_max = max; }
  void SetProgressPosition(int position) override {
    progress_position = position;
    positions.push_back(position);
    if (OnProgress) OnProgress(position);
  }

  std::string user;
  std::string password;
  std::string source;
  bool compression = true;
  std::string status[5];
  std::vector<std::string> status_history[5];  // every text of each panel, in order
  std::vector<int> pages;  // each ShowPage, in order
  int progress_min = 0;
  int progress_max = 100;
  int progress_position = 0;
  std::vector<int> positions;  // each position set, in order
  std::function<void(int position)> OnProgress;
};

}  // namespace tavrik::testing
