#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <cstdint>
#include <filesystem>

#include "platform/embedded_assets.h"
#include "platform/file_access.h"

namespace {

uint32_t be32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
         uint32_t(uint8_t(b[at + 2])) << 8 | uint8_t(b[at + 3]);
}
uint32_t le(const std::string& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | uint8_t(b[at + size_t(i)]);
  return v;
}

std::string sourceAsset(const char* name) {
  auto bytes = qm::readWholeFile(std::filesystem::path(QM_TEST_SOURCE_DIR) / ".." / "assets" / name);
  return bytes.value_or("");
}

struct FrameScan {
  int frames = 0;
  size_t coveredBytes = 0;
  bool allAlike = true;  // every header: MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, stereo
};

FrameScan scanFrames(const std::string& mp3) {
  FrameScan scan;
  size_t at = 0;
  while (at + 4 <= mp3.size()) {
    uint32_t h = be32(mp3, at);
    if ((h >> 21) != 0x7FF) break;
    unsigned version = (h >> 19) & 3, layer = (h >> 17) & 3, bitrate = (h >> 12) & 15, rate = (h >> 10) & 3,
             padding = (h >> 9) & 1, mode = (h >> 6) & 3;
    if (version != 3 || layer != 1 || bitrate != 9 || rate != 0 || mode != 0) scan.allAlike = false;
    at += 144 * 128000 / 44100 + padding;
    ++scan.frames;
  }
  scan.coveredBytes = at;
  return scan;
}

}  // namespace

TEST(Assets, EmbeddedFilesEqualTheCommittedOnes) {
  for (const char* name : {"autio.mp3", "tray_icon.ico"}) {
    std::string embedded = qm::embeddedAsset(name);
    EXPECT_FALSE(embedded.empty()) << name;
    EXPECT_EQ(embedded, sourceAsset(name)) << name;
  }
  EXPECT_EQ(qm::embeddedAsset("no such file.mp3"), "");
  EXPECT_EQ(qm::embeddedAsset(""), "");
}

TEST(Assets, AlertSoundHasItsFixedForm) {
  std::string mp3 = qm::embeddedAsset("autio.mp3");
  ASSERT_EQ(mp3.size(), 426736u);
  FrameScan scan = scanFrames(mp3);
  EXPECT_EQ(scan.frames, 1021);
  EXPECT_EQ(scan.coveredBytes, mp3.size()) << "nothing but frames, no trailing tag";
  EXPECT_TRUE(scan.allAlike);
  EXPECT_NE(mp3.substr(0, 3), "ID3");
  EXPECT_NE(mp3.substr(mp3.size() - 128, 3), "TAG");
  // An info frame would carry its tag right after the first frame's side information.
  std::string afterSideInfo = mp3.substr(4 + 32, 4);
  EXPECT_NE(afterSideInfo, "Xing");
  EXPECT_NE(afterSideInfo, "Info");
}

TEST(Assets, TrayIconIsOne32By32ImageAt32Bits) {
  std::string ico = qm::embeddedAsset("tray_icon.ico");
  ASSERT_EQ(ico.size(), 4286u);
  struct Field {
    const char* what;
    size_t at;
    int width;
    uint32_t value;
  } fields[] = {
      {"reserved", 0, 2, 0},
      {"type icon", 2, 2, 1},
      {"one image", 4, 2, 1},
      {"width", 6, 1, 32},
      {"height", 7, 1, 32},
      {"colours", 8, 1, 0},
      {"planes", 10, 2, 1},
      {"bits", 12, 2, 32},
      {"image size", 14, 4, 4264},
      {"image offset", 18, 4, 22},
      {"info size", 22, 4, 40},
      {"dib width", 26, 4, 32},
      {"dib height (with mask)", 30, 4, 64},
      {"dib planes", 34, 2, 1},
      {"dib bits", 36, 2, 32},
      {"uncompressed", 38, 4, 0},
  };
  for (const auto& f : fields) EXPECT_EQ(le(ico, f.at, f.width), f.value) << f.what;

  QImage image = QImage::fromData(QByteArray(ico.data(), qsizetype(ico.size())), "ICO");
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(32, 32));
  EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "the corners are transparent";
  EXPECT_EQ(image.pixelColor(13, 4), QColor(0x56, 0xA8, 0xF2)) << "the ring is the program's blue";
}
