#pragma once

// A real SMTP server (aiosmtpd on Debian's /usr/bin/python3) on a free loopback
// port, started by the constructor and stopped by the destructor. It records every
// connection, command, login and mail; the readers below give what it has recorded
// so far (use waitUntil for what is still on its way).

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qm::test {

struct SmtpServerOptions {
  enum class Mode {
    Accept,           // every mail is taken
    RejectSender,     // 550 to MAIL FROM
    RejectRecipient,  // 550 to RCPT TO
    RejectData,       // 554 after the mail's data
  };
  Mode mode = Mode::Accept;
  // When either is non-empty, mail needs a login with exactly these (raw bytes).
  std::string user;
  std::string password;
  // The login mechanisms offered then: "LOGIN", "PLAIN" or both.
  std::vector<std::string> mechanisms = {"LOGIN", "PLAIN"};
  // Offers STARTTLS, with a self-signed certificate that clients do not trust.
  bool offerStartTls = false;
};

struct SmtpCommand {
  int connection = 0;    // 1 for the first connection, then 2, ...
  std::string verb;      // "EHLO", "MAIL", "RCPT", "DATA", "QUIT", "AUTH", "NOOP", ...
  std::string argument;  // the rest of the line, as sent
};

struct SmtpLogin {
  int connection = 0;
  std::string mechanism;  // "LOGIN" or "PLAIN"
  std::string user;
  bool accepted = false;
};

// One mail the server took, with what Python's email package decodes from it.
struct ReceivedMail {
  int connection = 0;
  std::string envelopeFrom;
  std::vector<std::string> envelopeTo;
  std::string raw;                           // the message as transmitted
  std::string subject;                       // the Subject's decoded bytes (encoded words undone)
  std::vector<std::string> subjectCharsets;  // charset of every piece of the Subject ("" unencoded)
  std::string body;                          // the body with its transfer encoding undone
  std::string contentType;                   // "text/plain"
  std::string charset;                       // lower case, "gbk"
  std::string transferEncoding;
  bool dateValid = false;  // Date parses as an RFC 5322 date
  std::map<std::string, std::string> headers;
  std::vector<std::string> defects;  // what the parser found wrong; empty for a proper mail
};

class SmtpServer {
 public:
  explicit SmtpServer(SmtpServerOptions options = {});
  ~SmtpServer();
  SmtpServer(const SmtpServer&) = delete;
  SmtpServer& operator=(const SmtpServer&) = delete;

  std::string host() const { return "127.0.0.1"; }
  int port() const { return port_; }

  std::vector<ReceivedMail> mails() const;
  std::vector<SmtpCommand> commands() const;
  std::vector<SmtpLogin> logins() const;
  int connections() const;      // accepted so far
  int openConnections() const;  // accepted and not yet closed

  // Polls the record until `condition` holds; false if it does not within `timeout`.
  bool waitUntil(const std::function<bool()>& condition,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

  // Stops the server (also done by the destructor); the record stays readable.
  void stop();

 private:
  std::vector<std::string> eventLines() const;

  std::filesystem::path dir_;
  std::filesystem::path events_;
  pid_t pid_ = -1;
  int stdinFd_ = -1;
  int port_ = 0;
};

}  // namespace qm::test
