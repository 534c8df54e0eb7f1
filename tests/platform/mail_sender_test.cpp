#include "platform/mail_sender.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/run_dir.h"
#include "support/smtp_server.h"

using qm::MailSender;
using qm::test::g;
using qm::test::SmtpServer;
using qm::test::SmtpServerOptions;
using Mode = qm::test::SmtpServerOptions::Mode;

namespace {

const std::string to = "watcher@example.com";
const std::string from = "sender@example.net";

int countVerb(const SmtpServer& server, const std::string& verb, int connection = 0) {
  auto cs = server.commands();
  return static_cast<int>(std::count_if(cs.begin(), cs.end(), [&](const auto& c) {
    return c.verb == verb && (connection == 0 || c.connection == connection);
  }));
}

bool sawMailTransaction(const SmtpServer& server) {
  return countVerb(server, "MAIL") + countVerb(server, "RCPT") + countVerb(server, "DATA") > 0;
}

}  // namespace

TEST(MailSender, AcceptedMailArrivesWhole) {
  struct Case {
    const char* what;
    std::string subject;
    std::string body;
  } cases[] = {
      {"alert", g("Vantroke，提醒你，价格变化啦！"),
       g("Vantroke，提醒你，价格变化啦！\r\n100012043978\r\nhttp://home.example/")},
      {"long subject in several encoded words",
       g(std::string(40, 'x') + "有货啦！" +
         [] {
           std::string s;
           for (int i = 0; i < 30; ++i) s += "价格";
           return s;
         }()),
       g("短")},
      {"dots and bare line ends", "plain ASCII", ".\r\n..leading dots\r\n.\r\nend\n\rodd\r"},
      {"empty body", g("空"), ""},
      {"line breaks in the subject stay inside it", "first\r\nBcc: other@example.com\r\n\r\nbody?", "b"},
  };
  for (const auto& c : cases) {
    SmtpServer server;
    MailSender mail;
    ASSERT_TRUE(mail.connect(server.host(), server.port(), "", "")) << c.what;
    EXPECT_EQ(mail.send(c.subject, c.body, to, from), "") << c.what;
    mail.disconnect();
    ASSERT_TRUE(server.waitUntil([&] { return server.openConnections() == 0; })) << c.what;
    auto mails = server.mails();
    ASSERT_EQ(mails.size(), 1u) << c.what;
    auto& m = mails[0];
    EXPECT_EQ(m.subject, c.subject) << c.what;
    for (const auto& cs : m.subjectCharsets) EXPECT_EQ(cs, "gbk") << c.what;
    EXPECT_EQ(m.body, c.body) << c.what;
    EXPECT_EQ(m.envelopeFrom, from);
    EXPECT_EQ(m.envelopeTo, std::vector<std::string>{to});
    EXPECT_EQ(m.contentType, "text/plain");
    EXPECT_EQ(m.charset, "gbk");
    EXPECT_EQ(m.transferEncoding, "base64");
    EXPECT_TRUE(m.dateValid) << m.headers["Date"];
    EXPECT_EQ(m.headers["From"], from);
    EXPECT_EQ(m.headers["To"], to);
    EXPECT_EQ(m.headers["MIME-Version"], "1.0");
    EXPECT_EQ(m.headers.count("Bcc"), 0u);
    EXPECT_NE(m.headers["Message-ID"].find("@example.net>"), std::string::npos);
    EXPECT_TRUE(m.defects.empty()) << c.what << ": " << m.defects.front();
    EXPECT_EQ(m.raw.find("\r\n.\r\n"), std::string::npos) << "dot stuffing undone by the server";
    // connect and send share one connection, which disconnect ended with QUIT
    EXPECT_EQ(server.connections(), 1) << c.what;
    EXPECT_EQ(m.connection, 1);
    EXPECT_EQ(countVerb(server, "QUIT"), 1);
  }
}

TEST(MailSender, LogsInWithTheMechanismTheServerOffers) {
  const std::string user = "watcher@qq.example", password = g("密码 with spaces");
  for (std::vector<std::string> offered :
       {std::vector<std::string>{"LOGIN"}, {"PLAIN"}, {"LOGIN", "PLAIN"}}) {
    SmtpServer server({Mode::Accept, user, password, offered});
    MailSender mail;
    EXPECT_TRUE(mail.connect(server.host(), server.port(), user, password)) << offered.front();
    EXPECT_EQ(mail.send(g("主题"), g("正文"), to, user), "");
    auto logins = server.logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_TRUE(logins[0].accepted);
    EXPECT_EQ(logins[0].user, user);
    EXPECT_NE(std::find(offered.begin(), offered.end(), logins[0].mechanism), offered.end());
    EXPECT_EQ(server.mails().size(), 1u);
    EXPECT_EQ(server.connections(), 1);
  }
}

TEST(MailSender, WrongOrMissingLoginFailsTheSend) {
  struct Case {
    const char* what;
    std::string user, password;
    bool loginTried;
  } cases[] = {
      {"wrong password", "watcher", "wrong", true},
      {"no password: no login", "watcher", "", false},
      {"no user: no login", "", "secret", false},
  };
  for (const auto& c : cases) {
    SmtpServer server({Mode::Accept, "watcher", "secret"});
    MailSender mail;
    bool connected = mail.connect(server.host(), server.port(), c.user, c.password);
    if (c.loginTried) {
      EXPECT_FALSE(connected) << c.what;
    }
    EXPECT_NE(mail.send("s", "b", to, from), "") << c.what;
    EXPECT_EQ(server.logins().empty(), !c.loginTried) << c.what;
    EXPECT_TRUE(server.mails().empty()) << c.what;
  }
}

TEST(MailSender, RefusedMailGivesTheReason) {
  struct Case {
    Mode mode;
    const char* code;
  } cases[] = {{Mode::RejectSender, "550"}, {Mode::RejectRecipient, "550"}, {Mode::RejectData, "554"}};
  for (const auto& c : cases) {
    SmtpServerOptions options;
    options.mode = c.mode;
    SmtpServer server(options);
    MailSender mail;
    ASSERT_TRUE(mail.connect(server.host(), server.port(), "", ""));
    qm::Text why = mail.send("s", "b", to, from);
    EXPECT_NE(why.find(c.code), std::string::npos) << why;
    EXPECT_TRUE(server.mails().empty());
  }
}

TEST(MailSender, SendWithoutAnOpenConnectionFails) {
  SmtpServer server;
  MailSender never;
  EXPECT_NE(never.send("s", "b", to, from), "");
  MailSender closed;
  ASSERT_TRUE(closed.connect(server.host(), server.port(), "", ""));
  closed.disconnect();
  EXPECT_NE(closed.send("s", "b", to, from), "");
  EXPECT_FALSE(sawMailTransaction(server));

  int port = server.port();
  server.stop();
  MailSender unreachable;
  EXPECT_FALSE(unreachable.connect("127.0.0.1", port, "", ""));
  EXPECT_NE(unreachable.send("s", "b", to, from), "");
  EXPECT_FALSE(unreachable.connect("127.0.0.1\r\nQUIT", port, "", ""));
  EXPECT_FALSE(unreachable.connect("127.0.0.1", 0, "", ""));
}

TEST(MailSender, MalformedAddressesNeverReachTheServer) {
  const std::string bad[] = {
      "victim@example.com\r\nRCPT TO:<other@example.com>",
      "victim@example.com\nBcc: other@example.com",
      "victim@example.com\r",
      "no-at-sign",
      "two@@example.com",
      "a@b@example.com",
      "@example.com",
      "watcher@",
      "wat cher@example.com",
      "<watcher@example.com>",
      "watcher@example.com,other@example.com",
      "watcher@example.com;other@example.com",
      "tab\t@example.com",
      "watcher@.example.com",
      "",
      g("中文@example.com"),
  };
  SmtpServer server;
  MailSender mail;
  ASSERT_TRUE(mail.connect(server.host(), server.port(), "", ""));
  for (const auto& address : bad) {
    EXPECT_NE(mail.send("s", "b", address, from), "") << address;
    EXPECT_NE(mail.send("s", "b", to, address), "") << address;
  }
  EXPECT_FALSE(sawMailTransaction(server));
  EXPECT_EQ(mail.send("s", "b", to, from), "") << "the connection still serves";
  EXPECT_EQ(server.mails().size(), 1u);
}

TEST(MailSender, ConnectAgainEndsTheOpenConnection) {
  SmtpServer server;
  MailSender mail;
  ASSERT_TRUE(mail.connect(server.host(), server.port(), "", ""));
  ASSERT_TRUE(mail.connect(server.host(), server.port(), "", ""));
  ASSERT_TRUE(server.waitUntil([&] { return server.connections() == 2 && server.openConnections() == 1; }));
  EXPECT_EQ(countVerb(server, "QUIT", 1), 1);
  EXPECT_EQ(countVerb(server, "QUIT", 2), 0);
  EXPECT_EQ(mail.send("s", "b", to, from), "");
  auto mails = server.mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].connection, 2);
  mail.disconnect();
  EXPECT_TRUE(server.waitUntil([&] { return server.openConnections() == 0; }));
  EXPECT_EQ(countVerb(server, "QUIT", 2), 1);
}

TEST(MailSender, UsesStartTlsWhenOfferedAndNeverLogsInWithoutIt) {
  SmtpServerOptions options;
  options.user = "watcher";
  options.password = "secret";
  options.offerStartTls = true;
  SmtpServer server(options);
  MailSender mail;
  // The test server's certificate is self-signed, so the upgrade must fail, and
  // with it the whole connection: the password is never sent in clear.
  EXPECT_FALSE(mail.connect(server.host(), server.port(), "watcher", "secret"));
  EXPECT_NE(mail.send("s", "b", to, from), "");
  EXPECT_EQ(countVerb(server, "STARTTLS"), 1);
  EXPECT_EQ(countVerb(server, "AUTH"), 0);
  EXPECT_TRUE(server.logins().empty());
  EXPECT_FALSE(sawMailTransaction(server));
}
