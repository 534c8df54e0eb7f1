// The QR picture's cost on the window thread, which it blocks: re-encoding a QR
// service reply (a 200 x 200 two-colour PNG, as the request asks for) into the JPEG
// file, the write included, and the decode of that file that the picture box does.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <random>

#include "app/qr_window.h"
#include "platform/file_access.h"
#include "support/run_dir.h"

namespace {

qm::Bytes qrLikePng() {
  // 25 x 25 modules of 8 pixels: the module grid of a small QR code.
  QImage image(200, 200, QImage::Format_RGB32);
  std::mt19937 random(7);
  for (int my = 0; my < 25; ++my) {
    for (int mx = 0; mx < 25; ++mx) {
      const QRgb colour = (random() & 1) != 0 ? qRgb(0, 0, 0x1E) : qRgb(0xFF, 0xFF, 0xFF);
      for (int y = my * 8; y < my * 8 + 8; ++y)
        for (int x = mx * 8; x < mx * 8 + 8; ++x) image.setPixel(x, y, colour);
    }
  }
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return qm::Bytes(data.constData(), static_cast<size_t>(data.size()));
}

void BM_ReencodeQrReply(benchmark::State& state) {
  qm::test::RunDir dir;
  const qm::Bytes png = qrLikePng();
  const auto file = qm::qrImageFile(dir.path());
  for (auto _ : state) {
    auto result = qm::reencodeAsJpeg(png, file);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * png.size()));
  state.counters["png_bytes"] = static_cast<double>(png.size());
  state.counters["jpeg_bytes"] = static_cast<double>(qm::readWholeFile(file).value_or("").size());
}
BENCHMARK(BM_ReencodeQrReply)->Unit(benchmark::kMicrosecond);

void BM_DecodeStoredJpeg(benchmark::State& state) {
  qm::test::RunDir dir;
  const auto file = qm::qrImageFile(dir.path());
  qm::reencodeAsJpeg(qrLikePng(), file);
  const qm::Bytes jpeg = qm::readWholeFile(file).value_or("");
  for (auto _ : state) {
    QImage image =
        QImage::fromData(QByteArray::fromRawData(jpeg.data(), static_cast<qsizetype>(jpeg.size())));
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(BM_DecodeStoredJpeg)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);  // Qt's image plugins (JPEG) load through it
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
