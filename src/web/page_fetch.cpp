#include "web/page_fetch.h"

#include "web/http_transfer.h"
#include "web/page_fetch_limits.h"

namespace qm {
namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

bool isSecure(const Text& address) { return toLowerText(leftText(address, 5)) == "https"; }

// The host goes to name resolution as it stands; one holding a byte that no host name
// has (a "?" of a query, an "@") names no host, and must not be read as URL syntax.
bool isHostName(const Text& host) {
  if (host.empty()) return false;
  for (char c : host) {
    auto b = static_cast<unsigned char>(c);
    const bool ok =
        (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '.' || b == '-' || b == '_' || b >= 0x80;
    if (!ok) return false;
  }
  return true;
}

// The Referer repeats the address; a line break in it would end the header line.
Text headerValue(const Text& value) {
  Text out;
  for (char c : value) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

Text urlHost(const Text& address, bool keepPort) {
  Text t = toLowerText(address);
  if (t.empty() || t.back() != '/') t += '/';
  Text marker = "http://";
  if (leftText(t, 8) == "https://") {
    marker = "https://";
  } else if (findText(t, marker) == -1) {
    t = marker + t;
  }
  Text host = textBetween(t, marker, "/");
  if (!keepPort) {
    const int64_t colon = findText(host, ":");
    if (colon != -1) host = leftText(host, colon - 1);
  }
  return host;
}

int urlPort(const Text& address) {
  const Text host = urlHost(address, true);
  const int64_t colon = findLastText(host, ":");
  if (colon != -1) return textToInteger(midText(host, colon + 1, textLength(host)));
  return isSecure(address) ? 443 : 80;
}

Text urlPath(const Text& address) {
  const Text host = urlHost(address, false);
  if (host.empty()) return "/";
  const int64_t hostAt = findText(address, host, std::nullopt, true);
  if (hostAt == -1) return "/";
  const int64_t slash = findText(address, "/", hostAt, true);
  if (slash == -1) return "/";
  return midText(address, slash, textLength(address));
}

namespace web {

Bytes fetchPage(const Text& address, const TransferLimits& limits) {
  const bool secure = isSecure(address);
  const int port = urlPort(address);
  if (port < 1 || port > 65535) return {};
  const Text host = urlHost(address, false);
  if (!isHostName(host)) return {};

  TransferRequest request;
  request.url = std::string(secure ? "https://" : "http://") + host + ":" + std::to_string(port) + "/";
  request.requestTarget = escapeUrlBytes(urlPath(address), false);
  request.userAgent = kUserAgent;
  request.headerLines = {"Accept: */*", "Referer: " + headerValue(address), "Accept-Language: zh-cn",
                         "Content-Type: application/x-www-form-urlencoded"};
  return performGet(request, limits);
}

}  // namespace web

Bytes fetchPage(const Text& address) { return web::fetchPage(address, web::TransferLimits{}); }

Text fetchPageText(const Text& address) { return bytesToText(fetchPage(address)); }

}  // namespace qm
