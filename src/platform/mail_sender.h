#pragma once

// An SMTP client for the alert mail (over libcurl's SMTP). Texts are GBK.

#include <memory>
#include <string>

#include "text/text.h"

namespace qm {

class MailSender {
 public:
  MailSender();
  ~MailSender();
  MailSender(const MailSender&) = delete;
  MailSender& operator=(const MailSender&) = delete;

  // Ends an open connection first (QUIT), then connects; logs in (LOGIN or PLAIN, as
  // the server offers) when user name and password are both given; uses STARTTLS
  // when the server offers it. Gives whether the connection stands.
  bool connect(const std::string& server, int port, const Text& user, const Text& password);
  // Sends one mail over the open connection: empty text exactly when the server
  // accepted it, else a text saying why. A recipient or sender that is not a plain
  // mail address (one "@", printable ASCII, no line break) fails before the server
  // hears of it.
  Text send(const Text& subject, const Text& body, const Text& recipient, const Text& sender);
  // Says QUIT and closes the connection.
  void disconnect();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace qm
