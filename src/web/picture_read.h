#pragma once

// The QR picture's HTTP read: one HTTP/1.0 GET of an address, kept apart from the page
// fetch because it sends other request values. The whole body of the reply, whatever
// its status; empty bytes when the address cannot be parsed or nothing is received.

#include "text/text.h"

namespace qm {

Bytes readPictureAddress(const Text& address);

}  // namespace qm
