#include "toolkit/qt_toolkit.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <thread>

#include "text/gbk.h"
#include "toolkit/balloon_tip.h"
#include "toolkit/picture_box.h"
#include "toolkit/picture_button.h"
#include "toolkit/value_bar.h"

namespace qm {

namespace {

QString toQt(const Text& gbk) { return QString::fromStdU16String(gbkToUtf16(gbk)); }
Text fromQt(const QString& s) { return utf16ToGbk(s.toStdU16String()); }
QString nameOf(ControlName control) { return QString::fromUtf8(control.data(), qsizetype(control.size())); }

// The period written last to a timer, kept beside the QTimer (which cannot hold a
// stopped period).
constexpr char kPeriodProperty[] = "qmPeriod";
constexpr char kControlProperty[] = "qmControl";
constexpr char kComboEditProperty[] = "qmComboEdit";

QTableWidgetItem* listItem(QTableWidget* list, int row, int column) {
  if (list == nullptr || row < 0 || column < 0 || row >= list->rowCount() || column >= list->columnCount())
    return nullptr;
  QTableWidgetItem* item = list->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (QTableWidgetItem* header = list->horizontalHeaderItem(column))
      item->setTextAlignment(Qt::Alignment(QFlag(header->textAlignment())));
    list->setItem(row, column, item);
  }
  return item;
}

}  // namespace

QtToolkit::QtToolkit(QWidget* mainWindow) : mainWindow_(mainWindow) {
  if (mainWindow != nullptr) connect(mainWindow, &QObject::destroyed, this, &QtToolkit::shutdown);
  if (QCoreApplication* app = QCoreApplication::instance())
    connect(app, &QCoreApplication::aboutToQuit, this, &QtToolkit::shutdown);
}

QtToolkit::~QtToolkit() {
  shutdown();
  // The tray icon is ours, not the window's: it goes with the toolkit.
  delete tray_;
}

void QtToolkit::shutdown() { handOff_.close(); }

QWidget* QtToolkit::qrWindow() const {
  QWidget* window = qrWindow_.data();
  return window != nullptr && window->isVisible() ? window : nullptr;
}

QObject* QtToolkit::findControl(ControlName control) {
  if (mainWindow_.isNull()) return nullptr;
  std::string key(control);
  if (auto it = controls_.find(key); it != controls_.end() && !it->second.isNull()) return it->second;
  const QString name = nameOf(control);
  QObject* found = nullptr;
  if (QWidget* qr = qrWindow()) found = qr->objectName() == name ? qr : qr->findChild<QObject*>(name);
  if (found == nullptr) {
    found = mainWindow_->objectName() == name ? mainWindow_.data() : mainWindow_->findChild<QObject*>(name);
    // Controls of a closed QR window that still waits for its deletion do not count.
    auto* widget = qobject_cast<QWidget*>(found);
    if (widget != nullptr && widget->window() != mainWindow_ &&
        qobject_cast<FormWindow*>(widget->window()) != nullptr)
      found = nullptr;
  }
  if (found == nullptr) return nullptr;
  controls_[key] = found;
  return found;
}

// --- events -----------------------------------------------------------------------

void QtToolkit::bind(ControlName control, UiEvent event, std::function<void(int, int)> handler) {
  std::string name(control);
  handlers_[{name, event}] = std::move(handler);
  if (QObject* object = findControl(control)) hook(object, name, event);
}

void QtToolkit::fire(ControlName control, UiEvent event, int x, int y) {
  auto it = handlers_.find({std::string(control), event});
  if (it == handlers_.end() || !it->second) return;
  // A copy: the handler may bind again, or run nested handlers that do.
  std::function<void(int, int)> handler = it->second;
  handler(x, y);
}

void QtToolkit::hook(QObject* control, const std::string& name, UiEvent event) {
  const QByteArray mark = "qmHooked" + QByteArray::number(int(event));
  QObject* target = control;
  if (auto* view = qobject_cast<QAbstractItemView*>(control);
      view != nullptr && (event == UiEvent::RightClicked || event == UiEvent::DoubleClicked))
    target = view->viewport();
  if (target->property(mark.constData()).toBool()) return;
  target->setProperty(mark.constData(), true);
  target->setProperty(kControlProperty, QString::fromStdString(name));

  auto fireThis = [this, name, event](int x, int y) { fire(name, event, x, y); };
  switch (event) {
    case UiEvent::Created:
      break;
    case UiEvent::Clicked:
      if (auto* button = qobject_cast<QAbstractButton*>(control))
        connect(button, &QAbstractButton::clicked, this, [fireThis] { fireThis(0, 0); });
      break;
    case UiEvent::ItemChosen:
      // Only a choice made in the list, by mouse or keys; typing does not count.
      if (auto* combo = qobject_cast<QComboBox*>(control)) {
        connect(combo, &QComboBox::activated, this, [this, fireThis] {
          if (typedTextGuard_ == 0) fireThis(0, 0);
        });
        // Enter in the edit field, or leaving it, picks the item of the typed text:
        // no choice in the list.
        // Keys and focus reach the box, which hands them on to its edit field.
        if (QLineEdit* edit = combo->lineEdit()) {
          for (QObject* o : {static_cast<QObject*>(combo), static_cast<QObject*>(edit)}) {
            o->setProperty(kComboEditProperty, true);
            o->installEventFilter(this);
          }
        }
      }
      break;
    case UiEvent::TimerElapsed:
      if (auto* timer = qobject_cast<QTimer*>(control))
        connect(timer, &QTimer::timeout, this, [fireThis] { fireThis(0, 0); });
      break;
    case UiEvent::RightClicked:
    case UiEvent::DoubleClicked:
    case UiEvent::LeftReleased:
      target->installEventFilter(this);
      break;
  }
}

void QtToolkit::hookQrWindowControls() {
  for (const auto& [key, handler] : handlers_) {
    if (QObject* object = findControl(key.first)) {
      if (qrWindow_ && (object == qrWindow_ || qrWindow_->isAncestorOf(qobject_cast<QWidget*>(object))))
        hook(object, key.first, key.second);
    }
  }
}

bool QtToolkit::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched->property(kComboEditProperty).toBool()) {
    if (type == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      return key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    if (type == QEvent::FocusOut) {
      ++typedTextGuard_;
      watched->event(event);
      --typedTextGuard_;
      return true;
    }
    return QObject::eventFilter(watched, event);
  }
  if (type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
    return QObject::eventFilter(watched, event);
  const std::string name = watched->property(kControlProperty).toString().toStdString();
  auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint point = mouse->position().toPoint();
  const bool itemView = qobject_cast<QAbstractItemView*>(watched->parent()) != nullptr &&
                        static_cast<QAbstractItemView*>(watched->parent())->viewport() == watched;
  auto* widget = qobject_cast<QWidget*>(watched);
  const bool inside = widget != nullptr && widget->rect().contains(point);
  if (type == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
    if (watched->property(("qmHooked" + QByteArray::number(int(UiEvent::DoubleClicked))).constData())
            .toBool())
      fire(name, UiEvent::DoubleClicked, point.x(), point.y());
  } else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::RightButton && itemView && inside) {
    fire(name, UiEvent::RightClicked, point.x(), point.y());
  } else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton && inside) {
    if (watched->property(("qmHooked" + QByteArray::number(int(UiEvent::LeftReleased))).constData()).toBool())
      fire(name, UiEvent::LeftReleased, point.x(), point.y());
  }
  return QObject::eventFilter(watched, event);
}

// --- edit boxes, combo boxes, check boxes, buttons -----------------------------------

Text QtToolkit::text(ControlName control) {
  return onGui<Text>([&]() -> Text {
    QObject* object = findControl(control);
    if (auto* edit = qobject_cast<QLineEdit*>(object)) return fromQt(edit->text());
    if (auto* combo = qobject_cast<QComboBox*>(object)) return fromQt(combo->currentText());
    if (auto* label = qobject_cast<QLabel*>(object)) return fromQt(label->text());
    return {};
  });
}

void QtToolkit::setText(ControlName control, const Text& value) {
  onGui<void>([&] {
    QObject* object = findControl(control);
    if (auto* edit = qobject_cast<QLineEdit*>(object)) {
      edit->setText(toQt(value));
    } else if (auto* combo = qobject_cast<QComboBox*>(object)) {
      if (combo->isEditable())
        combo->setEditText(toQt(value));
      else
        combo->setCurrentIndex(combo->findText(toQt(value), Qt::MatchExactly));
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
      label->setText(toQt(value));
    }
  });
}

int QtToolkit::checkState(ControlName control) {
  return onGui<int>([&] {
    auto* box = find<QCheckBox>(control);
    return box != nullptr && box->isChecked() ? 1 : 0;
  });
}

void QtToolkit::setCheckState(ControlName control, int state) {
  onGui<void>([&] {
    if (auto* box = find<QCheckBox>(control)) box->setChecked(state != 0);
  });
}

void QtToolkit::addComboItem(ControlName control, const Text& item) {
  onGui<void>([&] {
    if (auto* combo = find<QComboBox>(control)) {
      // Appending must not change the edit text of an editable box.
      const QString edit = combo->currentText();
      combo->addItem(toQt(item));
      if (combo->isEditable() && combo->currentText() != edit) combo->setEditText(edit);
    }
  });
}

int QtToolkit::comboIndex(ControlName control) {
  return onGui<int>([&] {
    auto* combo = find<QComboBox>(control);
    return combo != nullptr ? combo->currentIndex() : -1;
  });
}

int QtToolkit::comboCount(ControlName control) {
  return onGui<int>([&] {
    auto* combo = find<QComboBox>(control);
    return combo != nullptr ? combo->count() : 0;
  });
}

Text QtToolkit::comboItem(ControlName control, int index) {
  return onGui<Text>([&]() -> Text {
    auto* combo = find<QComboBox>(control);
    if (combo == nullptr || index < 0 || index >= combo->count()) return {};
    return fromQt(combo->itemText(index));
  });
}

Text QtToolkit::caption(ControlName control) {
  return onGui<Text>([&]() -> Text {
    QObject* object = findControl(control);
    if (auto* button = qobject_cast<QAbstractButton*>(object)) return fromQt(button->text());
    if (auto* widget = qobject_cast<QWidget*>(object); widget != nullptr && widget->isWindow())
      return fromQt(widget->windowTitle());
    return {};
  });
}

void QtToolkit::setCaption(ControlName control, const Text& value) {
  onGui<void>([&] {
    QObject* object = findControl(control);
    if (auto* button = qobject_cast<QAbstractButton*>(object)) {
      button->setText(toQt(value));
      // The caption of a picture button is what a screen reader says for its face.
      if (qobject_cast<PictureButton*>(button) != nullptr) button->setAccessibleName(toQt(value));
    } else if (auto* widget = qobject_cast<QWidget*>(object); widget != nullptr && widget->isWindow()) {
      widget->setWindowTitle(toQt(value));
    }
  });
}

void QtToolkit::setButtonFace(ControlName control, const Bytes& png) {
  onGui<void>([&] {
    if (auto* button = find<PictureButton>(control))
      button->setFace(QImage::fromData(reinterpret_cast<const uchar*>(png.data()), int(png.size())));
  });
}

// --- timer, pictures, bars -----------------------------------------------------------

void QtToolkit::setTimerPeriod(ControlName control, int32_t milliseconds) {
  onGui<void>([&] {
    auto* timer = find<QTimer>(control);
    if (timer == nullptr) return;
    if (timer->property(kPeriodProperty).toInt() == milliseconds) return;
    timer->stop();
    timer->setProperty(kPeriodProperty, milliseconds);
    if (milliseconds > 0) timer->start(milliseconds);
  });
}

int32_t QtToolkit::timerPeriod(ControlName control) {
  return onGui<int32_t>([&] {
    auto* timer = find<QTimer>(control);
    return timer != nullptr ? int32_t(timer->property(kPeriodProperty).toInt()) : 0;
  });
}

void QtToolkit::setPicture(ControlName control, const Bytes& image) {
  onGui<void>([&] {
    if (auto* box = find<PictureBox>(control))
      box->setPicture(
          image.empty() ? QImage()
                        : QImage::fromData(reinterpret_cast<const uchar*>(image.data()), int(image.size())));
  });
}

void QtToolkit::setBarMaximum(ControlName control, int32_t maximum) {
  onGui<void>([&] {
    if (auto* bar = find<ValueBar>(control)) bar->setBarMaximum(maximum);
  });
}

void QtToolkit::setBarValue(ControlName control, int32_t value) {
  onGui<void>([&] {
    if (auto* bar = find<ValueBar>(control)) bar->setBarValue(value);
  });
}

int32_t QtToolkit::barValue(ControlName control) {
  return onGui<int32_t>([&] {
    auto* bar = find<ValueBar>(control);
    return bar != nullptr ? bar->barValue() : 0;
  });
}

// --- the WatchList -------------------------------------------------------------------

int QtToolkit::appendRow(ControlName list) {
  return onGui<int>([&] {
    auto* table = find<QTableWidget>(list);
    if (table == nullptr) return -1;
    const int row = table->rowCount();
    table->insertRow(row);
    for (int column = 0; column < table->columnCount(); ++column) {
      QTableWidgetItem* item = listItem(table, row, column);
      if (column == 0) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
      }
    }
    return row;
  });
}

Text QtToolkit::cell(ControlName list, int row, int column) {
  return onGui<Text>([&]() -> Text {
    auto* table = find<QTableWidget>(list);
    QTableWidgetItem* item = listItem(table, row, column);
    return item != nullptr ? fromQt(item->text()) : Text{};
  });
}

void QtToolkit::setCell(ControlName list, int row, int column, const Text& value) {
  onGui<void>([&] {
    if (QTableWidgetItem* item = listItem(find<QTableWidget>(list), row, column)) item->setText(toQt(value));
  });
}

int QtToolkit::rowCount(ControlName list) {
  return onGui<int>([&] {
    auto* table = find<QTableWidget>(list);
    return table != nullptr ? table->rowCount() : 0;
  });
}

void QtToolkit::deleteRow(ControlName list, int row) {
  onGui<void>([&] {
    auto* table = find<QTableWidget>(list);
    if (table != nullptr && row >= 0 && row < table->rowCount()) table->removeRow(row);
  });
}

void QtToolkit::deleteAllRows(ControlName list) {
  onGui<void>([&] {
    if (auto* table = find<QTableWidget>(list)) table->setRowCount(0);
  });
}

int QtToolkit::rowChecked(ControlName list, int row) {
  return onGui<int>([&] {
    QTableWidgetItem* item = listItem(find<QTableWidget>(list), row, 0);
    return item != nullptr && item->checkState() == Qt::Checked ? 1 : 0;
  });
}

HitTest QtToolkit::hitTest(ControlName list, int x, int y) {
  return onGui<HitTest>([&] {
    HitTest hit;
    auto* table = find<QTableWidget>(list);
    if (table == nullptr) return hit;
    const QModelIndex index = table->indexAt(QPoint(x, y));
    hit.row = index.isValid() ? index.row() : -1;
    hit.column = table->horizontalHeader()->logicalIndexAt(x);
    return hit;
  });
}

// --- balloon, tray, menu, message box ------------------------------------------------

void QtToolkit::showBalloon(ControlName balloon, int x, int y, const Text& text, int icon, bool autoHide) {
  onGui<void>([&] {
    if (auto* tip = find<BalloonTip>(balloon)) tip->showAt(QPoint(x, y), toQt(text), icon, autoHide);
  });
}

void QtToolkit::setTrayIcon(const Bytes& icon, const Text& tip) {
  onGui<void>([&] {
    QPixmap pixmap;
    pixmap.loadFromData(reinterpret_cast<const uchar*>(icon.data()), uint(icon.size()));
    if (tray_ == nullptr) tray_ = new QSystemTrayIcon;
    tray_->setIcon(QIcon(pixmap));
    tray_->setToolTip(toQt(tip));
    // Without a notification area (offscreen, bare X servers) there is nothing to show.
    if (QSystemTrayIcon::isSystemTrayAvailable()) tray_->show();
  });
}

int QtToolkit::popupMenu(const std::vector<Text>& items, int dx, int dy) {
  return onGui<int>([&] {
    QMenu menu(mainWindow_);
    menu.setObjectName(QStringLiteral("弹出菜单"));
    for (size_t i = 0; i < items.size(); ++i) menu.addAction(toQt(items[i]))->setData(int(i));
    QAction* chosen = menu.exec(QCursor::pos() + QPoint(dx, dy));
    return chosen != nullptr ? chosen->data().toInt() : -1;
  });
}

void QtToolkit::messageBox(const Text& text, const Text& title) {
  onGui<void>([&] {
    QMessageBox box(QMessageBox::Critical, toQt(title), toQt(text), QMessageBox::Ok, mainWindow_);
    box.setObjectName(QStringLiteral("信息框"));
    box.exec();
  });
}

// --- the QR window --------------------------------------------------------------------

bool QtToolkit::loadQrWindow() {
  return onGui<bool>([&] {
    if (QWidget* open = qrWindow()) {
      if (open->isMinimized()) open->showNormal();
      open->raise();
      open->activateWindow();
      return false;
    }
    controls_.clear();
    qrWindow_ = createQrWindow(mainWindow_);
    qrWindow_->show();
    hookQrWindowControls();
    qrWindow_->raise();
    qrWindow_->activateWindow();
    return true;
  });
}

void QtToolkit::closeQrWindow() {
  onGui<void>([&] {
    if (QWidget* open = qrWindow()) {
      controls_.clear();
      // Deleted once the current event is handled: this may run inside its own handler.
      open->close();
    }
  });
}

// --- desktop --------------------------------------------------------------------------

void QtToolkit::setClipboardText(const Text& text) {
  onGui<void>([&] { QGuiApplication::clipboard()->setText(toQt(text)); });
}

int QtToolkit::screenWidth() {
  return onGui<int>([] {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().width() : 0;
  });
}

int QtToolkit::screenHeight() {
  return onGui<int>([] {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().height() : 0;
  });
}

void QtToolkit::openAddress(const Text& address) {
  onGui<void>([&] {
    QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray(address.data(), qsizetype(address.size()))));
  });
}

// --- event handling -------------------------------------------------------------------

void QtToolkit::handlePendingEvents() {
  if (!handOff_.onGuiThread()) return;  // a worker has no window events
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (dispatcher == nullptr) return;
  // Until a pass finds nothing to do; bounded, so a zero-period timer cannot hold us.
  for (int pass = 0; pass < 1000 && !handOff_.closed(); ++pass) {
    if (!dispatcher->processEvents(QEventLoop::AllEvents)) break;
  }
}

void QtToolkit::pauseWithEvents(int64_t milliseconds) {
  if (milliseconds <= 0) return;
  if (!handOff_.onGuiThread()) {
    handOff_.sleepFor(milliseconds);
    return;
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  QTimer wake;  // wakes the wait below when no other event comes
  wake.setSingleShot(true);
  wake.setTimerType(Qt::PreciseTimer);
  while (!handOff_.closed()) {
    const auto left = deadline - Clock::now();
    if (left < Clock::duration::zero()) break;
    const auto leftMs = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    wake.start(int(std::max<int64_t>(1, leftMs)));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

}  // namespace qm
