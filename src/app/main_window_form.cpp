#include "app/main_window_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <limits>

#include "app/input_rules.h"
#include "toolkit/balloon_tip.h"
#include "toolkit/picture_box.h"
#include "toolkit/picture_button.h"
#include "toolkit/value_bar.h"

namespace qm {

namespace {

template <class T>
T* place(T* control, const char* name, int x, int y, int width, int height) {
  control->setObjectName(QString::fromUtf8(name));
  control->setGeometry(x, y, width, height);
  return control;
}

QGroupBox* groupBox(QWidget* parent, const char* name, int x, int y, int width, int height) {
  auto* box = place(new QGroupBox(parent), name, x, y, width, height);
  box->setTitle(QString());
  return box;
}

QLabel* label(QWidget* parent, const char* name, int x, int y, int width, int height, const char* text) {
  auto* l = place(new QLabel(QString::fromUtf8(text), parent), name, x, y, width, height);
  l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return l;
}

// Single line, framed, centred, no length limit, black on white; the label beside
// it names it for screen readers.
template <class Edit = QLineEdit>
Edit* editBox(QWidget* parent, const char* name, int x, int y, int width, int height, const char* text,
              const char* spokenName) {
  auto* edit = place(new Edit(parent), name, x, y, width, height);
  edit->setMaxLength(std::numeric_limits<int>::max());
  edit->setAlignment(Qt::AlignCenter);
  edit->setFrame(true);
  QPalette pal = edit->palette();
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Text, Qt::black);
  edit->setPalette(pal);
  edit->setText(QString::fromUtf8(text));
  if (spokenName != nullptr) edit->setAccessibleName(QString::fromUtf8(spokenName));
  return edit;
}

QComboBox* regionBox(QWidget* parent, const char* name, int x, int y, const QStringList& items,
                     const char* spokenName) {
  auto* combo = place(new QComboBox(parent), name, x, y, 79, 20);
  combo->setEditable(true);
  // Typed text stays typed text: no new items from Enter, no completion.
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setCompleter(nullptr);
  // Qt also reports a typed text that matches an item as chosen (activated) when the
  // edit field is left or Enter is pressed; only a choice made in the list counts.
  QObject::disconnect(combo->lineEdit(), SIGNAL(editingFinished()), combo, nullptr);
  QObject::disconnect(combo->lineEdit(), SIGNAL(returnPressed()), combo, nullptr);
  combo->setMaxVisibleItems(20);
  QPalette pal = combo->palette();
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Text, QColor(0x58, 0x30, 0xE0));
  combo->setPalette(pal);
  combo->lineEdit()->setPalette(pal);
  combo->addItems(items);
  combo->setCurrentIndex(0);
  combo->setEditText(QString());
  combo->setAccessibleName(QString::fromUtf8(spokenName));
  return combo;
}

QCheckBox* checkBox(QWidget* parent, const char* name, int x, int y, int width, int height,
                    const char* text) {
  auto* box = place(new QCheckBox(QString::fromUtf8(text), parent), name, x, y, width, height);
  box->setChecked(true);
  return box;
}

QPushButton* button(QWidget* parent, const char* name, int x, int y, int width, int height,
                    const char* text) {
  auto* b = place(new QPushButton(QString::fromUtf8(text), parent), name, x, y, width, height);
  b->setAutoDefault(false);
  return b;
}

PictureButton* pictureButton(QWidget* parent, const char* name, int y, const char* caption,
                             const char* face) {
  auto* b = place(new PictureButton(parent), name, 43, y, 165, 50);
  b->setText(QString::fromUtf8(caption));
  b->setAccessibleName(QString::fromUtf8(caption));
  QImage image(QStringLiteral(":/assets/") + QString::fromUtf8(face));
  b->setFace(image);
  return b;
}

const QStringList& provinceItems() {
  static const QStringList items = {
      QStringLiteral("选择省份"), QStringLiteral("北京-1"),    QStringLiteral("上海-2"),
      QStringLiteral("天津-3"),   QStringLiteral("重庆-4"),    QStringLiteral("河北-5"),
      QStringLiteral("山西-6"),   QStringLiteral("河南-7"),    QStringLiteral("辽宁-8"),
      QStringLiteral("吉林-9"),   QStringLiteral("黑龙江-10"), QStringLiteral("内蒙古-11"),
      QStringLiteral("江苏-12"),  QStringLiteral("山东-13"),   QStringLiteral("安徽-14"),
      QStringLiteral("浙江-15"),  QStringLiteral("福建-16"),   QStringLiteral("湖北-17"),
      QStringLiteral("湖南-18"),  QStringLiteral("广东-19"),   QStringLiteral("广西-20"),
      QStringLiteral("江西-21"),  QStringLiteral("四川-22"),   QStringLiteral("海南-23"),
      QStringLiteral("贵州-24"),  QStringLiteral("云南-25"),   QStringLiteral("西藏-26"),
      QStringLiteral("陕西-27"),  QStringLiteral("甘肃-28"),   QStringLiteral("青海-29"),
      QStringLiteral("宁夏-30"),  QStringLiteral("新疆-31"),   QStringLiteral("台湾-32"),
      QStringLiteral("香港-33"),  QStringLiteral("澳门-34"),   QStringLiteral("钓鱼岛-35")};
  return items;
}

struct ListColumn {
  const char* header;
  int width;  // 0: hidden, the cells still hold data
  Qt::Alignment alignment;
};

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignCenter;

const ListColumn kListColumns[] = {
    {"序号", 50, kLeft},       {"商品编号", 90, kCentre}, {"商品名称", 300, kCentre}, {"电脑", 65, kCentre},
    {"手机", 70, kCentre},     {"微信", 70, kCentre},     {"手机", 70, kCentre},      {"微信", 70, kLeft},
    {"查询状态", 80, kCentre}, {"查询地区", 0, kCentre},  {"期望价格", 0, kLeft},     {"var", 0, kLeft},
    {"cat", 0, kLeft},
};

QTableWidget* watchList(QWidget* parent) {
  auto* list = place(new QTableWidget(parent), "超级列表框监控", 8, 16, 888, 392);
  list->setAccessibleName(QStringLiteral("监控列表"));
  list->setColumnCount(int(std::size(kListColumns)));
  for (int c = 0; c < list->columnCount(); ++c) {
    auto* header = new QTableWidgetItem(QString::fromUtf8(kListColumns[c].header));
    header->setTextAlignment(kListColumns[c].alignment);
    list->setHorizontalHeaderItem(c, header);
    if (kListColumns[c].width == 0)
      list->setColumnHidden(c, true);
    else
      list->setColumnWidth(c, kListColumns[c].width);
  }
  list->verticalHeader()->hide();
  list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
  list->horizontalHeader()->setSectionsClickable(false);
  list->horizontalHeader()->setHighlightSections(false);
  list->horizontalHeader()->setStretchLastSection(false);
  list->setShowGrid(true);
  list->setWordWrap(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setSortingEnabled(false);
  list->setFrameShape(QFrame::Box);
  list->setLineWidth(1);
  QPalette pal = list->palette();
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Text, Qt::black);
  // The selected row stays shown when the list loses the focus.
  for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
    pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
  list->setPalette(pal);
  return list;
}

}  // namespace

MainWindow::MainWindow()
    : FormWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint) {
  setObjectName(QString::fromUtf8(kMainWindowName));
  setWindowTitle(QStringLiteral("Quillmoor"));
  setAccessibleName(QStringLiteral("Quillmoor"));
  setFixedSize(kMainWindowDefaultClientWidth, kMainWindowDefaultClientHeight);
  centre();
}

bool MainWindow::event(QEvent* e) {
  const bool handled = FormWindow::event(e);
  // The frame is known only once the window system has framed the shown window.
  if (!fitted_ && (e->type() == QEvent::Show || e->type() == QEvent::Move || e->type() == QEvent::Resize))
    fitToFrame();
  return handled;
}

void MainWindow::fitToFrame() {
  if (!isVisible() || windowHandle() == nullptr) return;
  const QMargins frame = windowHandle()->frameMargins();
  if (frame.isNull()) return;
  fitted_ = true;
  const int width = kMainWindowOuterWidth - frame.left() - frame.right();
  const int height = kMainWindowOuterHeight - frame.top() - frame.bottom();
  if (width <= 0 || height <= 0) return;
  if (size() != QSize(width, height)) {
    setFixedSize(width, height);
    centre();
  }
}

void MainWindow::centre() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  // The outer frame is centred; a screen too small for it keeps the title bar on it.
  const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
  const int outerWidth = frame.isNull() ? width() : width() + frame.left() + frame.right();
  const int outerHeight = frame.isNull() ? height() : height() + frame.top() + frame.bottom();
  const int x = std::max(area.left(), area.left() + (area.width() - outerWidth) / 2);
  const int y = std::max(area.top(), area.top() + (area.height() - outerHeight) / 2);
  move(x, y);
}

QWidget* createMainWindow() {
  auto* window = new MainWindow;

  // The product entry bar.
  QGroupBox* entry = groupBox(window, "分组框2", 8, 8, 904, 64);
  label(entry, "标签商品编号", 8, 16, 64, 32, "商品编号：");
  editBox<IntegerEdit>(entry, "编辑框商品编号", 64, 16, 80, 32, "1743535", "商品编号");
  label(entry, "标签省份", 150, 16, 32, 32, "省份：");
  regionBox(entry, "组合框省份", 185, 24, provinceItems(), "省份");
  label(entry, "标签省份2", 268, 16, 32, 32, "城市：");
  regionBox(entry, "组合框城市", 303, 24, {QStringLiteral("选择城市")}, "城市");
  label(entry, "标签省份1", 394, 16, 32, 32, "地区：");
  regionBox(entry, "组合框地区", 429, 24, {QStringLiteral("选择地区")}, "地区");
  label(entry, "标签省份3", 517, 16, 56, 32, "期望价格：");
  auto* price = editBox(entry, "编辑框价格监控", 582, 16, 48, 32, "5", "期望价格");
  price->setValidator(new CharacterFilter(QStringLiteral("0123456789-."), price));
  checkBox(entry, "选择框降价提醒", 639, 24, 68, 24, "降价提醒");
  checkBox(entry, "选择框有货提醒", 718, 24, 68, 24, "有货提醒");
  button(entry, "按钮商品添加", 792, 16, 88, 40, "添加");

  // The WatchList and the banner.
  QGroupBox* listBox = groupBox(window, "分组框1", 8, 72, 904, 520);
  watchList(listBox);
  auto* banner = place(new PictureBox(PictureBox::Placement::TopLeft, listBox), "图片框", 8, 416, 888, 95);
  banner->setAccessibleName(QStringLiteral("更多优惠"));
  banner->setCursor(Qt::PointingHandCursor);
  auto* timer = new QTimer(window);
  timer->setObjectName(QStringLiteral("时钟商品监控"));
  timer->setProperty("qmPeriod", 0);
  auto* balloon = new BalloonTip(window);
  balloon->setObjectName(QStringLiteral("气球提示框"));

  // The right-hand panel.
  QGroupBox* panel = groupBox(window, "分组框3", 920, 8, 232, 584);
  QGroupBox* sender = groupBox(panel, "分组框5", 8, 16, 216, 120);
  label(sender, "标签2", 8, 27, 41, 24, "用户名：");
  editBox(sender, "编辑框发邮件账号", 52, 21, 92, 35, "发邮件设置", "用户名");
  button(sender, "按钮发邮件", 152, 18, 52, 35, "确定");
  label(sender, "标签1", 11, 77, 41, 24, "密 码：");
  auto* password = editBox(sender, "编辑框发邮件密码", 52, 71, 92, 35, "发邮件设置", "密码");
  password->setEchoMode(QLineEdit::Password);
  password->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
  button(sender, "按钮清空账号", 151, 71, 52, 35, "清除");
  QGroupBox* recipient = groupBox(panel, "分组框4", 8, 144, 216, 80);
  label(recipient, "标签4", 8, 27, 41, 24, "地址：");
  editBox(recipient, "编辑框收邮件地址", 56, 21, 88, 35, "收邮件设置", "地址");
  button(recipient, "按钮确定收邮件", 152, 24, 52, 35, "确定");
  label(panel, "标签3", 28, 240, 104, 24, "监控查询间隔(秒):");
  editBox(panel, "编辑框监控间隔", 140, 240, 72, 24, "60", "监控查询间隔(秒)");
  checkBox(panel, "选择框邮件提醒", 28, 272, 76, 24, "邮件提醒");
  checkBox(panel, "选择框音乐提醒", 132, 272, 76, 24, "音乐提醒");
  checkBox(panel, "选择框有货停止", 28, 304, 76, 24, "有货停止");
  checkBox(panel, "选择框保存记录", 132, 304, 76, 24, "保存记录");
  pictureButton(panel, "按钮商品监控", 344, "开始监控", "button_idle.png");
  pictureButton(panel, "按钮更多优惠", 416, "更多优惠", "button_more_offers.png");
  pictureButton(panel, "按钮问题反馈", 488, "问题反馈", "button_feedback.png");

  // Stores the program keeps out of sight, to the right of the client area.
  editBox(window, "venderId", 1192, 112, 80, 24, "", nullptr);
  editBox(window, "cat", 1195, 160, 80, 24, "", nullptr);
  place(new ValueBar(window), "背景颜色", 1192, 216, 250, 20);
  place(new ValueBar(window), "前景颜色", 1192, 246, 250, 20);
  place(new ValueBar(window), "渐变颜色", 1192, 276, 250, 20);
  place(new ValueBar(window), "定位点颜色外", 1192, 346, 200, 20);
  place(new ValueBar(window), "定位点颜色内", 1192, 382, 200, 20);

  return window;
}

}  // namespace qm
