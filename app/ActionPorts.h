// What the program's actions need of the main window, as a port: the texts the user typed, the
// compression switch, the status bar, the pages and the progress bar. The window implements it
// over its controls; a program without a window, and the tests, over plain values. Dialogs, the
// screen cursor and the message pump are the platform's own ports.
#pragma once

#include <string>

namespace tavrik {

class TActionPorts {
 public:
  virtual ~TActionPorts() = default;

  // UserIdEdt and PaswoordEdt, as typed.
  virtual std::string UserIdText() = 0;
  virtual std::string PasswordText() = 0;
  // BronBestandEdt, as typed: the path of the file to send.
  virtual std::string SourceFileText() = 0;
  // ZipCB: compress the file before sending it.
  virtual bool Compression() = 0;
  // Panel 0 to 4 of the status bar.
  virtual void SetStatusText(int panel, const std::string& text) = 0;
  // Makes the tab of a page of PageControl1 visible.
  virtual void ShowPage(int page) = 0;
  // The progress bar FilePB.
  virtual int ProgressMax() = 0;
  virtual void SetProgressMin(int min) = 0;
  virtual void SetProgressMax(int max) = 0;
  virtual void SetProgressPosition(int position) = 0;
};

}  // namespace tavrik
