#include "web/picture_read.h"

#include "web/http_transfer.h"
#include "web/picture_read_limits.h"

namespace qm {

namespace web {

Bytes readPictureAddress(const Text& address, const TransferLimits& limits) {
  // The address goes to the URL parser whole; one without a scheme is read as http.
  const Text lower = toLowerText(leftText(address, 8));
  const bool hasScheme = leftText(lower, 7) == "http://" || lower == "https://";
  if (!hasScheme && findText(address, "://") != -1) return {};

  TransferRequest request;
  request.url = (hasScheme ? Text() : Text("http://")) + escapeUrlBytes(address, true);
  request.http10 = true;
  request.userAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
  request.headerLines = {"Accept: */*"};
  return performGet(request, limits);
}

}  // namespace web

Bytes readPictureAddress(const Text& address) {
  return web::readPictureAddress(address, web::TransferLimits{});
}

}  // namespace qm
