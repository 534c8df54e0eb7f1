#include "app/startup.h"

#include <cstdio>
#include <mutex>

#include "platform/embedded_assets.h"
#include "platform/file_access.h"
#include "records/record_file.h"
#include "records/settings.h"
#include "web/page_fetch.h"

namespace qm {

namespace {

std::filesystem::path soundFilePath(const std::filesystem::path& runDir) { return runDir / "autio.mp3"; }

}  // namespace

void onMainWindowCreated(Program& program) {
  WindowToolkit& tk = program.tk;
  program.alertLock = std::make_unique<std::mutex>();

  // The QR colours: only the background becomes white; the maxima are raised so
  // that any 24-bit colour fits.
  const auto white = static_cast<int32_t>(hexValue("FFFFFF"));
  tk.setBarMaximum("背景颜色", white);
  tk.setBarValue("背景颜色", white);
  tk.setBarMaximum("前景颜色", white);
  tk.setBarMaximum("渐变颜色", white);
  tk.setBarMaximum("定位点颜色内", white);
  tk.setBarMaximum("定位点颜色外", white);

  const std::string& banner = program.endpoints.bannerAddress;
  tk.setPicture("图片框", banner.empty() ? Bytes{} : fetchPage(banner));

  tk.setTrayIcon(embeddedAsset("tray_icon.ico"), Text{});

  // Written through a temporary file: a write cut short would otherwise leave a
  // broken sound file that no later start replaces.
  const auto sound = soundFilePath(program.runDir);
  if (!nameExists(sound)) replaceFileAtomically(sound, embeddedAsset("autio.mp3"));

  if (nameExists(settingsFilePath(program.runDir))) loadSettings(program);
  if (nameExists(recordFilePath(program.runDir))) importRecordFile(program);
}

// Detached check workers may still hold AlertLock, read MonitorState or use the
// sound player and the mail sender when the window closes; destroying any of
// these under them is undefined behaviour. So the lock is not destroyed here:
// it, the Program and the peers stay alive until the process itself ends, which
// the entry does right after this call by std::_Exit, without running the
// destructors that workers could race with. The files the program writes are
// closed within each operation, so only the standard streams are left to flush.
void exitCleanup(Program& program) {
  static_cast<void>(program);
  std::fflush(nullptr);
}

}  // namespace qm
