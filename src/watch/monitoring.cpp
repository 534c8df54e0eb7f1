#include "watch/monitoring.h"

#include <atomic>
#include <cmath>
#include <memory>
#include <system_error>
#include <thread>

#include "platform/embedded_assets.h"
#include "platform/sound_player.h"
#include "records/settings.h"
#include "records/watch_columns.h"
#include "text/gbk.h"
#include "watch/product_check.h"
#include "watch/watch_controls.h"

namespace qm {

namespace {

std::atomic<int> liveWorkers{0};

// Counts a worker from before its thread starts until its check has ended.
struct WorkerCount {
  WorkerCount() { liveWorkers.fetch_add(1); }
  ~WorkerCount() { liveWorkers.fetch_sub(1); }
  WorkerCount(const WorkerCount&) = delete;
  WorkerCount& operator=(const WorkerCount&) = delete;
};

void renumberRows(WindowToolkit& tk) {
  int n = tk.rowCount(kWatchList);
  for (int i = 0; i < n; ++i) tk.setCell(kWatchList, i, WatchColumn::Index, integerToText(i + 1));
}

void startMonitoring(Program& program) {
  WindowToolkit& tk = program.tk;
  program.monitor.running = 1;
  program.monitor.mailDone = 0;
  program.monitor.mailAttempts = 0;
  tk.setCaption(controls::MonitorButton, QM_GBK("停止监控"));
  tk.setButtonFace(controls::MonitorButton, embeddedAsset("button_running.png"));
  tk.setTimerPeriod(controls::MonitorTimer, monitorPeriod(tk.text(controls::IntervalBox)));
  startCheckPass(program, 100);
}

void stopMonitoring(Program& program) {
  WindowToolkit& tk = program.tk;
  tk.setTimerPeriod(controls::MonitorTimer, 0);
  tk.setCaption(controls::MonitorButton, QM_GBK("开始监控"));
  tk.setButtonFace(controls::MonitorButton, embeddedAsset("button_idle.png"));
  program.monitor.running = 0;
  if (program.sound != nullptr) program.sound->stop();
}

}  // namespace

int32_t monitorPeriod(const Text& intervalSeconds) {
  double ms = textToNumber(intervalSeconds) * 1000.0;
  // [-2^63, 2^63) is what an int64 holds; NaN fails both comparisons.
  if (!(ms >= -9223372036854775808.0 && ms < 9223372036854775808.0)) return 0;
  auto wide = static_cast<int64_t>(ms);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
}

void toggleMonitoring(Program& program) {
  if (program.tk.caption(controls::MonitorButton) == QM_GBK("开始监控"))
    startMonitoring(program);
  else
    stopMonitoring(program);
  renumberRows(program.tk);
  saveSettings(program);
}

void monitorTimerTick(Program& program) { startCheckPass(program, 10); }

void startCheckPass(Program& program, int64_t spacingMs) {
  WindowToolkit& tk = program.tk;
  int n = tk.rowCount(kWatchList);
  for (int i = 1; i <= n; ++i) {
    try {
      auto count = std::make_shared<WorkerCount>();
      std::thread([&program, i, count] { ProductCheck(program, i); }).detach();
    } catch (const std::system_error&) {
      // No thread could be had for this row now; the next pass checks it again.
    }
    tk.pauseWithEvents(spacingMs);
    tk.handlePendingEvents();
  }
}

int activeCheckWorkers() { return liveWorkers.load(); }

}  // namespace qm
