// Dialogs for tests: answers are queued beforehand, every text shown is recorded, and a dialog
// with no answer queued fails the test instead of waiting. OnMessage runs while a message box is
// "shown", for what a test does in the middle of an action.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace tavrik::testing {

class ScriptedDialogs : public platform::Dialogs {
 public:
  ScriptedDialogs() { previous_ = platform::SetDialogs(this); }
  ~ScriptedDialogs() override { platform::SetDialogs(previous_); }

  // Queues the answer to the next confirmation.
  void AnswerConfirm(platform::TModalResult answer) { confirms_.push_back(answer); }
  // Queues the outcome of the next file dialog: a file name, or nothing for Cancel.
  void AnswerOpenFile(std::optional<std::string> file) { files_.push_back(std::move(file)); }

  void ShowMessage(const std::string& text, platform::TMsgDlgType type) override {
    messages.push_back(text);
    message_types.push_back(type);
    if (OnMessage) OnMessage(text);
  }
  platform::TModalResult Confirm(const std::string& text) override {
    confirmations.push_back(text);
    if (confirms_.empty()) {
      ADD_FAILURE() << "unexpected confirmation: " << text;
      return platform::TModalResult::mrCancel;
    }
    auto answer = confirms_.front();
    confirms_.pop_front();
    return answer;
  }
  bool OpenFile(platform::TOpenDialogOptions& options) override {
    opened_with.push_back(options.file_name);
    if (files_.empty()) {
      ADD_FAILURE() << "unexpected file dialog";
      return false;
    }
    auto file = files_.front();
    files_.pop_front();
    if (!file) return false;
    options.file_name = *file;
    return true;
  }

  std::vector<std::string> messages;
  std::vector<platform::TMsgDlgType> message_types;
  std::vector<std::string> confirmations;
  std::vector<std::string> opened_with;
  std::function<void(const std::string&)> OnMessage;

 private:
  platform::Dialogs* previous_;
  std::deque<platform::TModalResult> confirms_;
  std::deque<std::optional<std::string>> files_;
};

}  // namespace tavrik::testing
