// The main window's form: every control's kind, place, parent and initial content.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "app/main_window_form.h"
#include "support/window_fixture.h"
#include "toolkit/balloon_tip.h"
#include "toolkit/picture_box.h"
#include "toolkit/picture_button.h"
#include "toolkit/value_bar.h"

namespace qm {
namespace {

using test::WindowFixture;

struct FormControl {
  const char* name;
  const char* kind;    // Qt class the control is (or derives from)
  const char* parent;  // the object name of the widget it is placed in
  int x, y, width, height;
  const char* content;  // label or caption text, edit text; nullptr: not looked at
};

constexpr char kWin[] = "主窗口";

const FormControl kForm[] = {
    {"分组框2", "QGroupBox", kWin, 8, 8, 904, 64, ""},
    {"分组框1", "QGroupBox", kWin, 8, 72, 904, 520, ""},
    {"分组框3", "QGroupBox", kWin, 920, 8, 232, 584, ""},
    {"标签商品编号", "QLabel", "分组框2", 8, 16, 64, 32, "商品编号："},
    {"编辑框商品编号", "QLineEdit", "分组框2", 64, 16, 80, 32, "1743535"},
    {"标签省份", "QLabel", "分组框2", 150, 16, 32, 32, "省份："},
    {"组合框省份", "QComboBox", "分组框2", 185, 24, 79, 20, ""},
    {"标签省份2", "QLabel", "分组框2", 268, 16, 32, 32, "城市："},
    {"组合框城市", "QComboBox", "分组框2", 303, 24, 79, 20, ""},
    {"标签省份1", "QLabel", "分组框2", 394, 16, 32, 32, "地区："},
    {"组合框地区", "QComboBox", "分组框2", 429, 24, 79, 20, ""},
    {"标签省份3", "QLabel", "分组框2", 517, 16, 56, 32, "期望价格："},
    {"编辑框价格监控", "QLineEdit", "分组框2", 582, 16, 48, 32, "5"},
    {"选择框降价提醒", "QCheckBox", "分组框2", 639, 24, 68, 24, "降价提醒"},
    {"选择框有货提醒", "QCheckBox", "分组框2", 718, 24, 68, 24, "有货提醒"},
    {"按钮商品添加", "QPushButton", "分组框2", 792, 16, 88, 40, "添加"},
    {"超级列表框监控", "QTableWidget", "分组框1", 8, 16, 888, 392, nullptr},
    {"图片框", "qm::PictureBox", "分组框1", 8, 416, 888, 95, nullptr},
    {"分组框5", "QGroupBox", "分组框3", 8, 16, 216, 120, ""},
    {"分组框4", "QGroupBox", "分组框3", 8, 144, 216, 80, ""},
    {"标签3", "QLabel", "分组框3", 28, 240, 104, 24, "监控查询间隔(秒):"},
    {"编辑框监控间隔", "QLineEdit", "分组框3", 140, 240, 72, 24, "60"},
    {"选择框邮件提醒", "QCheckBox", "分组框3", 28, 272, 76, 24, "邮件提醒"},
    {"选择框音乐提醒", "QCheckBox", "分组框3", 132, 272, 76, 24, "音乐提醒"},
    {"选择框有货停止", "QCheckBox", "分组框3", 28, 304, 76, 24, "有货停止"},
    {"选择框保存记录", "QCheckBox", "分组框3", 132, 304, 76, 24, "保存记录"},
    {"按钮商品监控", "qm::PictureButton", "分组框3", 43, 344, 165, 50, "开始监控"},
    {"按钮更多优惠", "qm::PictureButton", "分组框3", 43, 416, 165, 50, "更多优惠"},
    {"按钮问题反馈", "qm::PictureButton", "分组框3", 43, 488, 165, 50, "问题反馈"},
    {"标签2", "QLabel", "分组框5", 8, 27, 41, 24, "用户名："},
    {"编辑框发邮件账号", "QLineEdit", "分组框5", 52, 21, 92, 35, "发邮件设置"},
    {"按钮发邮件", "QPushButton", "分组框5", 152, 18, 52, 35, "确定"},
    {"标签1", "QLabel", "分组框5", 11, 77, 41, 24, "密 码："},
    {"编辑框发邮件密码", "QLineEdit", "分组框5", 52, 71, 92, 35, "发邮件设置"},
    {"按钮清空账号", "QPushButton", "分组框5", 151, 71, 52, 35, "清除"},
    {"标签4", "QLabel", "分组框4", 8, 27, 41, 24, "地址："},
    {"编辑框收邮件地址", "QLineEdit", "分组框4", 56, 21, 88, 35, "收邮件设置"},
    {"按钮确定收邮件", "QPushButton", "分组框4", 152, 24, 52, 35, "确定"},
    {"venderId", "QLineEdit", kWin, 1192, 112, 80, 24, ""},
    {"cat", "QLineEdit", kWin, 1195, 160, 80, 24, ""},
    {"背景颜色", "qm::ValueBar", kWin, 1192, 216, 250, 20, nullptr},
    {"前景颜色", "qm::ValueBar", kWin, 1192, 246, 250, 20, nullptr},
    {"渐变颜色", "qm::ValueBar", kWin, 1192, 276, 250, 20, nullptr},
    {"定位点颜色外", "qm::ValueBar", kWin, 1192, 346, 200, 20, nullptr},
    {"定位点颜色内", "qm::ValueBar", kWin, 1192, 382, 200, 20, nullptr},
};

QString contentOf(QWidget* w) {
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return {};
}

using MainWindowForm = WindowFixture;

TEST_F(MainWindowForm, EveryControlHasItsKindPlaceParentAndContent) {
  for (const FormControl& c : kForm) {
    SCOPED_TRACE(c.name);
    auto* w = find(c.name);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->inherits(c.kind)) << w->metaObject()->className();
    ASSERT_NE(w->parentWidget(), nullptr);
    EXPECT_EQ(w->parentWidget()->objectName(), QString::fromUtf8(c.parent));
    EXPECT_EQ(w->geometry(), QRect(c.x, c.y, c.width, c.height));
    EXPECT_FALSE(w->isHidden());
    EXPECT_TRUE(w->isEnabled());
    if (c.content != nullptr) {
      EXPECT_EQ(contentOf(w), QString::fromUtf8(c.content));
    }
    // Every control a user sees can be named by a screen reader.
    if (!w->inherits("QGroupBox") && w->x() < window()->width()) {
      const QString spoken = w->accessibleName().isEmpty() ? contentOf(w) : w->accessibleName();
      EXPECT_FALSE(spoken.isEmpty());
    }
  }
}

TEST_F(MainWindowForm, CheckBoxesStartTicked) {
  for (const char* name : {"选择框降价提醒", "选择框有货提醒", "选择框邮件提醒", "选择框音乐提醒",
                           "选择框有货停止", "选择框保存记录"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(tk.checkState(name), 1);
  }
}

TEST_F(MainWindowForm, RegionBoxesStartWithTheirItemsAndAnEmptyText) {
  struct Box {
    const char* name;
    int count;
    const char* first;
  };
  for (const Box& b : {Box{"组合框省份", 36, "选择省份"}, Box{"组合框城市", 1, "选择城市"},
                       Box{"组合框地区", 1, "选择地区"}}) {
    SCOPED_TRACE(b.name);
    auto* combo = find<QComboBox>(b.name);
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->count(), b.count);
    EXPECT_EQ(combo->itemText(0), QString::fromUtf8(b.first));
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->currentText(), QString());
    EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);
    EXPECT_EQ(combo->palette().color(QPalette::Text), QColor(0x58, 0x30, 0xE0));
    EXPECT_EQ(combo->palette().color(QPalette::Base), QColor(Qt::white));
  }
  auto* provinces = find<QComboBox>("组合框省份");
  EXPECT_EQ(provinces->itemText(1), QStringLiteral("北京-1"));
  EXPECT_EQ(provinces->itemText(10), QStringLiteral("黑龙江-10"));
  EXPECT_EQ(provinces->itemText(35), QStringLiteral("钓鱼岛-35"));
}

TEST_F(MainWindowForm, EditBoxesAreSingleLineCentredAndUnlimited) {
  for (const char* name : {"编辑框商品编号", "编辑框价格监控", "编辑框监控间隔", "编辑框发邮件账号",
                           "编辑框发邮件密码", "编辑框收邮件地址"}) {
    SCOPED_TRACE(name);
    auto* edit = find<QLineEdit>(name);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->alignment(), Qt::AlignCenter);
    EXPECT_TRUE(edit->hasFrame());
    EXPECT_GE(edit->maxLength(), 1 << 30);
    const std::string longText(5000, '7');
    tk.setText(name, longText);
    EXPECT_EQ(tk.text(name), longText);
  }
}

TEST_F(MainWindowForm, PasswordBoxShowsOneStarPerCharacter) {
  auto* password = find<QLineEdit>("编辑框发邮件密码");
  ASSERT_NE(password, nullptr);
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  EXPECT_EQ(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password), int('*'));
  EXPECT_EQ(password->displayText(), QStringLiteral("*****"));
}

TEST_F(MainWindowForm, HiddenStoresAndTimerStartEmpty) {
  for (const char* name : {"背景颜色", "前景颜色", "渐变颜色", "定位点颜色外", "定位点颜色内"}) {
    SCOPED_TRACE(name);
    auto* bar = find<ValueBar>(name);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(tk.barValue(name), 30);
    // Outside the client area: never on screen.
    EXPECT_FALSE(window()->rect().intersects(bar->geometry()));
  }
  for (const char* name : {"venderId", "cat"}) {
    QWidget* store = find(name);
    ASSERT_NE(store, nullptr);
    EXPECT_FALSE(window()->rect().intersects(store->geometry()));
  }
  auto* timer = find<QTimer>("时钟商品监控");
  ASSERT_NE(timer, nullptr);
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(tk.timerPeriod("时钟商品监控"), 0);
  auto* balloon = find<BalloonTip>("气球提示框");
  ASSERT_NE(balloon, nullptr);
  EXPECT_FALSE(balloon->isVisible());
}

TEST_F(MainWindowForm, WatchListHasItsThirteenColumns) {
  struct Column {
    const char* header;
    int width;
    Qt::Alignment alignment;
  };
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter, centre = Qt::AlignCenter;
  const Column columns[] = {{"序号", 50, left},      {"商品编号", 90, centre}, {"商品名称", 300, centre},
                            {"电脑", 65, centre},    {"手机", 70, centre},     {"微信", 70, centre},
                            {"手机", 70, centre},    {"微信", 70, left},       {"查询状态", 80, centre},
                            {"查询地区", 0, centre}, {"期望价格", 0, left},    {"var", 0, left},
                            {"cat", 0, left}};
  QTableWidget* list = watchList();
  ASSERT_EQ(list->columnCount(), 13);
  EXPECT_EQ(list->rowCount(), 0);
  const int row = tk.appendRow("超级列表框监控");
  for (int c = 0; c < 13; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(list->horizontalHeaderItem(c)->text(), QString::fromUtf8(columns[c].header));
    if (columns[c].width == 0) {
      EXPECT_TRUE(list->isColumnHidden(c));
    } else {
      EXPECT_FALSE(list->isColumnHidden(c));
      EXPECT_EQ(list->columnWidth(c), columns[c].width);
    }
    EXPECT_EQ(Qt::Alignment(QFlag(list->item(row, c)->textAlignment())), columns[c].alignment);
    // Hidden columns still hold data.
    tk.setCell("超级列表框监控", row, c, "v" + std::to_string(c));
    EXPECT_EQ(tk.cell("超级列表框监控", row, c), "v" + std::to_string(c));
  }
  EXPECT_TRUE(list->showGrid());
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(list->horizontalHeader()->sectionsClickable());
  EXPECT_TRUE(list->verticalHeader()->isHidden());
  EXPECT_EQ(list->item(row, 0)->checkState(), Qt::Unchecked);
  EXPECT_TRUE(list->item(row, 0)->flags() & Qt::ItemIsUserCheckable);
  // The selection stays shown without the focus.
  EXPECT_EQ(list->palette().color(QPalette::Inactive, QPalette::Highlight),
            list->palette().color(QPalette::Active, QPalette::Highlight));
}

TEST_F(MainWindowForm, ButtonFacesAreTheEmbeddedPictures) {
  struct Face {
    const char* button;
    QRgb fill;
    QRgb border;
  };
  for (const Face& f : {Face{"按钮商品监控", qRgb(0x56, 0xA8, 0xF2), qRgb(0x1F, 0x8D, 0xF1)},
                        Face{"按钮更多优惠", qRgb(0xF6, 0x45, 0x59), qRgb(0xEA, 0x2F, 0x44)},
                        Face{"按钮问题反馈", qRgb(0x56, 0xA8, 0xF2), qRgb(0x1F, 0x8E, 0xF1)}}) {
    SCOPED_TRACE(f.button);
    auto* button = find<PictureButton>(f.button);
    ASSERT_NE(button, nullptr);
    const QImage face = button->face();
    ASSERT_EQ(face.size(), QSize(165, 50));
    EXPECT_TRUE(face.hasAlphaChannel());
    EXPECT_EQ(face.pixel(0, 0) & 0xFFFFFF, f.border & 0xFFFFFF);
    EXPECT_EQ(face.pixel(164, 49) & 0xFFFFFF, f.border & 0xFFFFFF);
    EXPECT_EQ(face.pixel(5, 5) & 0xFFFFFF, f.fill & 0xFFFFFF);
    // White words in the middle.
    int white = 0;
    for (int x = 20; x < 145; ++x)
      for (int y = 10; y < 40; ++y) white += face.pixel(x, y) == qRgb(255, 255, 255);
    EXPECT_GT(white, 100);
  }
}

TEST_F(MainWindowForm, WindowIsAFixedCentredQuillmoorWindow) {
  EXPECT_EQ(window()->windowTitle(), QStringLiteral("Quillmoor"));
  const Qt::WindowFlags flags = window()->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(window()->minimumSize(), window()->maximumSize());
  const QMargins frame = window()->windowHandle()->frameMargins();
  const QSize outer = window()->size().grownBy(frame.isNull() ? QMargins(3, 25, 3, 3) : frame);
  EXPECT_EQ(outer, QSize(1164, 628));
  // Wide enough for the right-hand panel, narrower than the hidden stores.
  EXPECT_GE(window()->width(), 1152);
  EXPECT_LT(window()->width(), 1192);
  EXPECT_GE(window()->height(), 592);
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect outerRect(window()->pos(), outer);
  if (area.width() >= outer.width()) {
    EXPECT_LE(std::abs(outerRect.center().x() - area.center().x()), 1);
  } else {
    EXPECT_EQ(outerRect.left(), area.left());  // the title bar stays on a small screen
  }
  if (area.height() >= outer.height()) {
    EXPECT_LE(std::abs(outerRect.center().y() - area.center().y()), 1);
  } else {
    EXPECT_EQ(outerRect.top(), area.top());
  }
}

TEST_F(MainWindowForm, EscClosesTheWindowUnlessTheFocusedControlTakesIt) {
  auto* edit = find<QLineEdit>("编辑框监控间隔");
  edit->setFocus();
  window()->activateWindow();
  QTest::keyClick(edit, Qt::Key_A);
  EXPECT_TRUE(window()->isVisible());
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_FALSE(window()->isVisible());
}

TEST_F(MainWindowForm, EscFirstClosesAnOpenRegionList) {
  auto* combo = find<QComboBox>("组合框省份");
  window()->activateWindow();
  combo->setFocus();
  combo->showPopup();
  ASSERT_TRUE(combo->view()->isVisible());
  QTest::keyClick(combo->view(), Qt::Key_Escape);
  EXPECT_FALSE(combo->view()->isVisible());
  EXPECT_TRUE(window()->isVisible());
  QTest::keyClick(combo, Qt::Key_Escape);
  EXPECT_FALSE(window()->isVisible());
}

TEST_F(MainWindowForm, EnterKeepsTheFocus) {
  auto* edit = find<QLineEdit>("编辑框监控间隔");
  window()->activateWindow();
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_TRUE(edit->hasFocus());
  EXPECT_TRUE(window()->isVisible());
}

}  // namespace
}  // namespace qm
