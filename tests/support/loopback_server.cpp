#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace qm::test {
namespace {

constexpr std::size_t kMaxHead = 1 << 20;

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

const char* reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

ReceivedRequest parseHead(std::string head) {
  ReceivedRequest r;
  r.raw = std::move(head);
  std::size_t at = 0;
  bool first = true;
  while (at < r.raw.size()) {
    const std::size_t end = r.raw.find("\r\n", at);
    if (end == std::string::npos || end == at) break;
    std::string line = r.raw.substr(at, end - at);
    if (first) {
      r.requestLine = line;
      first = false;
    } else {
      r.headerLines.push_back(std::move(line));
    }
    at = end + 2;
  }
  const auto s1 = r.requestLine.find(' ');
  const auto s2 = s1 == std::string::npos ? std::string::npos : r.requestLine.find(' ', s1 + 1);
  if (s2 != std::string::npos) {
    r.method = r.requestLine.substr(0, s1);
    r.target = r.requestLine.substr(s1 + 1, s2 - s1 - 1);
    r.version = r.requestLine.substr(s2 + 1);
  }
  return r;
}

}  // namespace

std::optional<std::string> ReceivedRequest::header(const std::string& name) const {
  for (const std::string& line : headerLines) {
    const auto colon = line.find(':');
    if (colon != std::string::npos && equalsIgnoreCase(line.substr(0, colon), name)) {
      return trimmed(line.substr(colon + 1));
    }
  }
  return std::nullopt;
}

std::string ReceivedRequest::path() const { return target.substr(0, target.find('?')); }

Reply Reply::redirect(const std::string& location, int status) {
  return Reply("moved", status).withHeader("Location", location);
}

Reply Reply::hanging() {
  Reply r;
  r.hang = true;
  return r;
}

Reply Reply::resetAfter(std::string body, std::size_t bodyBytes) {
  Reply r(std::move(body));
  r.resetAfterBodyBytes = bodyBytes;
  return r;
}

Reply Reply::generated(std::uint64_t bodyBytes) {
  Reply r;
  r.generatedBodyBytes = bodyBytes;
  r.contentType = "application/octet-stream";
  return r;
}

Reply Reply::rawBytes(std::string bytes) {
  Reply r;
  r.raw = std::move(bytes);
  return r;
}

LoopbackServer::LoopbackServer(int port) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("loopback server: no socket");
  int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t len = sizeof addr;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listenFd_, 128) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
      ::pipe2(wakeFds_, O_CLOEXEC) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("loopback server: cannot listen");
  }
  port_ = ntohs(addr.sin_port);
  fallback_ = [](const ReceivedRequest&) { return Reply("not found", 404, "text/plain"); };
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer() { stop(); }

std::string LoopbackServer::host() const { return "127.0.0.1:" + std::to_string(port_); }

void LoopbackServer::route(const std::string& path, Handler handler) {
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(handler);
}

void LoopbackServer::route(const std::string& path, Reply reply) {
  route(path, [reply = std::move(reply)](const ReceivedRequest&) { return reply; });
}

void LoopbackServer::fallback(Handler handler) {
  std::lock_guard lock(mutex_);
  fallback_ = std::move(handler);
}

std::vector<ReceivedRequest> LoopbackServer::requests() const {
  std::lock_guard lock(mutex_);
  return log_;
}

std::size_t LoopbackServer::requestCount() const {
  std::lock_guard lock(mutex_);
  return log_.size();
}

bool LoopbackServer::waitForRequests(std::size_t n, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return log_.size() >= n; });
}

void LoopbackServer::clearRequests() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

void LoopbackServer::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  changed_.notify_all();
  const char byte = 1;
  (void)!::write(wakeFds_[1], &byte, 1);
  if (acceptThread_.joinable()) acceptThread_.join();

  std::list<std::unique_ptr<Connection>> connections;
  {
    std::lock_guard lock(mutex_);
    connections.swap(connections_);
  }
  for (auto& c : connections) {
    std::lock_guard lock(c->mutex);
    if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
  }
  for (auto& c : connections) {
    if (c->thread.joinable()) c->thread.join();
  }
  ::close(listenFd_);
  ::close(wakeFds_[0]);
  ::close(wakeFds_[1]);
  listenFd_ = wakeFds_[0] = wakeFds_[1] = -1;
}

void LoopbackServer::reapFinished() {
  std::list<std::unique_ptr<Connection>> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      auto next = std::next(it);
      if ((*it)->done.load()) finished.splice(finished.end(), connections_, it);
      it = next;
    }
  }
  for (auto& c : finished) c->thread.join();
}

void LoopbackServer::acceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    reapFinished();
    auto c = std::make_unique<Connection>();
    c->fd = fd;
    Connection& ref = *c;
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(fd);
      return;
    }
    connections_.push_back(std::move(c));
    ref.thread = std::thread([this, &ref] {
      serve(ref);
      ref.done.store(true);
    });
  }
}

bool LoopbackServer::waitUnlessStopped(int timeoutMs) {
  std::unique_lock lock(mutex_);
  if (timeoutMs < 0) {
    changed_.wait(lock, [&] { return stopping_; });
  } else {
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return stopping_; });
  }
  return !stopping_;
}

bool LoopbackServer::sendAll(Connection& c, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(c.fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void LoopbackServer::closeConnection(Connection& c, bool reset) {
  if (reset) {
    linger hard{1, 0};  // close with RST instead of FIN
    ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  } else {
    // Let the client read everything before the socket goes: half-close, then drain
    // what it still sends, briefly.
    ::shutdown(c.fd, SHUT_WR);
    char sink[4096];
    for (int i = 0; i < 100; ++i) {
      pollfd p{c.fd, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) break;
      if (::recv(c.fd, sink, sizeof sink, 0) <= 0) break;
    }
  }
  std::lock_guard lock(c.mutex);
  ::close(c.fd);
  c.fd = -1;
}

Reply LoopbackServer::answer(const ReceivedRequest& request) {
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    auto it = routes_.find(request.path());
    handler = it != routes_.end() ? it->second : fallback_;
  }
  return handler(request);
}

void LoopbackServer::serve(Connection& c) {
  std::string data;
  std::size_t headEnd = std::string::npos;
  char buffer[8192];
  while (headEnd == std::string::npos) {
    const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || data.size() > kMaxHead) {
      closeConnection(c, false);
      return;
    }
    data.append(buffer, static_cast<std::size_t>(n));
    headEnd = data.find("\r\n\r\n");
  }
  ReceivedRequest request = parseHead(data.substr(0, headEnd + 4));
  request.body = data.substr(headEnd + 4);
  if (auto length = request.header("Content-Length")) {
    const std::size_t want = std::min<std::size_t>(std::strtoull(length->c_str(), nullptr, 10), kMaxHead);
    while (request.body.size() < want) {
      const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      request.body.append(buffer, static_cast<std::size_t>(n));
    }
    request.body.resize(std::min(request.body.size(), want));
  }
  {
    std::lock_guard lock(mutex_);
    log_.push_back(request);
  }
  changed_.notify_all();

  const Reply reply = answer(request);
  if (reply.hang) {
    waitUnlessStopped(-1);
    closeConnection(c, true);
    return;
  }
  if (reply.delayMs > 0 && !waitUnlessStopped(reply.delayMs)) {
    closeConnection(c, true);
    return;
  }
  if (reply.raw) {
    sendAll(c, reply.raw->data(), reply.raw->size());
    closeConnection(c, false);
    return;
  }

  const std::uint64_t length = reply.generatedBodyBytes ? *reply.generatedBodyBytes : reply.body.size();
  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reasonPhrase(reply.status) + "\r\n";
  head += "Content-Type: " + reply.contentType + "\r\n";
  head += "Content-Length: " + std::to_string(length) + "\r\n";
  head += "Connection: close\r\n";
  for (const auto& [name, value] : reply.headers) head += name + ": " + value + "\r\n";
  head += "\r\n";
  if (!sendAll(c, head.data(), head.size())) {
    closeConnection(c, true);
    return;
  }

  if (reply.generatedBodyBytes) {
    std::string chunk;
    while (chunk.size() < 65536) chunk += "0123456789";
    std::uint64_t left = length;
    while (left > 0) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
      if (!sendAll(c, chunk.data(), n)) break;
      bodyBytesSent_ += n;
      left -= n;
    }
    closeConnection(c, left > 0);
    return;
  }

  std::size_t toSend = reply.body.size();
  if (reply.resetAfterBodyBytes) toSend = std::min(toSend, *reply.resetAfterBodyBytes);
  const bool sent = sendAll(c, reply.body.data(), toSend);
  if (sent) bodyBytesSent_ += toSend;
  // Give the client time to read the partial body before the reset reaches it.
  if (sent && reply.resetAfterBodyBytes) waitUnlessStopped(100);
  closeConnection(c, !sent || reply.resetAfterBodyBytes.has_value());
}

}  // namespace qm::test
