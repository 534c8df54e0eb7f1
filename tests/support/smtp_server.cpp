#include "support/smtp_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <thread>

extern char** environ;

namespace qm::test {

namespace {

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string str(const QJsonValue& v) { return v.toString().toStdString(); }

std::string fromBase64(const QJsonValue& v) {
  QByteArray bytes = QByteArray::fromBase64(v.toString().toLatin1());
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::vector<QJsonObject> parsed(const std::vector<std::string>& lines, const char* kind) {
  std::vector<QJsonObject> out;
  for (const auto& line : lines) {
    QJsonObject o =
        QJsonDocument::fromJson(QByteArray(line.data(), static_cast<qsizetype>(line.size()))).object();
    if (o.value("event").toString() == QLatin1String(kind)) out.push_back(o);
  }
  return out;
}

const char* modeName(SmtpServerOptions::Mode mode) {
  switch (mode) {
    case SmtpServerOptions::Mode::Accept:
      return "accept";
    case SmtpServerOptions::Mode::RejectSender:
      return "reject-sender";
    case SmtpServerOptions::Mode::RejectRecipient:
      return "reject-recipient";
    case SmtpServerOptions::Mode::RejectData:
      return "reject-data";
  }
  return "accept";
}

}  // namespace

SmtpServer::SmtpServer(SmtpServerOptions options) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "quillmoor-smtp-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;
  events_ = dir_ / "events.jsonl";

  std::string mechanisms;
  for (const auto& m : options.mechanisms) mechanisms += (mechanisms.empty() ? "" : ",") + m;
  std::vector<std::string> args = {"/usr/bin/python3",
                                   std::string(QM_TEST_SOURCE_DIR) + "/support/smtp_server.py",
                                   events_.string(),
                                   "--mode",
                                   modeName(options.mode),
                                   "--user",
                                   hex(options.user),
                                   "--password",
                                   hex(options.password),
                                   "--mechanisms",
                                   mechanisms};
  if (options.offerStartTls) args.push_back("--starttls");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  stdinFd_ = in[1];
  if (rc != 0) {
    close(out[0]);
    pid_ = -1;
    stop();
    throw std::runtime_error("cannot start /usr/bin/python3");
  }

  // The server prints "PORT <n>" once it listens.
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[256];
    ssize_t got = read(out[0], buffer, sizeof buffer);
    if (got <= 0) break;
    line.append(buffer, static_cast<size_t>(got));
  }
  close(out[0]);
  if (line.rfind("PORT ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
  if (port_ <= 0) {
    stop();
    throw std::runtime_error("the SMTP test server did not start");
  }
}

SmtpServer::~SmtpServer() {
  stop();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void SmtpServer::stop() {
  if (stdinFd_ >= 0) {
    close(stdinFd_);  // the server ends when its stdin closes
    stdinFd_ = -1;
  }
  if (pid_ <= 0) return;
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::vector<std::string> SmtpServer::eventLines() const {
  std::ifstream in(events_, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = all.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(all.substr(start, nl - start));  // a line still being written is left out
  return lines;
}

std::vector<ReceivedMail> SmtpServer::mails() const {
  std::vector<ReceivedMail> out;
  for (const auto& o : parsed(eventLines(), "mail")) {
    ReceivedMail m;
    m.connection = o.value("conn").toInt();
    m.envelopeFrom = str(o.value("mail_from"));
    for (const auto& t : o.value("rcpt_tos").toArray()) m.envelopeTo.push_back(str(t));
    m.raw = fromBase64(o.value("raw"));
    m.subject = fromBase64(o.value("subject"));
    for (const auto& c : o.value("subject_charsets").toArray()) m.subjectCharsets.push_back(str(c));
    m.body = fromBase64(o.value("body"));
    m.contentType = str(o.value("content_type"));
    m.charset = str(o.value("charset"));
    m.transferEncoding = str(o.value("transfer_encoding"));
    m.dateValid = o.value("date_ok").toBool();
    QJsonObject headers = o.value("headers").toObject();
    for (auto it = headers.begin(); it != headers.end(); ++it)
      m.headers[it.key().toStdString()] = str(it.value());
    for (const auto& d : o.value("defects").toArray()) m.defects.push_back(str(d));
    out.push_back(std::move(m));
  }
  return out;
}

std::vector<SmtpCommand> SmtpServer::commands() const {
  std::vector<SmtpCommand> out;
  for (const auto& o : parsed(eventLines(), "command"))
    out.push_back({o.value("conn").toInt(), str(o.value("verb")), str(o.value("arg"))});
  return out;
}

std::vector<SmtpLogin> SmtpServer::logins() const {
  std::vector<SmtpLogin> out;
  for (const auto& o : parsed(eventLines(), "auth")) {
    QByteArray user = QByteArray::fromHex(o.value("login").toString().toLatin1());
    out.push_back({o.value("conn").toInt(), str(o.value("mechanism")),
                   std::string(user.constData(), static_cast<size_t>(user.size())),
                   o.value("success").toBool()});
  }
  return out;
}

int SmtpServer::connections() const { return static_cast<int>(parsed(eventLines(), "connect").size()); }

int SmtpServer::openConnections() const {
  auto lines = eventLines();
  return static_cast<int>(parsed(lines, "connect").size()) -
         static_cast<int>(parsed(lines, "disconnect").size());
}

bool SmtpServer::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace qm::test
