#pragma once

// What the handlers and workers of the running program share: one value in the
// program; each test builds its own over a fresh run directory and loopback endpoints.

#include <filesystem>
#include <memory>
#include <mutex>

#include "config/endpoints.h"
#include "toolkit/window_toolkit.h"
#include "watch/monitor_state.h"

namespace qm {

class SoundPlayer;
class MailSender;

struct Program {
  WindowToolkit& tk;
  Endpoints endpoints;
  std::filesystem::path runDir;
  SoundPlayer* sound = nullptr;  // the alert sound player
  MailSender* mail = nullptr;    // the alert mail sender, used only under alertLock
  MonitorState monitor;
  std::unique_ptr<std::mutex> alertLock;  // AlertLock: created by the start-up sequence
};

}  // namespace qm
