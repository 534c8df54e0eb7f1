#include "app/qr_window.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <cstdio>

#include "platform/file_access.h"
#include "web/picture_read.h"

namespace qm {

namespace {

constexpr ControlName kPictureBox = "图片框二维码";

// Upper-case hexadecimal without leading zeros; a negative value gives the digits
// of its 32-bit two's complement.
Text hexText(int32_t value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%X", static_cast<uint32_t>(value));
  return digits;
}

Text trimmedSpaces(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

void showStoredPicture(Program& program) {
  program.tk.setPicture(kPictureBox, readWholeFile(qrImageFile(program.runDir)).value_or(Bytes{}));
}

}  // namespace

std::filesystem::path qrImageFile(const std::filesystem::path& runDir) {
  return runDir / std::filesystem::path(u8"二维码.jpg");
}

void showQrCode(Program& program, const Text& pageAddress) {
  WindowToolkit& tk = program.tk;
  const Text bg = hexText(tk.barValue("背景颜色"));
  const Text fg = hexText(tk.barValue("前景颜色"));
  const Text gc = hexText(tk.barValue("渐变颜色"));
  const Text pt = hexText(tk.barValue("定位点颜色外"));
  const Text inpt = hexText(tk.barValue("定位点颜色内"));

  // The page address goes in as it stands: the service reads the rest of the query as the text.
  const Text request = "http://" + program.endpoints.qrHost + "/api.php?" + "&bg=" + bg + "&fg=" + fg +
                       "&gc=" + gc + "&el=2&w=200&m=10&pt=" + pt + "&inpt=" + inpt +
                       "&logo=&text=" + pageAddress;
  // What counts is whether the file was replaced: a failed fetch shows the previous code.
  reencodeAsJpeg(readPictureAddress(request), qrImageFile(program.runDir));

  if (tk.loadQrWindow()) qrWindowCreated(program);
  // An already open window shows the new code too.
  showStoredPicture(program);
}

std::pair<bool, Bytes> reencodeAsJpeg(const Bytes& picture, const std::filesystem::path& file) {
  if (picture.size() < 3) return {false, {}};

  const QImage image =
      QImage::fromData(QByteArray::fromRawData(picture.data(), static_cast<qsizetype>(picture.size())));
  if (image.isNull()) return {false, {}};

  QByteArray encoded;
  QBuffer buffer(&encoded);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpg");
  writer.setQuality(-1);  // the codec's default
  if (!writer.write(image) || encoded.isEmpty()) return {false, {}};

  Bytes jpeg(encoded.constData(), static_cast<size_t>(encoded.size()));
  if (!trimmedSpaces(file.string()).empty()) replaceFileAtomically(file, jpeg);
  return {true, std::move(jpeg)};
}

void qrWindowCreated(Program& program) { showStoredPicture(program); }

void closeQrWindow(Program& program) { program.tk.closeQrWindow(); }

}  // namespace qm
