#pragma once

// The settings file "god.xin" in the run directory: seven form fields of the main
// window in the INI section "商品监控", kept by the private-profile rules.

#include <filesystem>

#include "config/program.h"

namespace qm {

std::filesystem::path settingsFilePath(const std::filesystem::path& runDir);

// Sets each of the seven fields from its key, or from the key's default when the
// file, the section or the key is missing. Every key is read from the file itself.
void loadSettings(Program& program);
// Stores the seven fields' current texts, replacing the file in one step (readable
// by its owner only: it holds the mail password). Silent when it cannot be written.
void saveSettings(Program& program);

}  // namespace qm
