// Helpers shared by the ZIP tests: a scripted password dialog, running programs (the peers
// unzip and Python, and zipwright) with bounded waits, files, and a builder of small archives
// byte by byte for the cases no archiver writes (damaged numbers, foreign host systems).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "zip/PasswordDlg.h"

namespace tavrik::testing {

// Answers queued beforehand; every dialog shown is recorded; a dialog with no answer queued
// fails the test and ends as Cancel.
class ScriptedPasswordDialog : public PasswordDialogPort {
 public:
  ScriptedPasswordDialog() { previous_ = SetPasswordDialogPort(this); }
  ~ScriptedPasswordDialog() override { SetPasswordDialogPort(previous_); }

  void Answer(TPasswordButton button, std::string text = "") { answers_.emplace_back(button, std::move(text)); }
  TPasswordButton Show(const TPasswordDlgView& view, std::string& text) override {
    shown.push_back(view);
    if (answers_.empty()) {
      ADD_FAILURE() << "unexpected password dialog: " << view.prompt;
      return pbCancel;
    }
    auto [button, answer] = answers_.front();
    answers_.pop_front();
    text = answer;
    return button;
  }

  std::vector<TPasswordDlgView> shown;

 private:
  PasswordDialogPort* previous_;
  std::deque<std::pair<TPasswordButton, std::string>> answers_;
};

struct TRunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `argv` (argv[0] a full path) and waits at most `timeout` for it to end.
TRunResult Run(const std::vector<std::string>& argv, std::chrono::seconds timeout = std::chrono::seconds(120),
               long file_size_limit = 0);
// `/usr/bin/python3 zip_peer.py args...`: see zip_peer.py.
TRunResult ZipPeer(const std::vector<std::string>& args);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// `size` bytes of text that compresses about as well as a table of records.
std::string RecordText(size_t size, unsigned seed = 1);

// Builds an archive of stored entries with exactly the bytes given.
struct TBuiltEntry {
  std::string name = {};  // stored as is
  std::string data = {};
  uint16_t made_by = 3 << 8 | 30;
  uint16_t flags = 0;
  std::string extra = {};
  std::string comment = {};
};
std::string BuildArchive(const std::vector<TBuiltEntry>& entries, const std::string& comment = "");
void PutLE16(std::string& bytes, size_t at, uint16_t value);
void PutLE32(std::string& bytes, size_t at, uint32_t value);

}  // namespace tavrik::testing
