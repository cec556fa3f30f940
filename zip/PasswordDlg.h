// The ZIP component's password dialog: a modal box with a caption, a prompt, an edit field that
// shows "*" for each character and takes at most 80 of them, and up to four buttons in the order
// OK, Cancel, cancel-all, Abort. TPasswordDlg decides what the box holds; showing it goes through
// a port that the program binds to a real dialog and tests to a scripted one. Until one is
// bound, every dialog ends as if Cancel were pressed, so nothing below the user interface waits
// for a window that is not there.
#pragma once

#include <array>
#include <string>

namespace tavrik {

// How a dialog ended, with the values the callback reads.
enum TPasswordButton { pbOK = 0, pbCancel = 1, pbCancelAll = 2, pbAbort = 3 };
// Which buttons a dialog has.
enum TPasswordButtonBits : unsigned { pbbOK = 1, pbbCancel = 2, pbbCancelAll = 4, pbbAbort = 8 };

constexpr size_t kPasswordMaxLength = 80;

// What a port shows.
struct TPasswordDlgView {
  std::string caption;
  std::string prompt;
  unsigned buttons = pbbOK;                // TPasswordButtonBits; OK is always there
  std::array<std::string, 4> button_text;  // by TPasswordButton; empty when the program has none
};

class PasswordDialogPort {
 public:
  virtual ~PasswordDialogPort() = default;
  // Shows the dialog modally; `text` receives what was typed. Returns the button that ended it
  // (closing the box in another way counts as Cancel).
  virtual TPasswordButton Show(const TPasswordDlgView& view, std::string& text) = 0;
};

// Binds `port` (not owned; nullptr restores the answer-Cancel implementation). Returns the previous.
PasswordDialogPort* SetPasswordDialogPort(PasswordDialogPort* port);

class TPasswordDlg {
 public:
  // `buttons`: TPasswordButtonBits; OK is added when missing.
  explicit TPasswordDlg(unsigned buttons);

  // Shows the dialog: the typed text when it ended with OK, else empty.
  std::string ShowPwdDlg(const std::string& caption, const std::string& prompt);
  // How the last ShowPwdDlg ended.
  TPasswordButton Result() const { return result_; }

 private:
  unsigned buttons_;
  TPasswordButton result_ = pbCancel;
};

}  // namespace tavrik
