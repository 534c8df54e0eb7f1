#include "web/picture_read.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/loopback_server.h"
#include "web/picture_read_limits.h"

namespace qm {
namespace {

using test::LoopbackServer;
using test::Reply;

TEST(PictureRead, SendsAnHttp10GetWithItsOwnRequestValues) {
  web::forgetCookies();  // earlier fetches of this process may have set some for 127.0.0.1
  LoopbackServer server;
  const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  server.route("/api.php", Reply(png, 200, "image/png"));
  const std::string query =
      "?&bg=FFFFFF&fg=1E&gc=1E&el=2&w=200&m=10&pt=1E&inpt=1E&logo=&text=http://wq.jd.com/item/view?sku=100";
  EXPECT_EQ(readPictureAddress(server.url("/api.php" + query)), png);
  const auto received = server.requests();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].requestLine, "GET /api.php" + query + " HTTP/1.0");
  const std::vector<std::string> headers = {"Host: " + server.host(),
                                            "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)",
                                            "Accept: */*"};
  EXPECT_EQ(received[0].headerLines, headers);
}

TEST(PictureRead, BodyOfAnyStatusAndRedirects) {
  LoopbackServer server;
  server.route("/error", Reply("<html>quota exceeded</html>", 503));
  server.route("/moved", Reply::redirect("/picture"));
  server.route("/picture", Reply("GIF89a", 200, "image/gif"));
  EXPECT_EQ(readPictureAddress(server.url("/error")), "<html>quota exceeded</html>");
  EXPECT_EQ(readPictureAddress(server.url("/moved")), "GIF89a");
  EXPECT_EQ(readPictureAddress(server.host() + "/picture"), "GIF89a");  // no scheme: http
}

TEST(PictureRead, FailuresGiveEmptyBytes) {
  LoopbackServer gone;
  const std::string refused = gone.url("/api.php?text=x");
  gone.stop();
  LoopbackServer server;
  server.route("/cut", Reply::resetAfter(std::string(5000, 'x'), 1000));
  server.route("/hang", Reply::hanging());
  server.route("/huge", Reply::generated(std::uint64_t{256} * 1024 * 1024));
  web::TransferLimits limits;
  limits.stallSeconds = 1;
  limits.maxBodyBytes = 4096;

  const std::vector<std::string> empty = {refused, "http://nonexistent.invalid/api.php", "ftp://127.0.0.1/x",
                                          "", server.url("/hang")};
  for (const std::string& address : empty) {
    SCOPED_TRACE(address);
    EXPECT_EQ(web::readPictureAddress(address, limits), "");
  }
  EXPECT_EQ(web::readPictureAddress(server.url("/cut"), limits), std::string(1000, 'x'));
  EXPECT_EQ(web::readPictureAddress(server.url("/huge"), limits).size(), 4096u);
}

}  // namespace
}  // namespace qm
