#pragma once

#include <atomic>
#include <cstdint>

namespace qm {

// Process-wide monitoring values shared by the GUI thread and the check workers.
// Atomic, so the same reads and writes in the same order carry no data race.
struct MonitorState {
  std::atomic<int32_t> running{0};       // 1 while monitoring is on
  std::atomic<int32_t> mailDone{0};      // 1 once this run's alert mail was sent or given up
  std::atomic<int32_t> mailAttempts{0};  // attempts counter of that mail
};

}  // namespace qm
