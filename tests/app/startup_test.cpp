// The start-up sequence and the exit cleanup on the real main window.
#include "app/startup.h"

#include "app/main_window_form.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTableWidget>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/embedded_assets.h"
#include "records/record_file.h"
#include "records/watch_columns.h"
#include "support/loopback_server.h"
#include "support/window_fixture.h"
#include "toolkit/picture_box.h"

namespace qm {
namespace {

using test::g;

std::string fileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void putFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string pngBytes(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

class Startup : public test::WindowFixture {
 protected:
  std::filesystem::path sound() const { return runDir / "autio.mp3"; }
};

TEST_F(Startup, FirstStartInAnEmptyDirectory) {
  program.alertLock.reset();
  onMainWindowCreated(program);
  EXPECT_NE(program.alertLock, nullptr);
  const Bytes mp3 = embeddedAsset("autio.mp3");
  ASSERT_FALSE(mp3.empty());
  EXPECT_EQ(fileBytes(sound()), mp3);
  // No settings file: the designed defaults stay; no record file: an empty list.
  EXPECT_EQ(tk.text("编辑框商品编号"), "1743535");
  EXPECT_EQ(tk.text("编辑框发邮件账号"), g("发邮件设置"));
  EXPECT_EQ(tk.rowCount(kWatchList), 0);
  EXPECT_FALSE(std::filesystem::exists(runDir / "god.xin"));
  EXPECT_FALSE(std::filesystem::exists(recordFilePath(runDir.path())));
}

TEST_F(Startup, CreatedEventOfTheMainWindowRunsTheSequence) {
  tk.fire(kMainWindowName, UiEvent::Created);
  EXPECT_TRUE(std::filesystem::is_regular_file(sound()));
  EXPECT_EQ(tk.barValue("背景颜色"), 16777215);
}

TEST_F(Startup, AnythingNamedLikeTheSoundFileStaysUntouched) {
  for (const bool directory : {false, true}) {
    std::filesystem::remove_all(sound());
    if (directory)
      std::filesystem::create_directory(sound());
    else
      putFile(sound(), "another sound");
    onMainWindowCreated(program);
    if (directory) {
      EXPECT_TRUE(std::filesystem::is_directory(sound()));
      EXPECT_TRUE(std::filesystem::is_empty(sound()));
    } else {
      EXPECT_EQ(fileBytes(sound()), "another sound");
    }
    tk.deleteAllRows(kWatchList);
  }
}

TEST_F(Startup, ColourBarsHoldWhiteAndThirty) {
  onMainWindowCreated(program);
  EXPECT_EQ(tk.barValue("背景颜色"), 16777215);
  EXPECT_EQ(tk.barValue("前景颜色"), 30);
  EXPECT_EQ(tk.barValue("渐变颜色"), 30);
  EXPECT_EQ(tk.barValue("定位点颜色外"), 30);
  EXPECT_EQ(tk.barValue("定位点颜色内"), 30);
  // Every maximum was raised, so any 24-bit colour now fits.
  for (const char* bar : {"前景颜色", "渐变颜色", "定位点颜色外", "定位点颜色内"}) {
    tk.setBarValue(bar, 16777215);
    EXPECT_EQ(tk.barValue(bar), 16777215) << bar;
  }
}

TEST_F(Startup, SettingsAndRecordsAreRestored) {
  putFile(runDir / "god.xin", g("[商品监控]\r\n商品编号=42\r\n省份=北京-1\r\n"));
  const RecordCells row{"100012043978", g("小米手机"), g("北京-1#朝阳区-72+三环以内-2799"),
                        "12.5",         "1000004123",  "9987,653,655"};
  putFile(recordFilePath(runDir.path()), recordLine(row) + recordLine(row));
  onMainWindowCreated(program);
  EXPECT_EQ(tk.text("编辑框商品编号"), "42");
  EXPECT_EQ(tk.text("组合框省份"), g("北京-1"));
  EXPECT_EQ(tk.text("编辑框收邮件地址"), g("收邮件地址"));
  ASSERT_EQ(tk.rowCount(kWatchList), 2);
  EXPECT_EQ(tk.cell(kWatchList, 1, Index), "2");
  EXPECT_EQ(tk.cell(kWatchList, 1, ProductName), g("小米手机"));
}

TEST_F(Startup, DirectoriesNamedLikeTheFilesReadAsEmpty) {
  std::filesystem::create_directory(runDir / "god.xin");
  std::filesystem::create_directory(recordFilePath(runDir.path()));
  onMainWindowCreated(program);
  EXPECT_EQ(tk.text("编辑框商品编号"), "");
  EXPECT_EQ(tk.text("编辑框发邮件密码"), g("发邮件密码"));
  EXPECT_EQ(tk.rowCount(kWatchList), 0);
}

TEST_F(Startup, BannerIsFetchedAndShown) {
  test::LoopbackServer server;
  server.route("/banner.png", test::Reply(pngBytes(888, 95), 200, "image/png"));
  program.endpoints.bannerAddress = server.url("/banner.png");
  onMainWindowCreated(program);
  ASSERT_EQ(server.requestCount(), 1u);
  auto* banner = find<PictureBox>("图片框");
  ASSERT_NE(banner, nullptr);
  EXPECT_FALSE(banner->picture().isNull());
}

TEST_F(Startup, RefusedBannerLeavesThePictureEmptyAndGoesOn) {
  // The fixture's banner address is a loopback port where nothing listens.
  putFile(recordFilePath(runDir.path()), "1-----A||||R@@@@5####v&&&&c\r\n");
  onMainWindowCreated(program);
  auto* banner = find<PictureBox>("图片框");
  ASSERT_NE(banner, nullptr);
  EXPECT_TRUE(banner->picture().isNull());
  EXPECT_EQ(tk.rowCount(kWatchList), 1);
  EXPECT_TRUE(window()->isVisible());
}

TEST_F(Startup, EmptyBannerAddressFetchesNothing) {
  program.endpoints.bannerAddress.clear();
  onMainWindowCreated(program);
  EXPECT_TRUE(find<PictureBox>("图片框")->picture().isNull());
  EXPECT_TRUE(std::filesystem::exists(sound()));
}

// A worker may still hold AlertLock when the program ends: the cleanup must leave
// the lock whole under it (ASan and TSan see a lock destroyed while held).
TEST_F(Startup, ThreadsExitCleanupLeavesAHeldLockAlone) {
  onMainWindowCreated(program);
  std::mutex m;
  std::condition_variable cv;
  bool held = false, cleaned = false;
  std::thread worker([&] {
    std::lock_guard<std::mutex> alert(*program.alertLock);
    std::unique_lock<std::mutex> lock(m);
    held = true;
    cv.notify_all();
    cv.wait(lock, [&] { return cleaned; });
  });
  {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return held; });
  }
  exitCleanup(program);
  {
    std::lock_guard<std::mutex> lock(m);
    cleaned = true;
  }
  cv.notify_all();
  worker.join();
  ASSERT_NE(program.alertLock, nullptr);
  EXPECT_TRUE(program.alertLock->try_lock());
  program.alertLock->unlock();
}

}  // namespace
}  // namespace qm
