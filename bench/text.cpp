// The text operations on large replies, each beside the nearest standard operation
// on the same bytes. Two texts: a JSONP-like reply (mostly ASCII, some GBK names)
// and a GBK-dense text; each at 256 KiB and 1 MiB, to show the cost is linear.
//
//   cmake --preset release && cmake --build --preset release -j2 --target bench_text
//   ./build/release/bench/bench_text --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// (without the test support: cmake --preset release -B build/release-bench -DQM_BUILD_TESTS=OFF)
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace {

// 商品 名称 京东 现货 (GBK), used in both texts.
const std::string kName = "\xC9\xCC\xC6\xB7\xC3\xFB\xB3\xC6\xBE\xA9\xB6\xAB\xCF\xD6\xBB\xF5";

// The sought markers occur once, near the far end of the scan, so every search
// passes the whole text.
const std::string kTail = "\"StockStateName\":\"" + kName + "\",\"end\":1}])";
const std::string kHead = "jQuery4471([{\"first\":\"";

std::string jsonpReply(size_t size) {
  std::string t = kHead + "x\",";
  for (int i = 0; t.size() + kTail.size() < size; ++i) {
    t += "{\"id\":\"J_" + std::to_string(100012345 + i) + "\",\"p\":\"" + std::to_string(1000 + i % 9000) +
         ".00\",\"m\":\"" + std::to_string(2000 + i % 7000) + ".00\",\"op\":\"99.90\"";
    if (i % 4 == 0) t += ",\"name\":\"" + kName + "\"";
    t += "},";
  }
  t += kTail;
  return t;
}

std::string gbkDense(size_t size) {
  std::string t = kHead + "x\",";
  for (int i = 0; t.size() + kTail.size() < size; ++i) {
    t += kName + kName + kName;
    if (i % 3 == 0) t += ",";
  }
  t += kTail;
  return t;
}

const std::string& text(int kind, int64_t size) {
  static const std::string texts[2][2] = {{jsonpReply(256 << 10), jsonpReply(1 << 20)},
                                          {gbkDense(256 << 10), gbkDense(1 << 20)}};
  return texts[kind][size == (1 << 20) ? 1 : 0];
}

const std::string kTailMarker = "\"StockStateName\":\"";
const std::string kHeadMarker = "\"first\":\"";

void setBytes(benchmark::State& state, const std::string& t) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(t.size()));
}

void BM_findText(benchmark::State& state) {
  const std::string& t = text(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(qm::findText(t, kTailMarker));
  setBytes(state, t);
}

void BM_std_find(benchmark::State& state) {
  const std::string_view t = text(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(t.find(kTailMarker));
  setBytes(state, text(static_cast<int>(state.range(0)), state.range(1)));
}

void BM_findText_ignoreCase(benchmark::State& state) {
  const std::string& t = text(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(qm::findText(t, "\"stockstatename\":\"", std::nullopt, true));
  setBytes(state, t);
}

// The last occurrence of a marker that occurs only at the head: the whole text is
// passed either way (forward here, backward for rfind).
void BM_findLastText(benchmark::State& state) {
  const std::string& t = text(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(qm::findLastText(t, kHeadMarker));
  setBytes(state, t);
}

void BM_std_rfind(benchmark::State& state) {
  const std::string_view t = text(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(t.rfind(kHeadMarker));
  setBytes(state, text(static_cast<int>(state.range(0)), state.range(1)));
}

void BM_textBetween(benchmark::State& state) {
  const std::string& t = text(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(qm::textBetween(t, kTailMarker, "\""));
  setBytes(state, t);
}

void BM_std_between(benchmark::State& state) {
  const std::string_view t = text(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) {
    const size_t c = t.find(kTailMarker) + kTailMarker.size();
    const size_t d = t.find('"', c);
    benchmark::DoNotOptimize(std::string(t.substr(c, d - c)));
  }
  setBytes(state, text(static_cast<int>(state.range(0)), state.range(1)));
}

// Every double quote replaced: many occurrences.
void BM_replaceText(benchmark::State& state) {
  const std::string& t = text(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(qm::replaceText(t, "\"", "'"));
  setBytes(state, t);
}

void BM_std_replace(benchmark::State& state) {
  const std::string_view t = text(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) {
    std::string out;
    out.reserve(t.size());
    size_t pos = 0;
    for (size_t p; (p = t.find('"', pos)) != std::string_view::npos; pos = p + 1) {
      out.append(t.substr(pos, p - pos));
      out.push_back('\'');
    }
    out.append(t.substr(pos));
    benchmark::DoNotOptimize(out);
  }
  setBytes(state, text(static_cast<int>(state.range(0)), state.range(1)));
}

void BM_splitText(benchmark::State& state) {
  const std::string& t = text(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(qm::splitText(t, ","));
  setBytes(state, t);
}

void BM_std_split(benchmark::State& state) {
  const std::string_view t = text(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) {
    std::vector<std::string> pieces;
    size_t pos = 0;
    for (size_t p; (p = t.find(',', pos)) != std::string_view::npos; pos = p + 1)
      pieces.emplace_back(t.substr(pos, p - pos));
    if (pos < t.size()) pieces.emplace_back(t.substr(pos));
    benchmark::DoNotOptimize(pieces);
  }
  setBytes(state, text(static_cast<int>(state.range(0)), state.range(1)));
}

// Arguments: text kind (0 JSONP-like, 1 GBK-dense), size in bytes.
void sizes(benchmark::internal::Benchmark* b) {
  for (int kind : {0, 1})
    for (int64_t size : {int64_t{256} << 10, int64_t{1} << 20}) b->Args({kind, size});
  b->ArgNames({"gbk", "bytes"});
}

BENCHMARK(BM_findText)->Apply(sizes);
BENCHMARK(BM_std_find)->Apply(sizes);
BENCHMARK(BM_findText_ignoreCase)->Apply(sizes);
BENCHMARK(BM_findLastText)->Apply(sizes);
BENCHMARK(BM_std_rfind)->Apply(sizes);
BENCHMARK(BM_textBetween)->Apply(sizes);
BENCHMARK(BM_std_between)->Apply(sizes);
BENCHMARK(BM_replaceText)->Apply(sizes);
BENCHMARK(BM_std_replace)->Apply(sizes);
BENCHMARK(BM_splitText)->Apply(sizes);
BENCHMARK(BM_std_split)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
