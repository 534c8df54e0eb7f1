#pragma once

// The program's one way of reading the web: a single HTTP/1.1 GET with fixed request
// values. It never reports an error: a fetch that fails gives an empty body (or the
// part of the body read before the failure).

#include "text/text.h"

namespace qm {

// The body of the reply, whatever its status; empty on failure.
Bytes fetchPage(const Text& address);
// fetchPage, cut at the first zero byte.
Text fetchPageText(const Text& address);

// The host of an address, lower-cased, with or without its ":port".
Text urlHost(const Text& address, bool keepPort);
// The port to connect to: an explicit one, else 443 for "https" addresses, else 80.
int urlPort(const Text& address);
// The object to request (path and query, in the address's own letter case); "/" when
// nothing with a "/" follows the host.
Text urlPath(const Text& address);

}  // namespace qm
