#include "app/send/SendPorts.h"

#include <utility>

namespace tavrik {

TSendPorts::TSendPorts(std::string user, std::string password, std::string file, bool compression, TSendBar& bar)
    : user_(std::move(user)), password_(std::move(password)), file_(std::move(file)), compression_(compression),
      bar_(bar) {}

void TSendPorts::SetStatusText(int panel, const std::string& text) {
  if (panel == 2 && text == "Sending...") bar_.Arm();
}

void TSendPorts::SetProgressMax(int max) {
  max_ = max;
  bar_.Start(max);
}

void TSendPorts::ShowMessage(const std::string& text, platform::TMsgDlgType) { last_message_ = text; }

}  // namespace tavrik
