// Latency of one toolkit call from a worker thread to the GUI thread and back (a cell
// write, a cell read), with the GUI idle and with the GUI handling a busy stream of
// events. The benchmarks run on a worker; the main thread is the GUI thread.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "app/main_window_form.h"
#include "toolkit/qt_toolkit.h"

namespace {

qm::QtToolkit* toolkit = nullptr;

// Keeps the GUI thread's queue busy: every event handled does ~10 us of work on a
// control and posts the next one, with a few always in flight.
class EventStream : public QObject {
 public:
  explicit EventStream(QLineEdit* edit) : edit_(edit) {}
  void start(int inFlight) {
    running_ = true;
    for (int i = 0; i < inFlight; ++i) QCoreApplication::postEvent(this, new QEvent(QEvent::User));
  }
  void stop() { running_ = false; }
  bool event(QEvent* e) override {
    if (e->type() != QEvent::User) return QObject::event(e);
    if (!running_) return true;
    edit_->setText(QString::number(++count_));
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(10);
    while (std::chrono::steady_clock::now() < until) {
    }
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    return true;
  }

 private:
  QLineEdit* edit_;
  std::atomic<bool> running_{false};
  int count_ = 0;
};

EventStream* stream = nullptr;

template <class Call>
void measure(benchmark::State& state, Call call) {
  const bool busy = state.range(0) != 0;
  if (busy)
    QMetaObject::invokeMethod(
        qApp, [] { stream->start(4); }, Qt::BlockingQueuedConnection);
  std::vector<double> samples;
  samples.reserve(200000);
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    call();
    samples.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  if (busy)
    QMetaObject::invokeMethod(
        qApp, [] { stream->stop(); }, Qt::BlockingQueuedConnection);
  std::sort(samples.begin(), samples.end());
  auto at = [&](double q) { return samples.empty() ? 0.0 : samples[size_t(q * double(samples.size() - 1))]; };
  state.counters["p50_us"] = at(0.50);
  state.counters["p99_us"] = at(0.99);
  state.SetLabel(busy ? "GUI busy" : "GUI idle");
}

void CellWrite(benchmark::State& state) {
  const qm::Text value = "12.90";
  measure(state, [&] { toolkit->setCell("超级列表框监控", 0, 3, value); });
}

void CellRead(benchmark::State& state) {
  measure(state, [&] { benchmark::DoNotOptimize(toolkit->cell("超级列表框监控", 0, 2)); });
}

BENCHMARK(CellWrite)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(CellRead)->Arg(0)->Arg(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  std::unique_ptr<QWidget> window(qm::createMainWindow());
  window->show();
  qm::QtToolkit tk(window.get());
  toolkit = &tk;
  tk.appendRow("超级列表框监控");
  tk.setCell("超级列表框监控", 0, 2, "product name");
  EventStream events(window->findChild<QLineEdit*>(QStringLiteral("cat")));
  stream = &events;

  std::thread worker([&] {
    benchmark::RunSpecifiedBenchmarks();
    QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
  });
  app.exec();
  worker.join();
  benchmark::Shutdown();
  return 0;
}
