#pragma once

// readPictureAddress with explicit transfer limits, for tests. Internal to web/.

#include "text/text.h"
#include "web/http_transfer.h"

namespace qm::web {

Bytes readPictureAddress(const Text& address, const TransferLimits& limits);

}  // namespace qm::web
