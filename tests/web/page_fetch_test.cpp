#include "web/page_fetch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_server.h"
#include "support/run_dir.h"
#include "web/page_fetch_limits.h"

namespace qm {
namespace {

using test::LoopbackServer;
using test::Reply;

const std::string kUserAgentLine = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::vector<std::string> expectedHeaderLines(const std::string& hostLine, const std::string& address) {
  return {"Host: " + hostLine,   kUserAgentLine,           "Accept: */*",
          "Referer: " + address, "Accept-Language: zh-cn", "Content-Type: application/x-www-form-urlencoded"};
}

// A port on which nothing listens: one a server had until it stopped.
int refusedPort() {
  LoopbackServer gone;
  const int port = gone.port();
  gone.stop();
  return port;
}

TEST(UrlSplitting, HostPortAndObject) {
  struct Case {
    std::string address, host, hostWithPort;
    int port;
    std::string path;
  };
  const std::vector<Case> cases = {
      {"http://Item.JD.com/100012043978.html", "item.jd.com", "item.jd.com", 80, "/100012043978.html"},
      {"http://127.0.0.1:8080/stock?skuId=1&Area=1_2", "127.0.0.1", "127.0.0.1:8080", 8080,
       "/stock?skuId=1&Area=1_2"},
      {"HTTPS://Secure.Example.COM/Path/File?Q=A", "secure.example.com", "secure.example.com", 443,
       "/Path/File?Q=A"},
      {"https://host:8443/x", "host", "host:8443", 8443, "/x"},
      {"http://host.example", "host.example", "host.example", 80, "/"},
      {"http://host:8080?a=b/c", "host", "host:8080?a=b", 8080, "/c"},
      {"http://127.0.0.1:8080?a=b", "127.0.0.1", "127.0.0.1:8080?a=b", 8080, "/"},
      {"host.example/A/b", "host.example", "host.example", 80, "/A/b"},
      {"HOST.example:81/Up", "host.example", "host.example:81", 81, "/Up"},
      {"http://host/a/../b/./c#top", "host", "host", 80, "/a/../b/./c#top"},
      {"", "", "", 80, "/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(urlHost(c.address, false), c.host);
    EXPECT_EQ(urlHost(c.address, true), c.hostWithPort);
    EXPECT_EQ(urlPort(c.address), c.port);
    EXPECT_EQ(urlPath(c.address), c.path);
  }
}

TEST(PageFetch, SendsTheFixedRequestValuesOnTheWire) {
  web::forgetCookies();  // earlier fetches of this process may have set some for 127.0.0.1
  LoopbackServer server;
  server.fallback([](const test::ReceivedRequest&) { return Reply("ok"); });
  const std::string h = server.host();
  const std::string gbkPath = "/" + test::g("商品") + "?name=" + test::g("京东");
  struct Case {
    std::string address, requestLine;
  };
  const std::vector<Case> cases = {
      {"http://" + h + "/stock?skuId=100&area=1_72_2799&cat=9987,653,655",
       "GET /stock?skuId=100&area=1_72_2799&cat=9987,653,655 HTTP/1.1"},
      {"http://" + h, "GET / HTTP/1.1"},
      {"http://" + h + "?callback=jQuery1&skuIds=J_1", "GET / HTTP/1.1"},
      {h + "/NoScheme/Page.html", "GET /NoScheme/Page.html HTTP/1.1"},
      {"HTTP://" + h + "/Mixed/CASE?Key=Value", "GET /Mixed/CASE?Key=Value HTTP/1.1"},
      {"http://" + h + "/a/../b/./c#part", "GET /a/../b/./c#part HTTP/1.1"},
      {"http://" + h + gbkPath, "GET " + gbkPath + " HTTP/1.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    server.clearRequests();
    EXPECT_EQ(fetchPageText(c.address), "ok");
    const auto received = server.requests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].requestLine, c.requestLine);
    EXPECT_EQ(received[0].headerLines, expectedHeaderLines(h, c.address));
    EXPECT_EQ(received[0].body, "");
  }
}

TEST(PageFetch, HostLineOmitsTheDefaultPort) {
  std::unique_ptr<LoopbackServer> server;
  try {
    server = std::make_unique<LoopbackServer>(80);
  } catch (const std::exception&) {
    GTEST_SKIP() << "port 80 of 127.0.0.1 is taken or not ours to bind";
  }
  server->route("/p", Reply("default port"));
  EXPECT_EQ(fetchPageText("http://127.0.0.1/p"), "default port");
  const auto received = server->requests();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].header("Host"), "127.0.0.1");
}

TEST(PageFetch, ControlBytesOfTheAddressCannotAddHeaderLines) {
  LoopbackServer server;
  const std::string address = server.url("/a b\r\nX-Injected: 1");
  fetchPageText(address);
  const auto received = server.requests();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].requestLine, "GET /a%20b%0D%0AX-Injected:%201 HTTP/1.1");
  EXPECT_FALSE(received[0].header("X-Injected"));
  EXPECT_EQ(received[0].header("Referer"), server.url("/a b%0D%0AX-Injected: 1"));
}

TEST(PageFetch, ReturnsTheBodyOfAnyStatus) {
  LoopbackServer server;
  const std::string html = "<html><body><h1>404 Not Found</h1></body></html>";
  server.route("/missing", Reply(html, 404));
  server.route("/broken", Reply("server error", 500));
  server.route("/empty", Reply("", 204));
  EXPECT_EQ(fetchPageText(server.url("/missing")), html);
  EXPECT_EQ(fetchPageText(server.url("/broken")), "server error");
  EXPECT_EQ(fetchPage(server.url("/empty")), "");
}

TEST(PageFetch, ZeroByteEndsTheTextButNotTheBytes) {
  LoopbackServer server;
  const std::string body("GIF89a\0\x01\x02tail", 13);
  server.route("/banner.gif", Reply(body, 200, "image/gif"));
  EXPECT_EQ(fetchPage(server.url("/banner.gif")), body);
  EXPECT_EQ(fetchPageText(server.url("/banner.gif")), "GIF89a");
}

TEST(PageFetch, FollowsRedirectsToAnotherPathAndPort) {
  LoopbackServer first, second;
  second.route("/elsewhere", Reply("arrived elsewhere"));
  first.route("/old", Reply::redirect("/new"));
  first.route("/new", Reply("arrived"));
  first.route("/away", Reply::redirect(second.url("/elsewhere"), 301));

  EXPECT_EQ(fetchPageText(first.url("/old")), "arrived");
  auto received = first.requests();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].requestLine, "GET /new HTTP/1.1");
  EXPECT_EQ(received[1].header("Referer"), first.url("/old"));

  EXPECT_EQ(fetchPageText(first.url("/away")), "arrived elsewhere");
  received = second.requests();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].requestLine, "GET /elsewhere HTTP/1.1");
  EXPECT_EQ(received[0].header("Host"), second.host());

  // A redirect loop ends after a bounded number of hops, with the last reply's body.
  first.route("/loop", Reply::redirect("/loop"));
  first.clearRequests();
  EXPECT_EQ(fetchPageText(first.url("/loop")), "moved");
  EXPECT_EQ(first.requestCount(), 21u);
}

TEST(PageFetch, UnreachableAddressesGiveEmpty) {
  const int port = refusedPort();
  const std::vector<std::string> addresses = {
      "http://127.0.0.1:" + std::to_string(port) + "/x",
      "https://127.0.0.1:" + std::to_string(port) + "/x",
      "HTTPS://127.0.0.1:" + std::to_string(port) + "/x",
      "http://nonexistent.invalid/stock?skuId=1",
      "http://127.0.0.1:0/x",
      "http://127.0.0.1:70000/x",
      "http://user@127.0.0.1/x",
      "http://",
      "",
  };
  for (const std::string& address : addresses) {
    SCOPED_TRACE(address);
    EXPECT_EQ(fetchPage(address), "");
    EXPECT_EQ(fetchPageText(address), "");
  }
}

TEST(PageFetch, SecureAddressIsNotReadAsPlainHttp) {
  // The loopback server speaks plain HTTP only: it never answers the TLS handshake,
  // which ends with the connection time-out (lowered here).
  LoopbackServer server;
  server.fallback([](const test::ReceivedRequest&) { return Reply("plain"); });
  web::TransferLimits limits;
  limits.connectTimeoutMs = 500;
  EXPECT_EQ(web::fetchPage("https://" + server.host() + "/x", limits), "");
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST(PageFetch, ResetPartWayGivesTheBytesSoFar) {
  LoopbackServer server;
  std::string body;
  for (int i = 0; i < 1000; ++i) body += "line " + std::to_string(i) + "\n";
  server.route("/cut", Reply::resetAfter(body, 3000));
  EXPECT_EQ(fetchPage(server.url("/cut")), body.substr(0, 3000));
}

TEST(PageFetch, StalledServerEndsWithinTheStallTime) {
  LoopbackServer server;
  server.route("/hang", Reply::hanging());
  web::TransferLimits limits;
  limits.stallSeconds = 1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(web::fetchPage(server.url("/hang"), limits), "");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // Generous bound: what matters is that the fetch ends at all, long before a stall
  // that never ends would.
  EXPECT_LT(elapsed, std::chrono::seconds(20));
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST(PageFetch, BodyBeyondTheCapIsCutThere) {
  LoopbackServer server;
  const std::uint64_t served = std::uint64_t{512} * 1024 * 1024;
  server.route("/huge", Reply::generated(served));
  web::TransferLimits limits;
  limits.maxBodyBytes = 1024 * 1024 + 7;
  const Bytes body = web::fetchPage(server.url("/huge"), limits);
  ASSERT_EQ(body.size(), limits.maxBodyBytes);
  std::string pattern;
  while (pattern.size() < body.size() + 10) pattern += "0123456789";
  EXPECT_EQ(body, pattern.substr(0, body.size()));
  server.stop();
  // The client stopped reading at the cap: far from all of the body was sent.
  EXPECT_LT(server.bodyBytesSent(), served / 8);
}

TEST(PageFetch, CookiesSetByOneFetchGoWithTheNext) {
  web::forgetCookies();  // earlier fetches of this process may have set some for 127.0.0.1
  LoopbackServer server;
  server.route("/login", Reply("in").withHeader("Set-Cookie", "session=abc123; Path=/"));
  server.route("/page", Reply("page"));
  EXPECT_EQ(fetchPageText(server.url("/login")), "in");
  std::string seen;
  std::thread other([&] { seen = fetchPageText(server.url("/page")); });
  other.join();
  EXPECT_EQ(seen, "page");
  const auto received = server.requests();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_FALSE(received[0].header("Cookie"));
  EXPECT_EQ(received[1].header("Cookie"), "session=abc123");
}

TEST(ThreadsPageFetch, ManyFetchesAtOnceEachGetTheirOwnBody) {
  LoopbackServer server;
  server.fallback([](const test::ReceivedRequest& r) {
    return Reply("body of " + r.target).withHeader("Set-Cookie", "n" + r.path().substr(1) + "=1");
  });
  constexpr int kThreads = 8, kEach = 10;
  std::vector<std::vector<std::string>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        results[t].push_back(fetchPageText(server.url("/" + std::to_string(t) + "?i=" + std::to_string(i))));
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kEach; ++i) {
      EXPECT_EQ(results[t][i], "body of /" + std::to_string(t) + "?i=" + std::to_string(i));
    }
  }
  EXPECT_EQ(server.requestCount(), static_cast<std::size_t>(kThreads * kEach));
}

}  // namespace
}  // namespace qm
