#pragma once

// The QR window: the QR code of a product's mobile or WeChat page, fetched from the
// QR-code service in the program's five colours, kept as a JPEG file in the run
// directory and shown in a small borderless window above the main window.

#include <filesystem>
#include <utility>

#include "config/program.h"

namespace qm {

// Asks the QR service for the code of `pageAddress`, stores the reply as the JPEG
// file and shows that file in the QR window (created, or brought to the front).
void showQrCode(Program& program, const Text& pageAddress);

// Decodes picture bytes of any format Qt reads and encodes them as JPEG at the
// codec's default quality. On success writes the JPEG to `file` (unless its name is
// blank) and gives it back; otherwise gives failure and leaves the file untouched.
std::pair<bool, Bytes> reencodeAsJpeg(const Bytes& picture, const std::filesystem::path& file);

// The QR window's created event: shows the stored file.
void qrWindowCreated(Program& program);

// Double click on the QR picture.
void closeQrWindow(Program& program);

// The stored QR picture of a run directory.
std::filesystem::path qrImageFile(const std::filesystem::path& runDir);

}  // namespace qm
