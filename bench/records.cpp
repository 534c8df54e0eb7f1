// Import and rewrite of the record file through the real list view (offscreen).
//   build/release/bench/bench_records
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "app/main_window_form.h"
#include "records/record_file.h"
#include "records/watch_columns.h"
#include "support/run_dir.h"
#include "text/gbk.h"
#include "toolkit/qt_toolkit.h"

namespace {

struct Window {
  std::unique_ptr<QWidget> window{qm::createMainWindow()};
  qm::QtToolkit tk{window.get()};
  qm::test::RunDir runDir;
  qm::Program program{tk, qm::Endpoints{}, runDir.path(), nullptr, nullptr, {}, {}};
  Window() {
    window->show();
    QApplication::processEvents();
  }
};

Window* shared = nullptr;

std::string recordFile(int rows) {
  std::string file;
  for (int i = 0; i < rows; ++i)
    file += qm::recordLine(
        {std::to_string(100012043978LL + i), qm::utf8ToGbk("小米手机 Redmi Note 12 5G 8GB+256GB"),
         qm::utf8ToGbk("北京-1#朝阳区-72+三环以内-2799"), "1299.00", "1000004123", "9987,653,655"});
  return file;
}

// Import into an empty list, the list painted once afterwards as the user would see it.
void BM_Import(benchmark::State& state) {
  Window& w = *shared;
  const int rows = static_cast<int>(state.range(0));
  std::ofstream(qm::recordFilePath(w.program.runDir), std::ios::binary) << recordFile(rows);
  for (auto _ : state) {
    state.PauseTiming();
    w.tk.deleteAllRows(qm::kWatchList);
    QApplication::processEvents();
    state.ResumeTiming();
    qm::importRecordFile(w.program);
    QApplication::processEvents();
  }
  if (w.tk.rowCount(qm::kWatchList) != rows) state.SkipWithError("wrong row count");
  state.SetComplexityN(rows);
}

void BM_Rewrite(benchmark::State& state) {
  Window& w = *shared;
  const int rows = static_cast<int>(state.range(0));
  std::ofstream(qm::recordFilePath(w.program.runDir), std::ios::binary) << recordFile(rows);
  w.tk.deleteAllRows(qm::kWatchList);
  qm::importRecordFile(w.program);
  QApplication::processEvents();
  for (auto _ : state) qm::rewriteRecordFile(w.program);
  state.SetComplexityN(rows);
}

BENCHMARK(BM_Import)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_Rewrite)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  Window window;
  shared = &window;
  benchmark::RunSpecifiedBenchmarks();
  shared = nullptr;
  benchmark::Shutdown();
  return 0;
}
