// Every WindowToolkit operation of the QtToolkit against the real main window, on the
// GUI thread.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>

#include "support/window_fixture.h"
#include "toolkit/balloon_tip.h"
#include "toolkit/picture_box.h"
#include "toolkit/picture_button.h"
#include "toolkit/value_bar.h"

namespace qm {
namespace {

using test::g;
constexpr char kList[] = "超级列表框监控";

Bytes encoded(const QImage& image, const char* format) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return Bytes(data.constData(), size_t(data.size()));
}

QImage filled(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// Runs `act` once the event loop comes round (inside a modal loop the test starts).
void soon(std::function<void()> act) { QTimer::singleShot(0, qApp, std::move(act)); }

class Toolkit : public test::WindowFixture {};

TEST_F(Toolkit, TextsOfEditAndComboBoxesInGbk) {
  tk.setText("编辑框发邮件账号", g("用户@例子"));
  EXPECT_EQ(find<QLineEdit>("编辑框发邮件账号")->text(), QStringLiteral("用户@例子"));
  EXPECT_EQ(tk.text("编辑框发邮件账号"), g("用户@例子"));
  tk.setText("组合框省份", g("黑龙江-10"));
  EXPECT_EQ(find<QComboBox>("组合框省份")->currentText(), QStringLiteral("黑龙江-10"));
  EXPECT_EQ(tk.text("组合框省份"), g("黑龙江-10"));
  // A text no list item holds is still the box's text.
  tk.setText("组合框城市", g("无此城市-99"));
  EXPECT_EQ(tk.text("组合框城市"), g("无此城市-99"));
  EXPECT_EQ(tk.text("编辑框商品编号"), "1743535");
}

TEST_F(Toolkit, UnknownControlsReadEmptyAndTakeNothing) {
  for (const char* name : {"无此控件", "", "分组框1"}) {
    SCOPED_TRACE(name);
    tk.setText(name, "x");
    EXPECT_EQ(tk.text(name), "");
    EXPECT_EQ(tk.checkState(name), 0);
    EXPECT_EQ(tk.comboIndex(name), -1);
    EXPECT_EQ(tk.comboCount(name), 0);
    EXPECT_EQ(tk.appendRow(name), -1);
    EXPECT_EQ(tk.rowCount(name), 0);
    EXPECT_EQ(tk.cell(name, 0, 0), "");
    EXPECT_EQ(tk.barValue(name), 0);
    EXPECT_EQ(tk.timerPeriod(name), 0);
    HitTest hit = tk.hitTest(name, 1, 1);
    EXPECT_EQ(hit.row, -1);
    EXPECT_EQ(hit.column, -1);
  }
}

TEST_F(Toolkit, CheckBoxes) {
  tk.setCheckState("选择框有货停止", 0);
  EXPECT_FALSE(find<QCheckBox>("选择框有货停止")->isChecked());
  EXPECT_EQ(tk.checkState("选择框有货停止"), 0);
  QTest::mouseClick(find<QCheckBox>("选择框有货停止"), Qt::LeftButton);
  EXPECT_EQ(tk.checkState("选择框有货停止"), 1);
}

TEST_F(Toolkit, ComboItems) {
  tk.addComboItem("组合框城市", g("哈尔滨-727"));
  tk.addComboItem("组合框城市", g("齐齐哈尔-731"));
  EXPECT_EQ(tk.comboCount("组合框城市"), 3);
  EXPECT_EQ(tk.comboItem("组合框城市", 2), g("齐齐哈尔-731"));
  EXPECT_EQ(tk.comboItem("组合框城市", 3), "");
  EXPECT_EQ(tk.comboItem("组合框城市", -1), "");
  EXPECT_EQ(tk.comboIndex("组合框城市"), 0);
  // Appending leaves the box's text as it was.
  EXPECT_EQ(tk.text("组合框城市"), "");
  find<QComboBox>("组合框城市")->setCurrentIndex(2);
  EXPECT_EQ(tk.comboIndex("组合框城市"), 2);
  EXPECT_EQ(tk.text("组合框城市"), g("齐齐哈尔-731"));
}

TEST_F(Toolkit, CaptionsAndFacesOfButtons) {
  EXPECT_EQ(tk.caption("按钮商品监控"), g("开始监控"));
  tk.setCaption("按钮商品监控", g("停止监控"));
  auto* button = find<PictureButton>("按钮商品监控");
  EXPECT_EQ(button->text(), QStringLiteral("停止监控"));
  EXPECT_EQ(button->accessibleName(), QStringLiteral("停止监控"));
  tk.setButtonFace("按钮商品监控", encoded(filled(165, 50, Qt::gray), "PNG"));
  EXPECT_EQ(button->face().pixel(80, 25), QColor(Qt::gray).rgb());
  tk.setCaption("按钮商品添加", g("加"));
  EXPECT_EQ(find<QPushButton>("按钮商品添加")->text(), QStringLiteral("加"));
}

TEST_F(Toolkit, TimerPeriodRule) {
  auto* timer = find<QTimer>("时钟商品监控");
  tk.setTimerPeriod("时钟商品监控", 1000);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 1000);
  EXPECT_EQ(tk.timerPeriod("时钟商品监控"), 1000);
  QTest::qWait(200);
  // The same value again does not restart the running period.
  const int left = timer->remainingTime();
  tk.setTimerPeriod("时钟商品监控", 1000);
  EXPECT_LE(timer->remainingTime(), left);
  EXPECT_LT(timer->remainingTime(), 950);
  // Another value restarts it.
  tk.setTimerPeriod("时钟商品监控", 2000);
  EXPECT_GT(timer->remainingTime(), 1500);
  for (int32_t stop : {0, -5}) {
    tk.setTimerPeriod("时钟商品监控", stop);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(tk.timerPeriod("时钟商品监控"), stop);
  }
}

TEST_F(Toolkit, TimerElapsesIntoItsHandler) {
  int ticks = 0;
  tk.bind("时钟商品监控", UiEvent::TimerElapsed, [&](int, int) { ++ticks; });
  tk.setTimerPeriod("时钟商品监控", 20);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }, 5000));
  tk.setTimerPeriod("时钟商品监控", 0);
  const int stopped = ticks;
  QTest::qWait(80);
  EXPECT_EQ(ticks, stopped);
}

TEST_F(Toolkit, PicturesOfAnyFormatAndEmptyClears) {
  auto* banner = find<PictureBox>("图片框");
  // Qt reads GIF but does not write it: a 1 x 1 one by hand.
  const Bytes gif(
      "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00"
      "\x02\x02D\x01\x00;",
      35);
  tk.setPicture("图片框", gif);
  EXPECT_EQ(banner->picture().size(), QSize(1, 1));
  for (const char* format : {"PNG", "JPEG", "BMP"}) {
    SCOPED_TRACE(format);
    tk.setPicture("图片框", encoded(filled(300, 60, Qt::red), format));
    ASSERT_FALSE(banner->picture().isNull());
    EXPECT_EQ(banner->picture().size(), QSize(300, 60));
    // Drawn at its own size from the top left corner.
    EXPECT_EQ(banner->pictureRect(), QRect(0, 0, 300, 60));
  }
  tk.setPicture("图片框", "");
  EXPECT_TRUE(banner->picture().isNull());
  tk.setPicture("图片框", "not a picture");
  EXPECT_TRUE(banner->picture().isNull());
}

TEST_F(Toolkit, ValueBarRules) {
  struct Step {
    enum { Maximum, Value } what;
    int32_t argument;
    int32_t value;    // the value afterwards
    int32_t maximum;  // the maximum afterwards
  };
  const Step steps[] = {
      {Step::Value, 150, 100, 100},
      {Step::Value, -4, 0, 100},
      {Step::Value, 55, 55, 100},
      {Step::Maximum, 0, 55, 100},
      {Step::Maximum, -10, 55, 100},
      {Step::Maximum, 40, 40, 40},
      {Step::Maximum, 16777215, 40, 16777215},
      {Step::Value, 16777215, 16777215, 16777215},
      {Step::Value, 16777216, 16777215, 16777215},
      {Step::Maximum, 1, 1, 1},
  };
  auto* bar = find<ValueBar>("背景颜色");
  for (const Step& s : steps) {
    SCOPED_TRACE(s.argument);
    if (s.what == Step::Maximum)
      tk.setBarMaximum("背景颜色", s.argument);
    else
      tk.setBarValue("背景颜色", s.argument);
    EXPECT_EQ(tk.barValue("背景颜色"), s.value);
    EXPECT_EQ(bar->maximum(), s.maximum);
    EXPECT_EQ(bar->minimum(), 0);
  }
}

TEST_F(Toolkit, WatchListRowsAndCells) {
  EXPECT_EQ(tk.appendRow(kList), 0);
  EXPECT_EQ(tk.appendRow(kList), 1);
  EXPECT_EQ(tk.appendRow(kList), 2);
  EXPECT_EQ(tk.rowCount(kList), 3);
  for (int r = 0; r < 3; ++r) tk.setCell(kList, r, 2, g("商品") + std::to_string(r));
  EXPECT_EQ(watchList()->item(1, 2)->text(), QStringLiteral("商品1"));
  EXPECT_EQ(tk.cell(kList, 1, 2), g("商品1"));
  EXPECT_EQ(tk.cell(kList, 1, 3), "");
  // Past the end: reads empty, writes ignored.
  for (auto [r, c] : {std::pair{3, 0}, {-1, 0}, {0, 13}, {0, -1}, {100, 100}}) {
    tk.setCell(kList, r, c, "x");
    EXPECT_EQ(tk.cell(kList, r, c), "");
    EXPECT_EQ(tk.rowChecked(kList, r), 0);
  }
  EXPECT_EQ(tk.rowCount(kList), 3);
  EXPECT_EQ(watchList()->columnCount(), 13);
  tk.deleteRow(kList, 1);
  EXPECT_EQ(tk.rowCount(kList), 2);
  EXPECT_EQ(tk.cell(kList, 1, 2), g("商品2"));
  tk.deleteRow(kList, 5);
  tk.deleteRow(kList, -1);
  EXPECT_EQ(tk.rowCount(kList), 2);
  tk.deleteAllRows(kList);
  EXPECT_EQ(tk.rowCount(kList), 0);
  EXPECT_EQ(tk.appendRow(kList), 0);
}

TEST_F(Toolkit, RowCheckBoxesTickByMouse) {
  tk.appendRow(kList);
  tk.appendRow(kList);
  EXPECT_EQ(tk.rowChecked(kList, 0), 0);
  EXPECT_EQ(tk.rowChecked(kList, 1), 0);
  // The check box sits at the left end of the first cell.
  QTableWidget* list = watchList();
  QStyleOptionViewItem option;
  option.initFrom(list);
  option.rect = list->visualRect(list->model()->index(1, 0));
  option.features |= QStyleOptionViewItem::HasCheckIndicator;
  const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
  EXPECT_EQ(tk.rowChecked(kList, 1), 1);
  EXPECT_EQ(tk.rowChecked(kList, 0), 0);
}

TEST_F(Toolkit, HitTestGivesRowAndColumnUnderThePoint) {
  for (int i = 0; i < 3; ++i) tk.appendRow(kList);
  QTableWidget* list = watchList();
  const QRect cell = list->visualRect(list->model()->index(2, 6));
  HitTest hit = tk.hitTest(kList, cell.center().x(), cell.center().y());
  EXPECT_EQ(hit.row, 2);
  EXPECT_EQ(hit.column, 6);
  // Below the last row: no row, still the column under x.
  hit = tk.hitTest(kList, cell.center().x(), cell.bottom() + 40);
  EXPECT_EQ(hit.row, -1);
  EXPECT_EQ(hit.column, 6);
  // Right of the last visible column: neither.
  hit = tk.hitTest(kList, 880, cell.center().y());
  EXPECT_EQ(hit.column, -1);
  EXPECT_EQ(hit.row, -1);
}

TEST_F(Toolkit, ListMouseEventsReachTheirHandlersWithViewportPoints) {
  std::vector<std::tuple<char, int, int>> seen;
  tk.bind(kList, UiEvent::RightClicked, [&](int x, int y) { seen.emplace_back('R', x, y); });
  tk.bind(kList, UiEvent::DoubleClicked, [&](int x, int y) { seen.emplace_back('D', x, y); });
  tk.appendRow(kList);
  tk.appendRow(kList);
  const QPoint onRow = cellCentre(1, 2);
  const QPoint empty(100, 300);
  rightClickCell(1, 2);
  clickListAt(empty, Qt::RightButton);
  doubleClickCell(0, 6);
  const QPoint onQr = cellCentre(0, 6);
  // A left click alone, a right click on the header: nothing.
  clickCell(0, 1);
  QHeaderView* header = watchList()->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(60, 5));
  QTest::mouseDClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 5));
  const std::vector<std::tuple<char, int, int>> expected = {
      {'R', onRow.x(), onRow.y()}, {'R', empty.x(), empty.y()}, {'D', onQr.x(), onQr.y()}};
  EXPECT_EQ(seen, expected);
  // A right click selects the row under it.
  rightClickCell(1, 3);
  EXPECT_EQ(watchList()->currentRow(), 1);
}

TEST_F(Toolkit, ClickedAndRebinding) {
  int first = 0, second = 0;
  tk.bind("按钮商品添加", UiEvent::Clicked, [&](int, int) { ++first; });
  QTest::mouseClick(find("按钮商品添加"), Qt::LeftButton);
  tk.bind("按钮商品添加", UiEvent::Clicked, [&](int, int) { ++second; });
  QTest::mouseClick(find("按钮商品添加"), Qt::LeftButton);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
  int created = 0;
  tk.bind("主窗口", UiEvent::Created, [&](int, int) { ++created; });
  tk.fire("主窗口", UiEvent::Created);
  EXPECT_EQ(created, 1);
}

TEST_F(Toolkit, ItemChosenOnlyForAChoiceInTheList) {
  std::vector<QString> chosen;
  auto* combo = find<QComboBox>("组合框省份");
  tk.bind("组合框省份", UiEvent::ItemChosen, [&](int, int) { chosen.push_back(combo->currentText()); });
  window()->activateWindow();
  combo->setFocus();
  QTest::keyClicks(combo->lineEdit(), "abc");  // typing is no choice, Enter included
  QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
  tk.setText("组合框省份", g("北京-1"));  // nor is a write, or leaving the box
  QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
  find("编辑框监控间隔")->setFocus();
  combo->setFocus();
  EXPECT_TRUE(chosen.empty());
  // Chosen in the open list by keys.
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  view->setCurrentIndex(view->model()->index(10, 0));
  QTest::keyClick(view, Qt::Key_Return);
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0], QStringLiteral("黑龙江-10"));
  EXPECT_EQ(tk.comboIndex("组合框省份"), 10);
  // And by mouse.
  combo->showPopup();
  const QRect item = view->visualRect(view->model()->index(2, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
  ASSERT_EQ(chosen.size(), 2u);
  EXPECT_EQ(chosen[1], QStringLiteral("上海-2"));
}

TEST_F(Toolkit, BalloonShowsAtThePointAndReplacesTheLastOne) {
  auto* balloon = find<BalloonTip>("气球提示框");
  const int w = tk.screenWidth(), h = tk.screenHeight();
  tk.showBalloon("气球提示框", w - 10, h - 40, g("有货提醒：第1行"), 1, true);
  ASSERT_TRUE(balloon->isVisible());
  EXPECT_EQ(balloon->text(), QStringLiteral("有货提醒：第1行"));
  EXPECT_TRUE(balloon->autoHideActive());
  EXPECT_GT(balloon->autoHideRemainingMs(), 9000);
  EXPECT_LE(balloon->autoHideRemainingMs(), 10000);
  EXPECT_EQ(balloon->tailPoint(), QPoint(w - 10, h - 40));
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_TRUE(screen.contains(balloon->frameGeometry()));
  // The tail's tip sits at the point: the balloon's bottom right edge region.
  EXPECT_EQ(balloon->geometry().bottom(), h - 40);
  EXPECT_TRUE(balloon->geometry().left() < w - 10 && w - 10 <= balloon->geometry().right());
  tk.showBalloon("气球提示框", 5, 5, g("降价提醒"), -1, false);
  EXPECT_EQ(balloon->text(), QStringLiteral("降价提醒"));
  EXPECT_FALSE(balloon->autoHideActive());
  EXPECT_TRUE(screen.contains(balloon->frameGeometry()));
  EXPECT_EQ(QApplication::topLevelWidgets().count(balloon), 1);
  QTest::mouseClick(balloon, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
  EXPECT_FALSE(balloon->isVisible());
}

TEST_F(Toolkit, TrayIconWithoutANotificationAreaDoesNotFail) {
  QImage icon = filled(16, 16, Qt::blue);
  tk.setTrayIcon(encoded(icon, "PNG"), g("京东监控"));
  ASSERT_NE(tk.trayIcon(), nullptr);
  EXPECT_EQ(tk.trayIcon()->toolTip(), QStringLiteral("京东监控"));
  EXPECT_FALSE(tk.trayIcon()->icon().isNull());
  tk.setTrayIcon("", "");
  EXPECT_EQ(tk.trayIcon()->toolTip(), QString());
}

TEST_F(Toolkit, PopupMenuGivesTheChosenIndex) {
  QStringList shown;
  QPoint at;
  soon([&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* a : menu->actions()) shown << a->text();
    at = menu->pos();
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  QCursor::setPos(300, 200);
  EXPECT_EQ(tk.popupMenu({g("全部删除"), g("删除选中")}, 5, 2), 1);
  EXPECT_EQ(shown, QStringList({"全部删除", "删除选中"}));
  EXPECT_EQ(at, QCursor::pos() + QPoint(5, 2));
  soon([] {
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_Escape);
  });
  EXPECT_EQ(tk.popupMenu({g("全部删除"), g("删除选中")}, 0, 0), -1);
}

TEST_F(Toolkit, MessageBoxIsModalWithAnErrorIconAndOneButton) {
  bool seen = false;
  soon([&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen = true;
    EXPECT_EQ(box->text(), QStringLiteral("请输入完整商品信息！"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("错误"));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_TRUE(box->isModal());
    box->button(QMessageBox::Ok)->click();
  });
  tk.messageBox(g("请输入完整商品信息！"), g("错误"));
  EXPECT_TRUE(seen);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(Toolkit, QrWindowLoadsCentredComesToFrontAndIsCreatedAgain) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  ASSERT_TRUE(tk.loadQrWindow());
  QWidget* qr = tk.qrWindow();
  ASSERT_NE(qr, nullptr);
  EXPECT_TRUE(QTest::qWaitForWindowExposed(qr));
  EXPECT_EQ(qr->size(), QSize(200, 200));
  EXPECT_EQ(qr->geometry().center(), screen.center());
  EXPECT_TRUE(qr->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(qr->parentWidget(), window());
  auto* picture = find<PictureBox>("图片框二维码");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->geometry(), QRect(0, 0, 200, 200));
  // Open: not created again, restored from minimised, left where it is.
  qr->move(10, 20);
  qr->showMinimized();
  EXPECT_FALSE(tk.loadQrWindow());
  EXPECT_EQ(tk.qrWindow(), qr);
  EXPECT_FALSE(qr->isMinimized());
  EXPECT_EQ(qr->pos(), QPoint(10, 20));
  // Closed, then created anew, centred.
  QPointer<QWidget> old = qr;
  tk.closeQrWindow();
  EXPECT_EQ(tk.qrWindow(), nullptr);
  EXPECT_EQ(find("图片框二维码"), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(old.isNull());
  EXPECT_TRUE(tk.loadQrWindow());
  EXPECT_EQ(tk.qrWindow()->geometry().center(), screen.center());
  tk.closeQrWindow();
  tk.closeQrWindow();  // closing a closed window does nothing
}

TEST_F(Toolkit, QrWindowClosesOnEscAndOnItsBoundDoubleClick) {
  ASSERT_TRUE(tk.loadQrWindow());
  QWidget* qr = tk.qrWindow();
  QTest::keyClick(qr, Qt::Key_Escape);
  EXPECT_EQ(tk.qrWindow(), nullptr);
  int doubleClicks = 0;
  // Bound while the window is closed: the binding holds for the next one.
  tk.bind("图片框二维码", UiEvent::DoubleClicked, [&](int, int) {
    ++doubleClicks;
    tk.closeQrWindow();
  });
  ASSERT_TRUE(tk.loadQrWindow());
  QTest::mouseDClick(find("图片框二维码"), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  EXPECT_EQ(doubleClicks, 1);
  EXPECT_EQ(tk.qrWindow(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(tk.loadQrWindow());
  QTest::mouseDClick(find("图片框二维码"), Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
  EXPECT_EQ(doubleClicks, 2);
}

TEST_F(Toolkit, QrPictureIsCentredAndShrunkButNeverEnlarged) {
  ASSERT_TRUE(tk.loadQrWindow());
  auto* picture = find<PictureBox>("图片框二维码");
  struct Case {
    QSize image;
    QRect drawn;
  };
  for (const Case& c : {Case{{400, 100}, {0, 75, 200, 50}}, Case{{50, 80}, {75, 60, 50, 80}},
                        Case{{200, 200}, {0, 0, 200, 200}}, Case{{300, 600}, {50, 0, 100, 200}}}) {
    SCOPED_TRACE(c.image.width());
    tk.setPicture("图片框二维码", encoded(filled(c.image.width(), c.image.height(), Qt::black), "JPEG"));
    EXPECT_EQ(picture->pictureRect(), c.drawn);
  }
  tk.setPicture("图片框二维码", "");
  EXPECT_TRUE(picture->pictureRect().isEmpty());
}

TEST_F(Toolkit, ClipboardScreenAndOpenAddress) {
  tk.setClipboardText(g("https://127.0.0.1:1/商品"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("https://127.0.0.1:1/商品"));
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(tk.screenWidth(), screen.width());
  EXPECT_EQ(tk.screenHeight(), screen.height());
}

TEST_F(Toolkit, HandlePendingEventsRunsWhatIsQueued) {
  int ran = 0;
  for (int i = 0; i < 5; ++i) QTimer::singleShot(0, qApp, [&] { ++ran; });
  QMetaObject::invokeMethod(
      qApp, [&] { ++ran; }, Qt::QueuedConnection);
  tk.handlePendingEvents();
  EXPECT_EQ(ran, 6);
}

TEST_F(Toolkit, PauseWithEventsWaitsAndHandlesEventsMeanwhile) {
  bool fired = false;
  QTimer::singleShot(20, qApp, [&] { fired = true; });
  QElapsedTimer clock;
  clock.start();
  tk.pauseWithEvents(80);
  EXPECT_GE(clock.elapsed(), 80);
  EXPECT_TRUE(fired);
  clock.restart();
  tk.pauseWithEvents(0);
  tk.pauseWithEvents(-5);
  EXPECT_LT(clock.elapsed(), 20);
}

TEST_F(Toolkit, NestedHandlersRunInsideAPause) {
  int outer = 0, inner = 0;
  tk.bind("按钮商品添加", UiEvent::Clicked, [&](int, int) {
    ++outer;
    QTimer::singleShot(10, qApp, [&] { QTest::mouseClick(find("按钮商品监控"), Qt::LeftButton); });
    tk.pauseWithEvents(60);
    EXPECT_EQ(inner, 1);
  });
  tk.bind("按钮商品监控", UiEvent::Clicked, [&](int, int) { ++inner; });
  QTest::mouseClick(find("按钮商品添加"), Qt::LeftButton);
  EXPECT_EQ(outer, 1);
  EXPECT_EQ(inner, 1);
}

TEST_F(Toolkit, AfterTheWindowIsGoneCallsReturnEmpty) {
  tk.appendRow(kList);
  toolkit->shutdown();
  EXPECT_TRUE(toolkit->isShutDown());
  // The GUI thread still reaches controls that exist.
  EXPECT_EQ(tk.rowCount(kList), 1);
}

}  // namespace
}  // namespace qm
