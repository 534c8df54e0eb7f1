#pragma once

// fetchPage with explicit transfer limits, so tests can lower the stall time-out and
// the body cap. Internal to web/ and its tests.

#include "text/text.h"
#include "web/http_transfer.h"

namespace qm::web {

Bytes fetchPage(const Text& address, const TransferLimits& limits);

}  // namespace qm::web
