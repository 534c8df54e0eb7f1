// Web access figures beside peers measured in the same run:
//  - decodeEscapedText on a 256 KiB stock-like reply, in MB/s of CPU time, beside node
//    decoding the same reply (one node process; it measures the CPU time of its decodes);
//  - CPU time of the calling thread per fetchPageText of a 2 KiB loopback reply, beside a
//    Python requests loop and a bare socket client (connect, send, read to the end,
//    close), the floor. Each fetcher fetches the same address kFetches times.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "support/loopback_server.h"
#include "support/run_dir.h"
#include "web/escape_decoding.h"
#include "web/page_fetch.h"

namespace {

const std::string kPeers = std::string(QM_TEST_SOURCE_DIR) + "/../bench/peers/";
constexpr int kFetches = 2000;
constexpr int kNodeDecodes = 200;

std::string stockLikeReply() {
  const std::string record =
      R"({"skuId":100012043978,"StockState":33,"StockStateName":"\u73b0\u8d27","area":)"
      R"({"provinceName":"\u5317\u4eac","cityName":"\u671d\u9633\u533a","countyName":"\u4e09\u73af\u5230\u56db\u73af\u4e4b\u95f4"},)"
      R"("promiseResult":"\u4eca\u5929\u0032\u0033\u003a\u0031\u0030\u524d\u4e0b\u5355\uff0c\u9884\u8ba1\u660e\u5929\u9001\u8fbe",)"
      R"("vender":"\u4eac\u4e1c\u81ea\u8425","url":"http:\/\/item.jd.com\/100012043978.html","dcId":"\u5e7f\u5dde"},)"
      "\r\n";
  std::string reply = "jQuery7749({\"stock\":[";
  while (reply.size() < 256 * 1024) reply += record;
  return reply + "]})";
}

double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::string runAndRead(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
    pclose(p);
  }
  return out;
}

// The number after `"key":` in a one-line JSON answer of a peer.
std::optional<double> jsonNumber(const std::string& json, const std::string& key) {
  const auto at = json.find("\"" + key + "\":");
  if (at == std::string::npos) return std::nullopt;
  return std::stod(json.substr(at + key.size() + 3));
}

void BM_DecodeEscapedText(benchmark::State& state) {
  const std::string reply = stockLikeReply();
  for (auto _ : state) benchmark::DoNotOptimize(qm::decodeEscapedText(reply));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_DecodeEscapedText)->Unit(benchmark::kMillisecond);

void BM_NodeDecodeSameReply(benchmark::State& state) {
  const std::string reply = stockLikeReply();
  qm::test::RunDir dir;
  std::ofstream(dir / "reply.txt", std::ios::binary) << reply;
  const std::string answer = runAndRead("node " + kPeers + "node_decode.js " + (dir / "reply.txt").string() +
                                        " " + std::to_string(kNodeDecodes));
  const auto seconds = jsonNumber(answer, "cpuSecondsPerDecode");
  if (!seconds) {
    state.SkipWithError(("node gave no figure: " + answer).c_str());
    return;
  }
  for (auto _ : state) state.SetIterationTime(*seconds);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_NodeDecodeSameReply)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

struct FetchPeer {
  qm::test::LoopbackServer server;
  std::string address;
  std::string body;
  FetchPeer() {
    for (int i = 0; body.size() < 2048; ++i) body += "jQuery(" + std::to_string(i) + ");";
    body.resize(2048);
    server.route("/prices/get", qm::test::Reply(body, 200, "application/json"));
    address = server.url("/prices/get?type=1&area=1_72_2799&pdtk=&pduid=1&skuid=J_100012043978");
  }
};

FetchPeer& peer() {
  static FetchPeer p;
  return p;
}

double fetchPageTextCpu = 0, bareSocketCpu = 0, pythonCpu = 0;

void BM_FetchPageText(benchmark::State& state) {
  FetchPeer& p = peer();
  const double start = threadCpuSeconds();
  for (auto _ : state) {
    if (qm::fetchPageText(p.address).size() != p.body.size()) state.SkipWithError("wrong body");
  }
  fetchPageTextCpu = (threadCpuSeconds() - start) / static_cast<double>(state.iterations());
  state.counters["cpu_us_per_fetch"] = fetchPageTextCpu * 1e6;
  p.server.clearRequests();
}
BENCHMARK(BM_FetchPageText)->Iterations(kFetches)->Unit(benchmark::kMicrosecond);

// The floor: what any client must do for the same fetch.
void BM_BareSocketFetch(benchmark::State& state) {
  FetchPeer& p = peer();
  const std::string request =
      "GET /prices/get?type=1&area=1_72_2799&pdtk=&pduid=1&skuid=J_100012043978 HTTP/1.1\r\n"
      "Host: " +
      p.server.host() +
      "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
      "Accept: */*\r\nReferer: " +
      p.address + "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n";
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(p.server.port()));
  const double start = threadCpuSeconds();
  for (auto _ : state) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) state.SkipWithError("connect");
    (void)!::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply;
    char buffer[1024];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
      reply.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    benchmark::DoNotOptimize(reply);
  }
  bareSocketCpu = (threadCpuSeconds() - start) / static_cast<double>(state.iterations());
  state.counters["cpu_us_per_fetch"] = bareSocketCpu * 1e6;
}
BENCHMARK(BM_BareSocketFetch)->Iterations(kFetches)->Unit(benchmark::kMicrosecond);

void BM_PythonRequestsFetch(benchmark::State& state) {
  FetchPeer& p = peer();
  const std::string answer =
      runAndRead("/usr/bin/python3 " + kPeers + "requests_fetch.py '" + p.address + "' " +
                 std::to_string(kFetches) + " " + std::to_string(p.body.size()));
  const auto seconds = jsonNumber(answer, "cpuSecondsPerFetch");
  if (!seconds) {
    state.SkipWithError(("python gave no figure: " + answer).c_str());
    return;
  }
  pythonCpu = *seconds;
  for (auto _ : state) state.SetIterationTime(*seconds);
  state.counters["cpu_us_per_fetch"] = pythonCpu * 1e6;
}
BENCHMARK(BM_PythonRequestsFetch)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (fetchPageTextCpu > 0 && bareSocketCpu > 0) {
    std::printf("fetchPageText / bare socket floor: %.2fx CPU per fetch\n", fetchPageTextCpu / bareSocketCpu);
  }
  if (fetchPageTextCpu > 0 && pythonCpu > 0) {
    std::printf("Python requests / fetchPageText: %.2fx CPU per fetch\n", pythonCpu / fetchPageTextCpu);
  }
  return 0;
}
