#pragma once

// Whole-file access in the run directory. File names are in the platform's own
// encoding (UTF-8 on Linux, wide on Windows); contents are bytes.

#include <filesystem>
#include <optional>

#include "text/text.h"

namespace qm {

// A file or a directory of that name exists.
bool nameExists(const std::filesystem::path& path);
// All bytes of a regular file; nothing when it is missing, unreadable or a directory.
std::optional<Bytes> readWholeFile(const std::filesystem::path& path);
// Writes the bytes to a temporary file beside `path` and replaces `path` in one
// atomic step; on any failure the old file stays whole. ownerOnly: readable and
// writable by its owner only (POSIX).
bool replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool ownerOnly = false);
// Creates or truncates the file and writes the bytes (no atomic replace).
bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes);

// The directory that holds the program's executable.
std::filesystem::path executableDirectory();

}  // namespace qm
