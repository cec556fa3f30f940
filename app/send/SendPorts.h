// The ports of the upload actions for tavrik-send: the account and the file come from the
// command line, pages are remembered, messages are kept for the program to judge rather than
// shown, and the file's progress goes to a TSendBar.
#pragma once

#include <string>
#include <vector>

#include "app/ActionPorts.h"
#include "app/send/SendBar.h"
#include "platform/Dialogs.h"

namespace tavrik {

class TSendPorts : public TActionPorts, public platform::Dialogs {
 public:
  // `bar` (not owned) draws the progress.
  TSendPorts(std::string user, std::string password, std::string file, bool compression, TSendBar& bar);

  std::string UserIdText() override { return user_; }
  std::string PasswordText() override { return password_; }
  std::string SourceFileText() override { return file_; }
  bool Compression() override { return compression_; }
  // The step "Sending..." announces the file's transfer to the bar.
  void SetStatusText(int panel, const std::string& text) override;
  void ShowPage(int page) override { pages_.push_back(page); }
  int ProgressMax() override { return max_; }
  void SetProgressMin(int) override {}
  void SetProgressMax(int max) override;
  void SetProgressPosition(int position) override { bar_.Position(position); }

  // Messages are kept; nothing is ever confirmed or chosen.
  void ShowMessage(const std::string& text, platform::TMsgDlgType type) override;
  platform::TModalResult Confirm(const std::string&) override { return platform::TModalResult::mrCancel; }
  bool OpenFile(platform::TOpenDialogOptions&) override { return false; }

  // The pages a login showed, in order.
  const std::vector<int>& Pages() const { return pages_; }
  // The last message, "" when none was shown.
  const std::string& LastMessage() const { return last_message_; }

 private:
  std::string user_, password_, file_;
  bool compression_;
  TSendBar& bar_;
  int max_ = 100;
  std::vector<int> pages_;
  std::string last_message_;
};

}  // namespace tavrik
