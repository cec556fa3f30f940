#include "exlog/ESmtp.h"

#include <ctime>
#include <fstream>
#include <sstream>

#include "core/StrUtils.h"
#include "exlog/EDns.h"
#include "exlog/EMime.h"
#include "exlog/EReport.h"
#include "platform/SystemInfo.h"

namespace tavrik::exlog {

std::vector<std::string> SplitRecipients(const std::string& recipients) {
  std::vector<std::string> list;
  size_t start = 0;
  for (;;) {
    size_t semicolon = recipients.find(';', start);
    std::string one = Trim(recipients.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start));
    if (!one.empty()) list.push_back(one);
    if (semicolon == std::string::npos) return list;
    start = semicolon + 1;
  }
}

void TSmtpSender::Status(const std::string& text) {
  if (progress_) progress_->SetStatus(text);
}

bool TSmtpSender::SendSmtp(bool direct, const std::string& sender, const std::string& host,
                           const std::vector<std::string>& attachments, const std::string& body,
                           const std::string& subject, const std::string& recipients, const std::string& password,
                           const std::string& user, uint16_t port) {
  std::vector<TAttachment> files;
  for (const std::string& file : attachments) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    if (!in) {
      warn_("SMTP", "Cannot read the attachment " + file);
      continue;
    }
    files.push_back(TAttachment{file.substr(file.rfind('/') + 1), content.str()});
  }
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const std::vector<std::string> list = SplitRecipients(recipients);
  bool accepted = false;
  for (size_t i = 0; i < list.size(); ++i) {
    if (progress_) progress_->SetPosition(0, 1);
    const std::string prefix =
        texts_[txSmtpMessage] + " " + std::to_string(i + 1) + "/" + std::to_string(list.size()) + ": ";
    const std::string data =
        SmtpData(MimeMessage(TMailMessage{RavlogDate(now), sender, subject, list[i], body, files}));
    try {
      Converse(direct, sender, host, list[i], data, password, user, port, prefix);
      accepted = true;
    } catch (const std::exception& e) {
      warn_("SMTP", list[i] + ": " + e.what());
    }
  }
  return accepted;
}

void TSmtpSender::Converse(bool direct, const std::string& sender, const std::string& host,
                           const std::string& recipient, const std::string& data, const std::string& password,
                           const std::string& user, uint16_t port, const std::string& status_prefix) {
  std::string server = host;
  if (direct) {
    Status(status_prefix + texts_[txResolvingMx]);
    server = ResolveMailExchanger(recipient, TimeOut);
  }
  TRavlogClientSMTP smtp;  // closed when it goes, whatever happened
  smtp.Host = server;
  smtp.Port = port;
  smtp.TimeOut = TimeOut;
  Status(status_prefix + texts_[txConnecting]);
  smtp.Connect();
  smtp.Expect(220);
  Status(status_prefix + texts_[txConnected]);
  const std::string local = platform::ComputerName();
  if (!user.empty() || !password.empty()) {
    smtp.Command("EHLO " + local, 250);
    smtp.Command("RSET", 250);
    smtp.Command("AUTH LOGIN", 334);
    smtp.Command(Base64Line(user), 334);
    smtp.Command(Base64Line(password), 235, -1, "********");
  } else {
    smtp.Command("HELO " + local, 250);
    smtp.Command("RSET", 250);
  }
  smtp.Command("MAIL FROM:<" + Blanked(sender) + ">", 250);
  Status(status_prefix + texts_[txSending]);
  smtp.Command("RCPT TO:<" + Blanked(recipient) + ">", 250, 251);
  smtp.Command("DATA", 354);
  smtp.OnProgress = [this](size_t sent, size_t total) {
    if (progress_) progress_->SetPosition(static_cast<int>(sent / 1024), static_cast<int>((total + 1023) / 1024));
  };
  smtp.Send(data, "<message>\r\n");
  smtp.Expect(250);
}

}  // namespace tavrik::exlog
