// One timer pass of monitoring over 1,000 watched rows against a loopback shop in a
// process of its own: the longest stalls of the GUI event loop during the pass, the
// CPU time per product check and the peak RSS; then the same four requests per
// product made by a Python `requests` peer, for the CPU ratio.
//
//   build/release/bench/bench_monitoring [--rows=N]
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/event_table.h"
#include "app/main_window_form.h"
#include "config/program.h"
#include "records/watch_columns.h"
#include "support/loopback_server.h"
#include "text/gbk.h"
#include "toolkit/qt_toolkit.h"
#include "watch/monitoring.h"

namespace {

int gRows = 1000;
int gServerPort = 0;

double cpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The shop, in a child process so its CPU time is not counted as the program's.
pid_t startShop(int& port, int& keepAliveFd) {
  int toParent[2], fromParent[2];
  if (pipe(toParent) != 0 || pipe(fromParent) != 0) std::abort();
  pid_t pid = fork();
  if (pid == 0) {
    close(toParent[0]);
    close(fromParent[1]);
    qm::test::LoopbackServer server;
    auto reply = [](std::string body) {
      qm::test::Reply r;
      r.body = std::move(body);
      return r;
    };
    server.route("/stock", reply("getStockCallback({\"stock\":{\"StockState\":34,\"StockStateName\":\"" +
                                 qm::utf8ToGbk("无货") + "\",\"rn\":-1,\"area\":{\"provinceName\":\"" +
                                 qm::utf8ToGbk("北京") + "\"}}})"));
    server.route("/prices/get",
                 reply("cnp([{\"id\":\"J_1\",\"p\":\"5999.00\",\"m\":\"6999.00\",\"op\":\"5999.00\"}]);"));
    server.route("/promoinfo/get",
                 reply("Promotions.set({\"skuCoupon\":[],\"prom\":{\"tags\":[]},\"quan\":{}});"));
    server.route("/prices/pcpmgets",
                 reply("singlePrice([{\"id\":\"1\",\"p\":\"5899.00\",\"m\":\"6999.00\"}])"));
    int p = server.port();
    if (write(toParent[1], &p, sizeof p) != sizeof p) _exit(1);
    char c;
    while (read(fromParent[0], &c, 1) > 0) {
    }
    server.stop();
    _exit(0);
  }
  close(toParent[1]);
  close(fromParent[0]);
  if (read(toParent[0], &port, sizeof port) != sizeof port) std::abort();
  close(toParent[0]);
  keepAliveFd = fromParent[1];
  return pid;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t at = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
  return v[at];
}

void BM_MonitoringPass(benchmark::State& state) {
  std::unique_ptr<QWidget> window(qm::createMainWindow());
  window->show();
  qm::QtToolkit toolkit(window.get());
  qm::Endpoints ends;
  const std::string host = "127.0.0.1:" + std::to_string(gServerPort);
  ends.stockHost = ends.priceHost = ends.promotionHost = ends.weChatPriceHost = host;
  ends.smtpServer = "127.0.0.1";
  ends.smtpPort = 1;
  qm::Program program{toolkit, ends, "/tmp", nullptr, nullptr, {}, std::make_unique<std::mutex>()};
  qm::bindEventTable(program, toolkit);
  toolkit.setCheckState("选择框音乐提醒", 0);
  toolkit.setCheckState("选择框邮件提醒", 0);
  for (int i = 0; i < gRows; ++i) {
    int row = toolkit.appendRow(qm::kWatchList);
    toolkit.setCell(qm::kWatchList, row, qm::WatchColumn::Index, std::to_string(i + 1));
    toolkit.setCell(qm::kWatchList, row, qm::WatchColumn::ProductId, std::to_string(100000 + i));
    toolkit.setCell(qm::kWatchList, row, qm::WatchColumn::Region,
                    qm::utf8ToGbk("北京-1#朝阳区-72+三环以内-2799"));
    toolkit.setCell(qm::kWatchList, row, qm::WatchColumn::WishedPrice, "1000");
    toolkit.setCell(qm::kWatchList, row, qm::WatchColumn::VenderId, "1000000127");
    toolkit.setCell(qm::kWatchList, row, qm::WatchColumn::Cat, "9987,653,655");
  }
  QCoreApplication::processEvents();

  for (auto _ : state) {
    std::vector<double> gaps;
    gaps.reserve(200000);
    QElapsedTimer clock;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    sampler.setInterval(1);
    qint64 last = -1;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
      qint64 now = clock.nsecsElapsed();
      if (last >= 0) gaps.push_back(double(now - last) / 1e6);
      last = now;
    });
    program.monitor.running = 1;
    double cpuBefore = cpuSeconds(RUSAGE_SELF);
    clock.start();
    sampler.start();
    qm::monitorTimerTick(program);  // the pass a timer tick runs: starts 10 ms apart
    while (qm::activeCheckWorkers() > 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    sampler.stop();
    double wall = double(clock.nsecsElapsed()) / 1e9;
    double cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    state.SetIterationTime(wall);
    program.monitor.running = 0;

    int checked = 0;
    for (int i = 0; i < gRows; ++i)
      checked += toolkit.cell(qm::kWatchList, i, qm::WatchColumn::Status) == qm::utf8ToGbk("无货");
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    state.counters["rows"] = gRows;
    state.counters["rows_checked"] = checked;
    state.counters["stall_max_ms"] = gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
    state.counters["stall_p99_ms"] = percentile(gaps, 0.99);
    state.counters["cpu_ms_per_check"] = cpu * 1000 / gRows;
    state.counters["peak_rss_mb"] = double(u.ru_maxrss) / 1024;

    // The Python peer: the same four requests per product, for as many products.
    double childBefore = cpuSeconds(RUSAGE_CHILDREN);
    std::string command = "/usr/bin/python3 " QM_TEST_SOURCE_DIR "/../bench/peers/shop_requests.py " + host +
                          " " + std::to_string(gRows);
    FILE* peer = popen(command.c_str(), "r");
    double peerCpu = -1;
    char line[256];
    while (peer != nullptr && fgets(line, sizeof line, peer) != nullptr)
      if (std::strncmp(line, "cpu_seconds ", 12) == 0) peerCpu = std::atof(line + 12);
    if (peer != nullptr) pclose(peer);
    double peerProcessCpu = cpuSeconds(RUSAGE_CHILDREN) - childBefore;  // interpreter start included
    state.counters["python_cpu_ms_per_product"] = peerCpu * 1000 / gRows;
    state.counters["python_process_cpu_ms_per_product"] = peerProcessCpu * 1000 / gRows;
    state.counters["python_to_quillmoor_cpu"] = cpu > 0 ? peerCpu / cpu : 0;
  }
  toolkit.shutdown();
}

}  // namespace

BENCHMARK(BM_MonitoringPass)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--rows=", 7) == 0) gRows = std::atoi(argv[i] + 7);
  int keepAlive = -1;
  pid_t shop = startShop(gServerPort, keepAlive);
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int result = 0;
  {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  close(keepAlive);
  waitpid(shop, nullptr, 0);
  return result;
}
