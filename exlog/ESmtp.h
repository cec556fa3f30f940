// The SMTP sending of a report (SendSmtp): one conversation per recipient, in list order, each
// on a connection of its own to the configured server or (direct) to the recipient's mail
// exchanger; with a user name or a password the conversation logs in with AUTH LOGIN.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exlog/ELang.h"
#include "exlog/EMail.h"
#include "exlog/ESockets.h"
#include "exlog/EUi.h"

namespace tavrik::exlog {

class TSmtpSender {
 public:
  // `progress` (may be null) shows each conversation; `warn` hears each failed one.
  TSmtpSender(const TCustomizedTexts& texts, TSendProgress* progress, TWarn warn)
      : texts_(texts), progress_(progress), warn_(std::move(warn)) {}

  // The longest wait for a reply, a DNS answer or a send, in milliseconds.
  int TimeOut = TRavlogClientSocket::kDefaultTimeOut;

  // Sends the message to each recipient of `recipients` (separated by ";"); true when at least
  // one was accepted. The attachments are files, sent under their file names.
  bool SendSmtp(bool direct, const std::string& sender, const std::string& host,
                const std::vector<std::string>& attachments, const std::string& body, const std::string& subject,
                const std::string& recipients, const std::string& password, const std::string& user, uint16_t port);

 private:
  void Converse(bool direct, const std::string& sender, const std::string& host, const std::string& recipient,
                const std::string& data, const std::string& password, const std::string& user, uint16_t port,
                const std::string& status_prefix);
  void Status(const std::string& text);

  const TCustomizedTexts& texts_;
  TSendProgress* progress_;
  TWarn warn_;
};

// The recipients of a ";"-separated list, blanks trimmed, empty entries left out.
std::vector<std::string> SplitRecipients(const std::string& recipients);

}  // namespace tavrik::exlog
