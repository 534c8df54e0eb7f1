// Adding a product through the real entry bar: clicks and key presses on the
// offscreen main window, the product page served by a loopback shop.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "entry/add_product.h"
#include "platform/file_access.h"
#include "records/record_file.h"
#include "records/watch_columns.h"
#include "support/loopback_server.h"
#include "support/window_fixture.h"
#include "typing.h"

namespace qm {
namespace {

using test::g;

// The shop's product page in GBK, with the product's values put in.
std::string productPage(const std::string& sku, const std::string& venderId, const std::string& cat,
                        const std::string& utf8Name) {
  std::ifstream in(QM_TEST_SOURCE_DIR "/entry/fixtures/product_page.html", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  std::string page = s.str();
  auto put = [&page](const std::string& key, const std::string& value) {
    for (size_t at = page.find(key); at != std::string::npos; at = page.find(key, at + value.size()))
      page.replace(at, key.size(), value);
  };
  put("@SKU@", sku);
  put("@VENDER@", venderId);
  put("@CAT@", cat);
  put("@NAME@", utf8Name);
  return g(page);
}

struct MessageSeen {
  bool shown = false;
  QString text, title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttonCount = 0;
  bool okOnly = false;
};

// Watches for the modal message box from a timer, notes what it shows and closes it
// with its OK button. The timer goes with `owner` should no box come.
void closeMessageBoxWhenShown(MessageSeen& seen, QObject* owner) {
  auto* poll = new QTimer(owner);
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    poll->stop();
    poll->deleteLater();
    seen.shown = true;
    seen.text = box->text();
    seen.title = box->windowTitle();
    seen.icon = box->icon();
    seen.buttonCount = static_cast<int>(box->buttons().size());
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    seen.okOnly = ok != nullptr && seen.buttonCount == 1;
    if (ok != nullptr) {
      QTest::mouseClick(ok, Qt::LeftButton);
    } else {
      box->reject();
    }
  });
  poll->start();
}

class AddProduct : public test::WindowFixture {
 protected:
  AddProduct() {
    program.endpoints.productPageHost = shop.host();
    number = find<QLineEdit>("编辑框商品编号");
    add = find<QPushButton>("按钮商品添加");
  }
  void SetUp() override {
    ASSERT_NE(number, nullptr);
    ASSERT_NE(add, nullptr);
  }

  // Types into a box as a user does: click in, select all, type (or erase).
  void typeInto(QWidget* box, const QString& text) {
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) {
      QTest::keyClick(box, Qt::Key_Backspace);
    } else {
      test::typeText(box, text);
    }
  }
  void typeIntoCombo(const char* name, const char* utf8) {
    typeInto(find<QComboBox>(name)->lineEdit(), QString::fromUtf8(utf8));
  }
  void fillRegion() {
    typeIntoCombo("组合框省份", "黑龙江-10");
    typeIntoCombo("组合框城市", "哈尔滨-727");
    typeIntoCombo("组合框地区", "南岗区-3365");
  }
  void clickAdd() { QTest::mouseClick(add, Qt::LeftButton); }

  Text cell(int row, int column) { return tk.cell(kWatchList, row, column); }
  std::string recordFile() { return readWholeFile(recordFilePath(program.runDir)).value_or("<missing>"); }

  test::LoopbackServer shop;
  QLineEdit* number = nullptr;
  QPushButton* add = nullptr;
};

TEST_F(AddProduct, MissingNumberOrAreaShowsTheMessageAndFetchesNothing) {
  struct Case {
    const char* what;
    const char* number;
    bool area;
  };
  for (const Case& c : {Case{"empty number", "", true}, Case{"empty area", "1743535", false},
                        Case{"both empty", "", false}}) {
    SCOPED_TRACE(c.what);
    typeInto(number, QString::fromUtf8(c.number));
    typeIntoCombo("组合框省份", "黑龙江-10");
    typeIntoCombo("组合框城市", "哈尔滨-727");
    typeIntoCombo("组合框地区", c.area ? "南岗区-3365" : "");

    MessageSeen seen;
    closeMessageBoxWhenShown(seen, window());
    clickAdd();

    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, QString::fromUtf8("请输入完整商品信息！"));
    EXPECT_EQ(seen.title, QString::fromUtf8("错误"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_TRUE(seen.okOnly);
    EXPECT_EQ(shop.requestCount(), 0u);
    EXPECT_EQ(tk.rowCount(kWatchList), 0);
    EXPECT_FALSE(nameExists(recordFilePath(program.runDir)));
  }
}

TEST_F(AddProduct, RowIsFilledFromTheEntriesAndThePage) {
  shop.route("/1743535.html", test::Reply(productPage("1743535", "  1000000140 ", " 670,686,690 ",
                                                      "  罗技（Logitech）M185 无线鼠标 "),
                                          200, "text/html; charset=gbk"));
  typeInto(number, "1743535");
  fillRegion();
  typeInto(find<QLineEdit>("编辑框价格监控"), "59.9");
  clickAdd();

  ASSERT_EQ(shop.requestCount(), 1u);
  EXPECT_EQ(shop.requests()[0].target, "/1743535.html");
  ASSERT_EQ(tk.rowCount(kWatchList), 1);
  const std::vector<Text> expected = {"",
                                      "1743535",
                                      g("  罗技（Logitech）M185 无线鼠标 "),
                                      "",
                                      "",
                                      "",
                                      g("二维码"),
                                      g("二维码"),
                                      "",
                                      g("黑龙江-10#哈尔滨-727+南岗区-3365"),
                                      "59.9",
                                      "1000000140",
                                      "670,686,690"};
  for (int column = 0; column < kWatchColumnCount; ++column) {
    SCOPED_TRACE(column);
    EXPECT_EQ(cell(0, column), expected[column]);
  }
  // The last product's identifiers stay in the hidden boxes.
  EXPECT_EQ(tk.text("venderId"), "1000000140");
  EXPECT_EQ(tk.text("cat"), "670,686,690");
  EXPECT_EQ(recordFile(), "1743535-----" + g("  罗技（Logitech）M185 无线鼠标 ") + "||||" +
                              g("黑龙江-10#哈尔滨-727+南岗区-3365") +
                              "@@@@59.9####1000000140&&&&670,686,690\r\n");
}

TEST_F(AddProduct, AreaPlaceholderPassesIntoTheRegion) {
  typeInto(number, "1743535");
  typeIntoCombo("组合框省份", "黑龙江-10");
  typeIntoCombo("组合框城市", "哈尔滨-727");
  // Take the area box's placeholder from its list.
  QComboBox* area = find<QComboBox>("组合框地区");
  area->setFocus();
  QTest::keyClick(area, Qt::Key_F4);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(area->view()->window()));
  QTest::keyClick(area->view(), Qt::Key_Return);
  ASSERT_EQ(tk.text("组合框地区"), g("选择地区"));
  clickAdd();

  ASSERT_EQ(tk.rowCount(kWatchList), 1);
  EXPECT_EQ(cell(0, WatchColumn::Region), g("黑龙江-10#哈尔滨-727+选择地区"));
}

TEST_F(AddProduct, UnreachableShopStillAddsTheRowAndSavesIt) {
  test::LoopbackServer gone;
  program.endpoints.productPageHost = gone.host();
  gone.stop();
  tk.setText("venderId", "stale");  // from an earlier add: replaced by the empty value
  typeInto(number, "1743535");
  fillRegion();
  clickAdd();

  ASSERT_EQ(tk.rowCount(kWatchList), 1);
  EXPECT_EQ(cell(0, WatchColumn::ProductId), "1743535");
  EXPECT_EQ(cell(0, WatchColumn::ProductName), "");
  EXPECT_EQ(cell(0, WatchColumn::Region), g("黑龙江-10#哈尔滨-727+南岗区-3365"));
  EXPECT_EQ(cell(0, WatchColumn::WishedPrice), "5");
  EXPECT_EQ(cell(0, WatchColumn::VenderId), "");
  EXPECT_EQ(cell(0, WatchColumn::Cat), "");
  EXPECT_EQ(recordFile(), "1743535-----||||" + g("黑龙江-10#哈尔滨-727+南岗区-3365") + "@@@@5####&&&&\r\n");
}

TEST_F(AddProduct, SameProductTwiceGivesTwoRows) {
  shop.route("/1743535.html", test::Reply(productPage("1743535", "1000000140", "670,686,690", "鼠标")));
  typeInto(number, "1743535");
  fillRegion();
  clickAdd();
  clickAdd();

  EXPECT_EQ(shop.requestCount(), 2u);
  ASSERT_EQ(tk.rowCount(kWatchList), 2);
  const std::string line = "1743535-----" + g("鼠标") + "||||" + g("黑龙江-10#哈尔滨-727+南岗区-3365") +
                           "@@@@5####1000000140&&&&670,686,690\r\n";
  EXPECT_EQ(recordFile(), line + line);
}

TEST_F(AddProduct, LongProductNumberIsKeptWhole) {
  shop.route("/100012043978.html",
             test::Reply(productPage("100012043978", "1000000904", "9987,653,655", "手机")));
  typeInto(number, "100012043978");
  fillRegion();
  clickAdd();  // the click takes the focus from the number box first

  ASSERT_EQ(shop.requestCount(), 1u);
  EXPECT_EQ(shop.requests()[0].target, "/100012043978.html");
  ASSERT_EQ(tk.rowCount(kWatchList), 1);
  EXPECT_EQ(cell(0, WatchColumn::ProductId), "100012043978");
  EXPECT_EQ(cell(0, WatchColumn::ProductName), g("手机"));
}

}  // namespace
}  // namespace qm
