#pragma once

// What the handlers and workers of the running program share. One value per
// process in the program; each test builds its own over a fresh run directory.

#include <filesystem>
#include <memory>
#include <mutex>

#include "config/endpoints.h"
#include "platform/mail_sender.h"
#include "platform/sound_player.h"
#include "toolkit/window_toolkit.h"
#include "watch/monitor_state.h"

namespace qm {

struct Program {
  WindowToolkit& tk;
  Endpoints endpoints;
  std::filesystem::path runDir;
  SoundPlayer& sound;
  MailSender& mail;  // used only under alertLock
  MonitorState monitor;
  std::unique_ptr<std::mutex> alertLock;  // AlertLock: created by the start-up sequence
};

}  // namespace qm
