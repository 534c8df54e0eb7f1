// Re-encoding of the QR service's replies as the JPEG picture file.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <filesystem>
#include <string>

#include "app/qr_window.h"
#include "platform/file_access.h"
#include "support/permissions.h"
#include "support/run_dir.h"

namespace qm {
namespace {

Bytes pictureBytes(int width, int height, const char* format) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::darkGreen);
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, format));
  return Bytes(data.constData(), static_cast<size_t>(data.size()));
}

QImage decoded(const Bytes& bytes) {
  return QImage::fromData(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool isJpeg(const Bytes& bytes) { return bytes.size() > 3 && bytes.compare(0, 3, "\xFF\xD8\xFF") == 0; }

TEST(JpegReencoding, QtCanWriteJpegHere) {
  EXPECT_TRUE(QImageWriter::supportedImageFormats().contains("jpg"));
}

TEST(JpegReencoding, PicturesOfAnyReadableFormatBecomeJpegFiles) {
  // The smallest GIF there is: one transparent pixel (Qt reads GIF but cannot write it).
  const Bytes gif(
      "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,"
      "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;",
      43);
  struct Case {
    const char* format;
    Bytes picture;
    QSize size;
  };
  for (const Case& c : {Case{"PNG", pictureBytes(120, 80, "PNG"), {120, 80}},
                        Case{"BMP", pictureBytes(33, 7, "BMP"), {33, 7}},
                        Case{"JPG", pictureBytes(200, 200, "JPG"), {200, 200}}, Case{"GIF", gif, {1, 1}}}) {
    SCOPED_TRACE(c.format);
    test::RunDir dir;
    const auto file = dir / "二维码.jpg";
    const auto [ok, jpeg] = reencodeAsJpeg(c.picture, file);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(isJpeg(jpeg));
    EXPECT_EQ(readWholeFile(file), jpeg);
    EXPECT_EQ(decoded(jpeg).size(), c.size);
  }
}

TEST(JpegReencoding, NonPicturesAndShortRepliesLeaveTheFileAlone) {
  test::RunDir dir;
  const auto file = dir / "二维码.jpg";
  ASSERT_TRUE(writeWholeFile(file, "previous"));
  for (const Bytes& reply : {Bytes{}, Bytes("\x89P"), Bytes("abc"), Bytes("<html>error</html>"),
                             pictureBytes(40, 40, "PNG").substr(0, 30)}) {
    SCOPED_TRACE(reply);
    const auto [ok, jpeg] = reencodeAsJpeg(reply, file);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(jpeg.empty());
    EXPECT_EQ(readWholeFile(file), Bytes("previous"));
  }
}

TEST(JpegReencoding, BlankPathGivesTheJpegWithoutWriting) {
  test::RunDir dir;
  const auto [ok, jpeg] = reencodeAsJpeg(pictureBytes(10, 10, "PNG"), "   ");
  EXPECT_TRUE(ok);
  EXPECT_TRUE(isJpeg(jpeg));
  EXPECT_FALSE(nameExists(std::filesystem::path("   ")));
}

TEST(JpegReencoding, UnwritableFileKeepsItsOldContent) {
  test::RunDir dir;
  const auto file = dir / "二维码.jpg";
  ASSERT_TRUE(writeWholeFile(file, "previous"));
  test::ObeyPermissions obey;
  if (!obey.active()) GTEST_SKIP() << "permission bits cannot be made to bind here";
  std::filesystem::permissions(dir.path(),
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const auto [ok, jpeg] = reencodeAsJpeg(pictureBytes(10, 10, "PNG"), file);
  EXPECT_TRUE(ok);  // encoding worked; the write failure is silent
  EXPECT_EQ(readWholeFile(file), Bytes("previous"));
}

}  // namespace
}  // namespace qm
