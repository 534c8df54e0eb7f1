#include "platform/mail_sender.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <string_view>

namespace qm {

namespace {

constexpr long connectTimeoutSeconds = 15;
constexpr long transferTimeoutSeconds = 60;

void initialiseCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string base64(std::string_view bytes) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    unsigned v =
        unsigned(uint8_t(bytes[i])) << 16 | unsigned(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]);
    out += alphabet[v >> 18];
    out += alphabet[(v >> 12) & 63];
    out += alphabet[(v >> 6) & 63];
    out += alphabet[v & 63];
  }
  if (i < bytes.size()) {
    unsigned v = unsigned(uint8_t(bytes[i])) << 16;
    if (i + 1 < bytes.size()) v |= unsigned(uint8_t(bytes[i + 1])) << 8;
    out += alphabet[v >> 18];
    out += alphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// One "@", something on both sides, printable ASCII only and none of the characters
// that would end the address inside an SMTP command or a header. CR and LF fail
// here, so an address can never smuggle in a command or a header line.
bool isMailAddress(std::string_view a) {
  if (a.empty() || a.size() > 254) return false;
  size_t at = a.find('@');
  if (at == std::string_view::npos || at != a.rfind('@') || at == 0 || at + 1 == a.size()) return false;
  for (unsigned char c : a)
    if (c <= 0x20 || c >= 0x7F || std::strchr("<>,;:\"()[]\\", c) != nullptr) return false;
  std::string_view domain = a.substr(at + 1);
  return domain.front() != '.' && domain.back() != '.' && domain.find("..") == std::string_view::npos;
}

// A host name or address literal that can stand in an smtp:// URL as it is.
bool isServerName(std::string_view s) {
  if (s.empty() || s.size() > 253) return false;
  for (unsigned char c : s)
    if (!(std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':')) return false;
  return true;
}

// RFC 2047 encoded words, each at most 75 characters, cut between characters.
std::string encodedWords(std::string_view gbk) {
  std::string out;
  size_t i = 0;
  while (i < gbk.size()) {
    size_t end = i;
    while (end < gbk.size()) {
      size_t step = uint8_t(gbk[end]) >= 0x80 && end + 1 < gbk.size() ? 2 : 1;
      if (end + step - i > 45) break;
      end += step;
    }
    if (!out.empty()) out += "\r\n ";
    out += "=?GBK?B?" + base64(gbk.substr(i, end - i)) + "?=";
    i = end;
  }
  return out;
}

std::string mailDate() {
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t now = std::time(nullptr);
  std::tm local{};
  long offsetSeconds = 0;
#ifdef _WIN32
  localtime_s(&local, &now);
  std::tm utc{};
  gmtime_s(&utc, &now);
  utc.tm_isdst = local.tm_isdst;
  offsetSeconds = static_cast<long>(std::difftime(std::mktime(&local), std::mktime(&utc)));
#else
  localtime_r(&now, &local);
  offsetSeconds = local.tm_gmtoff;
#endif
  long offsetMinutes = offsetSeconds / 60;
  char sign = offsetMinutes < 0 ? '-' : '+';
  if (offsetMinutes < 0) offsetMinutes = -offsetMinutes;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s, %d %s %04d %02d:%02d:%02d %c%02ld%02ld", days[local.tm_wday % 7],
                local.tm_mday, months[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min,
                local.tm_sec, sign, offsetMinutes / 60, offsetMinutes % 60);
  return buffer;
}

std::string messageId(std::string_view sender) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count();
  return "<" + std::to_string(micros) + "." + std::to_string(seed) + "." +
         std::to_string(counter.fetch_add(1)) + "@" + std::string(sender.substr(sender.find('@') + 1)) + ">";
}

std::string mailMessage(const Text& subject, const Text& body, const Text& recipient, const Text& sender) {
  std::string m;
  m += "Date: " + mailDate() + "\r\n";
  m += "From: " + sender + "\r\n";
  m += "To: " + recipient + "\r\n";
  m += "Subject: " + encodedWords(subject) + "\r\n";
  m += "Message-ID: " + messageId(sender) + "\r\n";
  m += "MIME-Version: 1.0\r\n";
  m += "Content-Type: text/plain; charset=GBK\r\n";
  m += "Content-Transfer-Encoding: base64\r\n";
  m += "\r\n";
  std::string encoded = base64(body);
  for (size_t i = 0; i < encoded.size(); i += 76) m += encoded.substr(i, 76) + "\r\n";
  return m;
}

// Server replies may hold anything; what we hand on is plain printable ASCII.
std::string printable(std::string_view s) {
  std::string out;
  for (unsigned char c : s)
    if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
  return out;
}

}  // namespace

struct MailSender::State {
  CURL* curl = nullptr;
  bool connected = false;
  std::string connectFailure;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  std::string pendingReply;
  std::string lastReply;  // the server's last complete reply
  std::string upload;
  size_t uploaded = 0;

  static size_t discard(char*, size_t size, size_t n, void*) { return size * n; }

  static int debug(CURL*, curl_infotype type, char* data, size_t size, void* self) {
    if (type != CURLINFO_HEADER_IN) return 0;
    auto* state = static_cast<State*>(self);
    std::string line = printable(std::string_view(data, size));
    if (line.size() >= 4 && line[3] == '-') {
      state->pendingReply += line + " ";
    } else {
      state->lastReply = state->pendingReply + line;
      state->pendingReply.clear();
    }
    return 0;
  }

  static size_t read(char* buffer, size_t size, size_t n, void* self) {
    auto* state = static_cast<State*>(self);
    size_t chunk = std::min(size * n, state->upload.size() - state->uploaded);
    std::memcpy(buffer, state->upload.data() + state->uploaded, chunk);
    state->uploaded += chunk;
    return chunk;
  }

  std::string failure(const char* what, CURLcode code) {
    std::string text = std::string(what) + ": " + curl_easy_strerror(code);
    if (errorBuffer[0] != '\0') text += " (" + printable(errorBuffer) + ")";
    if (!lastReply.empty()) text += "; server said: " + lastReply;
    return text;
  }

  void close() {
    // Cleaning up the handle closes its connection, which says QUIT first.
    if (curl != nullptr) curl_easy_cleanup(curl);
    curl = nullptr;
    connected = false;
  }
};

MailSender::MailSender() : state_(std::make_unique<State>()) { initialiseCurl(); }

MailSender::~MailSender() { state_->close(); }

bool MailSender::connect(const std::string& server, int port, const Text& user, const Text& password) {
  State& s = *state_;
  s.close();
  s.lastReply.clear();
  s.pendingReply.clear();
  s.errorBuffer[0] = '\0';
  if (!isServerName(server) || port <= 0 || port > 65535) {
    s.connectFailure = "Not a mail server address: " + printable(server) + ":" + std::to_string(port);
    return false;
  }
  s.curl = curl_easy_init();
  if (s.curl == nullptr) {
    s.connectFailure = "Cannot start the mail client";
    return false;
  }
  CURL* c = s.curl;
  std::string host = server.find(':') != std::string::npos ? "[" + server + "]" : server;
  std::string url = "smtp://" + host + ":" + std::to_string(port);
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp");
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, connectTimeoutSeconds);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, transferTimeoutSeconds);
  curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, s.errorBuffer);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &State::discard);
  curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &State::debug);
  curl_easy_setopt(c, CURLOPT_DEBUGDATA, &s);
  curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);  // replies reach the debug function only so
  if (!user.empty() && !password.empty()) {
    curl_easy_setopt(c, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(c, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN;AUTH=PLAIN");
  }
  // A NOOP transfer: curl connects, greets, upgrades to TLS and logs in, and keeps
  // the connection, which the mail transfer of send() then reuses.
  curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "NOOP");
  CURLcode rc = curl_easy_perform(c);
  curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, nullptr);
  if (rc != CURLE_OK) {
    s.connectFailure = s.failure("Cannot connect to the mail server", rc);
    s.close();
    return false;
  }
  s.connected = true;
  s.connectFailure.clear();
  return true;
}

Text MailSender::send(const Text& subject, const Text& body, const Text& recipient, const Text& sender) {
  State& s = *state_;
  if (!isMailAddress(recipient)) return "Not a mail address: the recipient";
  if (!isMailAddress(sender)) return "Not a mail address: the sender";
  if (!s.connected || s.curl == nullptr)
    return s.connectFailure.empty() ? "No connection to a mail server is open" : s.connectFailure;

  CURL* c = s.curl;
  s.upload = mailMessage(subject, body, recipient, sender);
  s.uploaded = 0;
  s.lastReply.clear();
  s.pendingReply.clear();
  s.errorBuffer[0] = '\0';
  std::string from = "<" + sender + ">";
  std::string to = "<" + recipient + ">";
  curl_slist* recipients = curl_slist_append(nullptr, to.c_str());
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients);
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_READFUNCTION, &State::read);
  curl_easy_setopt(c, CURLOPT_READDATA, &s);
  curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(s.upload.size()));
  CURLcode rc = curl_easy_perform(c);
  curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, nullptr);
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, nullptr);
  curl_slist_free_all(recipients);
  s.upload.clear();
  if (rc == CURLE_OK) return {};
  Text why = s.failure("The mail was not accepted", rc);
  return why.empty() ? Text("The mail was not accepted") : why;
}

void MailSender::disconnect() { state_->close(); }

}  // namespace qm
