// The links to the publisher's pages: the buttons and the banner ask the desktop to
// open the exact addresses, every time.
#include <QDesktopServices>
#include <QTest>
#include <QUrl>

#include "app/link_actions.h"
#include "support/window_fixture.h"
#include "toolkit/picture_box.h"
#include "toolkit/picture_button.h"

namespace qm {
namespace {

// Receives what the desktop is asked to open, for the schemes tests use.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  UrlCatcher() {
    for (const char* scheme : {"http", "https"}) QDesktopServices::setUrlHandler(scheme, this, "open");
  }
  ~UrlCatcher() override {
    for (const char* scheme : {"http", "https"}) QDesktopServices::unsetUrlHandler(scheme);
  }
  QStringList opened;

 public slots:
  void open(const QUrl& url) { opened << QString::fromUtf8(url.toEncoded()); }
};

class LinkActions : public test::WindowFixture {
 protected:
  LinkActions() {
    program.endpoints.homePage = "http://127.0.0.1:1/home?from=quillmoor";
    program.endpoints.feedbackPage = "http://127.0.0.1:1/feedback";
  }
  UrlCatcher catcher;
};

TEST_F(LinkActions, ButtonsAndBannerOpenTheirPagesEachTime) {
  auto* more = find<PictureButton>("按钮更多优惠");
  auto* feedback = find<PictureButton>("按钮问题反馈");
  auto* banner = find<PictureBox>("图片框");
  QTest::mouseClick(more, Qt::LeftButton);
  QTest::mouseClick(more, Qt::LeftButton);
  QTest::mouseClick(feedback, Qt::LeftButton);
  // The banner counts wherever the button is let go inside it, with or without a picture.
  QTest::mouseClick(banner, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
  QTest::mouseClick(banner, Qt::LeftButton, Qt::NoModifier, QPoint(887, 94));
  EXPECT_EQ(catcher.opened,
            QStringList({"http://127.0.0.1:1/home?from=quillmoor", "http://127.0.0.1:1/home?from=quillmoor",
                         "http://127.0.0.1:1/feedback", "http://127.0.0.1:1/home?from=quillmoor",
                         "http://127.0.0.1:1/home?from=quillmoor"}));
}

TEST_F(LinkActions, OtherInputOpensNothing) {
  auto* banner = find<PictureBox>("图片框");
  QTest::mouseClick(banner, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
  // Pressed on the banner, let go outside it.
  QTest::mousePress(banner, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QTest::mouseRelease(banner, Qt::LeftButton, Qt::NoModifier, QPoint(10, 200));
  for (const char* name : {"按钮发邮件", "按钮清空账号", "按钮确定收邮件"})
    QTest::mouseClick(find(name), Qt::LeftButton);
  EXPECT_TRUE(catcher.opened.isEmpty());
}

TEST_F(LinkActions, OpenInBrowserHandsOverTheAddressAsGiven) {
  openInBrowser(program, "https://127.0.0.1:1/item/view?sku=100012043978&q=%E4%BA%AC%20x");
  EXPECT_EQ(catcher.opened, QStringList({"https://127.0.0.1:1/item/view?sku=100012043978&q=%E4%BA%AC%20x"}));
}

}  // namespace
}  // namespace qm

#include "link_actions_test.moc"
