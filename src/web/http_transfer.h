#pragma once

// The libcurl plumbing shared by the page fetch and the picture read: one easy handle
// per transfer, a direct connection, redirects followed, the body of any status
// appended in 1024-byte reads, and the limits below that end a transfer which stalls
// or grows without bound. Internal to web/.

#include <cstddef>
#include <string>
#include <vector>

#include "text/text.h"

namespace qm::web {

struct TransferLimits {
  long connectTimeoutMs = 15000;
  // A transfer that moves less than one byte per second for this long is aborted.
  long stallSeconds = 30;
  // A body that would grow beyond this is cut here, as if the read had failed.
  std::size_t maxBodyBytes = std::size_t{64} * 1024 * 1024;
};

struct TransferRequest {
  std::string url;  // absolute http or https URL, already safe for the URL parser
  // When set, the request line of the first request carries this object exactly,
  // instead of the path of `url` as the URL parser would re-encode it.
  std::string requestTarget;
  bool http10 = false;
  std::string userAgent;
  std::vector<std::string> headerLines;  // sent in this order after Host and User-Agent
};

// One GET; the body read so far, whatever went wrong (empty when nothing came).
Bytes performGet(const TransferRequest& request, const TransferLimits& limits);

// Empties the process-wide cookie store (tests use it to start from a known state).
void forgetCookies();

// Percent-encodes the bytes that cannot stand in a request line (controls, space, DEL)
// and, for text given to the URL parser, "#" (it would start a fragment). Every other
// byte, non-ASCII bytes included, stays as it is.
std::string escapeUrlBytes(std::string_view text, bool escapeHash);

}  // namespace qm::web
