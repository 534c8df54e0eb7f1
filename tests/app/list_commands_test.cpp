// The watch list's own commands through real mouse events on the offscreen list:
// the right-click menu with its deletions, and the double click that opens a page
// or its QR code and copies the address.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "app/list_commands.h"
#include "app/qr_window.h"
#include "platform/file_access.h"
#include "records/record_file.h"
#include "records/watch_columns.h"
#include "support/loopback_server.h"
#include "support/window_fixture.h"

namespace qm {
namespace {

using test::g;

// Stands in for the desktop's browser: notes every address it is asked to open.
class BrowserCatcher : public QObject {
  Q_OBJECT

 public:
  BrowserCatcher() { QDesktopServices::setUrlHandler("http", this, "open"); }
  ~BrowserCatcher() override { QDesktopServices::unsetUrlHandler("http"); }
  std::vector<QString> opened;

 public slots:
  void open(const QUrl& url) { opened.push_back(url.toString()); }
};

struct MenuSeen {
  bool shown = false;
  QStringList captions;
  QPoint position;
};

// Waits for the pop-up menu, notes it and chooses the item of that caption with a
// real click (or closes it with Esc when the caption is empty).
void chooseFromMenuWhenShown(MenuSeen& seen, const QString& caption, QObject* owner) {
  auto* poll = new QTimer(owner);
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, &seen, caption] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !menu->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    seen.shown = true;
    seen.position = menu->pos();
    QAction* chosen = nullptr;
    for (QAction* a : menu->actions()) {
      if (a->isSeparator()) continue;
      seen.captions << a->text();
      if (a->text() == caption) chosen = a;
    }
    if (chosen == nullptr) {
      QTest::keyClick(menu, Qt::Key_Escape);
    } else {
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
    }
  });
  poll->start();
}

class ListCommands : public test::WindowFixture {
 protected:
  ListCommands() {
    Endpoints& e = program.endpoints;
    e.productPageHost = "item.shop.test";
    e.mobilePageHost = "m.shop.test";
    e.weChatPageHost = "wq.shop.test";
    e.qrHost = qr.host();
    qr.route("/api.php", test::Reply("not a picture"));
    list = watchList();
  }

  void addRow(const Text& index, const Text& id) {
    const int row = tk.appendRow(kWatchList);
    tk.setCell(kWatchList, row, WatchColumn::Index, index);
    tk.setCell(kWatchList, row, WatchColumn::ProductId, id);
    tk.setCell(kWatchList, row, WatchColumn::ProductName, g("商品") + id);
    tk.setCell(kWatchList, row, WatchColumn::MobileQr, g("二维码"));
    tk.setCell(kWatchList, row, WatchColumn::WeChatQr, g("二维码"));
  }
  QRect cellRect(int row, int column) { return list->visualRect(list->model()->index(row, column)); }
  // A point in the list's empty space below the last row, inside the given column.
  QPoint belowRows(int column) {
    const int rows = list->model()->rowCount();
    EXPECT_GT(rows, 0);
    const QRect last = cellRect(rows - 1, column);
    return QPoint(last.center().x(), last.bottom() + 30);
  }
  // A real click on the row's check box, at the left end of its first cell.
  void tick(int row) {
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = cellRect(row, 0);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
  }
  void rightClickAndChoose(QPoint at, const char* caption, MenuSeen& seen) {
    chooseFromMenuWhenShown(seen, QString::fromUtf8(caption), window());
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, at);
    // The menu is modal: the click returns once it has closed.
    EXPECT_TRUE(seen.shown);
  }
  std::vector<Text> column(int c) {
    std::vector<Text> all;
    for (int r = 0; r < tk.rowCount(kWatchList); ++r) all.push_back(tk.cell(kWatchList, r, c));
    return all;
  }
  std::string recordFile() { return readWholeFile(recordFilePath(program.runDir)).value_or("<missing>"); }
  void writeStaleRecordFile() { ASSERT_TRUE(writeWholeFile(recordFilePath(program.runDir), "stale\r\n")); }
  static QString clipboard() { return QGuiApplication::clipboard()->text(); }

  test::LoopbackServer qr;
  QAbstractItemView* list = nullptr;
};

TEST_F(ListCommands, MenuOffersBothDeletionsAtThePointerAlsoOnAnEmptyList) {
  MenuSeen seen;
  rightClickAndChoose(QPoint(40, 60), "", seen);
  EXPECT_EQ(seen.captions, (QStringList{QString::fromUtf8("全部删除"), QString::fromUtf8("删除选中")}));
  EXPECT_EQ(seen.position, QCursor::pos() + QPoint(3, 3));
  EXPECT_EQ(tk.rowCount(kWatchList), 0);
}

TEST_F(ListCommands, DeleteAllEmptiesListAndFile) {
  for (const bool withRows : {true, false}) {
    SCOPED_TRACE(withRows ? "with rows" : "empty list");
    tk.deleteAllRows(kWatchList);
    if (withRows) {
      addRow("1", "100");
      addRow("2", "200");
    }
    writeStaleRecordFile();
    MenuSeen seen;
    rightClickAndChoose(withRows ? cellRect(0, WatchColumn::ProductName).center() : QPoint(40, 60),
                        "全部删除", seen);
    EXPECT_EQ(tk.rowCount(kWatchList), 0);
    EXPECT_EQ(recordFile(), "");
  }
}

TEST_F(ListCommands, DeleteCheckedRemovesTickedRowsWithoutRenumbering) {
  struct Case {
    const char* what;
    std::vector<int> ticked;
    std::vector<Text> indexesLeft;
  };
  const std::vector<Case> cases = {
      {"rows 1 and 3", {0, 2}, {"2", "4"}},
      {"every row", {0, 1, 2, 3}, {}},
      {"none", {}, {"1", "2", "3", "4"}},
      {"the last", {3}, {"1", "2", "3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    tk.deleteAllRows(kWatchList);
    for (int i = 1; i <= 4; ++i) addRow(integerToText(i), integerToText(i * 100));
    for (int r : c.ticked) tick(r);
    for (int r = 0; r < 4; ++r)
      ASSERT_EQ(tk.rowChecked(kWatchList, r), std::count(c.ticked.begin(), c.ticked.end(), r));
    writeStaleRecordFile();

    MenuSeen seen;
    rightClickAndChoose(belowRows(WatchColumn::ProductName), "删除选中", seen);

    EXPECT_EQ(column(WatchColumn::Index), c.indexesLeft);
    std::string expectedFile;
    for (const Text& index : c.indexesLeft) {
      const Text id = integerToText(textToInteger(index) * 100);
      expectedFile += id + "-----" + g("商品") + id + "||||@@@@####&&&&\r\n";
    }
    // Rewritten even when nothing was ticked.
    EXPECT_EQ(recordFile(), expectedFile);
  }
}

TEST_F(ListCommands, DoubleClickOpensTheProductPageAndCopiesItsAddress) {
  BrowserCatcher browser;
  addRow("1", "1743535");
  QGuiApplication::clipboard()->setText("before");

  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cellRect(0, WatchColumn::ProductName).center());
  ASSERT_EQ(browser.opened.size(), 1u);
  EXPECT_EQ(browser.opened[0], "http://item.shop.test/1743535.html");
  EXPECT_EQ(clipboard(), "http://item.shop.test/1743535.html");
  EXPECT_EQ(qr.requestCount(), 0u);

  // Below the last row the id is empty.
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, belowRows(WatchColumn::ProductName));
  ASSERT_EQ(browser.opened.size(), 2u);
  EXPECT_EQ(browser.opened[1], "http://item.shop.test/.html");
  EXPECT_EQ(clipboard(), "http://item.shop.test/.html");
}

TEST_F(ListCommands, DoubleClickOnQrCellsShowsTheCodeAndCopiesThePageAddress) {
  BrowserCatcher browser;
  addRow("1", "1743535");
  const std::string query = "/api.php?&bg=1E&fg=1E&gc=1E&el=2&w=200&m=10&pt=1E&inpt=1E&logo=&text=";
  int requests = 0;
  for (const auto& [columnIndex, onRow, page] :
       {std::tuple{WatchColumn::MobileQr, true, std::string("http://m.shop.test/product/1743535.html")},
        std::tuple{WatchColumn::WeChatQr, true, std::string("http://wq.shop.test/item/view?sku=1743535")},
        std::tuple{WatchColumn::MobileQr, false, std::string("http://m.shop.test/product/.html")}}) {
    SCOPED_TRACE(page);
    const QPoint at = onRow ? cellRect(0, columnIndex).center() : belowRows(columnIndex);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(qr.requestCount(), static_cast<size_t>(++requests));
    EXPECT_EQ(qr.requests().back().target, query + page);
    // The page's address, not the QR service's request; the window is up by then.
    EXPECT_EQ(clipboard(), QString::fromStdString(page));
    ASSERT_NE(tk.qrWindow(), nullptr);
    EXPECT_TRUE(tk.qrWindow()->isVisible());
  }
  EXPECT_TRUE(browser.opened.empty());
}

}  // namespace
}  // namespace qm

#include "list_commands_test.moc"
