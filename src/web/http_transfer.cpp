#include "web/http_transfer.h"

#include <curl/curl.h>

#include <array>
#include <memory>
#include <mutex>

namespace qm::web {
namespace {

// One cookie store for the whole process, as the platform's own HTTP stack keeps one.
// It lives until the process ends: detached workers may still fetch during exit.
class CookieShare {
 public:
  CookieShare() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    share_ = curl_share_init();
    if (share_ == nullptr) return;
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CookieShare::lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CookieShare::unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  }
  CURLSH* handle() const { return share_; }

 private:
  static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<CookieShare*>(self)->mutexFor(data).lock();
  }
  static void unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<CookieShare*>(self)->mutexFor(data).unlock();
  }
  std::mutex& mutexFor(curl_lock_data data) {
    auto index = static_cast<std::size_t>(data);
    return mutexes_[index < mutexes_.size() ? index : 0];
  }

  CURLSH* share_ = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
};

CURLSH* cookieShare() {
  static CookieShare* share = new CookieShare();  // never destroyed, see above
  return share->handle();
}

constexpr int kMaxRedirects = 20;

struct Sink {
  Bytes body;
  std::size_t cap = 0;
};

size_t appendChunk(char* data, size_t size, size_t count, void* userdata) {
  auto* sink = static_cast<Sink*>(userdata);
  const size_t n = size * count;
  const size_t room = sink->cap - sink->body.size();
  if (n > room) {
    // Keep what fits and make curl end the transfer: a body past the cap is read
    // like a read that fails there.
    sink->body.append(data, room);
    return room;
  }
  sink->body.append(data, n);
  return n;
}

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};

// The driver of this thread's transfers. A multi handle costs more to make than a
// loopback fetch (hash tables, a wake-up socket pair), so each thread keeps one; it
// keeps no connection (FORBID_REUSE) and no host names (DNS_CACHE_TIMEOUT 0) between
// fetches, so every fetch still opens and closes its own connection.
class ThreadMulti {
 public:
  ThreadMulti() : multi_(curl_multi_init()) {}
  ~ThreadMulti() {
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
  }
  ThreadMulti(const ThreadMulti&) = delete;
  ThreadMulti& operator=(const ThreadMulti&) = delete;
  CURLM* handle() const { return multi_; }

 private:
  CURLM* multi_;
};

CURLM* threadMulti() {
  thread_local ThreadMulti multi;
  return multi.handle();
}

// Runs one transfer of `h` to its end on this thread's multi handle.
CURLcode perform(CURL* h) {
  CURLM* multi = threadMulti();
  if (multi == nullptr || curl_multi_add_handle(multi, h) != CURLM_OK) return curl_easy_perform(h);
  CURLcode result = CURLE_RECV_ERROR;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) break;
    int queued = 0;
    bool done = false;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == h) {
        result = message->data.result;
        done = true;
      }
    }
    if (done || running == 0) break;
    if (curl_multi_wait(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) break;
  }
  curl_multi_remove_handle(multi, h);
  return result;
}
struct ListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

}  // namespace

Bytes performGet(const TransferRequest& request, const TransferLimits& limits) {
  CURLSH* share = cookieShare();
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) return {};
  CURL* h = easy.get();

  std::unique_ptr<curl_slist, ListDeleter> headers;
  for (const std::string& line : request.headerLines) {
    curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
    if (grown == nullptr) return {};
    (void)headers.release();
    headers.reset(grown);
  }

  Sink sink;
  sink.cap = limits.maxBodyBytes;

  curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, request.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(h, CURLOPT_USERAGENT, request.userAgent.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  // A direct connection whatever the environment's proxy variables say.
  curl_easy_setopt(h, CURLOPT_PROXY, "");
  curl_easy_setopt(h, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(h, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 1024L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &appendChunk);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  if (share != nullptr) {
    curl_easy_setopt(h, CURLOPT_SHARE, share);
    curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");  // turns the cookie engine on, reads no file
  }

  if (!request.requestTarget.empty())
    curl_easy_setopt(h, CURLOPT_REQUEST_TARGET, request.requestTarget.c_str());

  // Redirects are followed here rather than by curl, because the request target given
  // above would otherwise be sent again to the redirect's address.
  for (int hops = 0;; ++hops) {
    // Whatever goes wrong, the bytes received so far are the result.
    if (perform(h) != CURLE_OK) break;
    char* next = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &next) != CURLE_OK || next == nullptr) break;
    if (hops == kMaxRedirects) break;
    const std::string nextUrl = next;
    sink.body.clear();
    curl_easy_setopt(h, CURLOPT_URL, nextUrl.c_str());
    curl_easy_setopt(h, CURLOPT_REQUEST_TARGET, nullptr);
  }
  return std::move(sink.body);
}

void forgetCookies() {
  CURLSH* share = cookieShare();
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (share == nullptr || !easy) return;
  curl_easy_setopt(easy.get(), CURLOPT_SHARE, share);
  curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, "ALL");
}

std::string escapeUrlBytes(std::string_view text, bool escapeHash) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7F || (escapeHash && b == '#')) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace qm::web
