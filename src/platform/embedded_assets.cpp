#include "platform/embedded_assets.h"

#include <QFile>
#include <QString>
#include <mutex>

// The resource is compiled into this static library; registering it by hand makes
// sure it is there even when a linker drops the object that would do it by itself.
static void registerAssets() {
  static std::once_flag once;
  std::call_once(once, [] { Q_INIT_RESOURCE(quillmoor_assets); });
}

namespace qm {

Bytes embeddedAsset(std::string_view fileName) {
  registerAssets();
  QFile file(QStringLiteral(":/assets/") +
             QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size())));
  if (fileName.empty() || !file.open(QIODevice::ReadOnly)) return {};
  QByteArray bytes = file.readAll();
  return Bytes(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace qm
