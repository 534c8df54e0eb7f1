#pragma once

// The files of assets/ carried inside the program (the alert sound, the tray icon,
// the button faces), addressed by their file names.

#include <string_view>

#include "text/text.h"

namespace qm {

// All bytes of the embedded file of that name ("autio.mp3"); empty when there is none.
Bytes embeddedAsset(std::string_view fileName);

}  // namespace qm
