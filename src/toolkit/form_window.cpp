#include "toolkit/form_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "toolkit/picture_box.h"

namespace qm {

FormWindow::FormWindow(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {}

void FormWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

FormWindow* createQrWindow(QWidget* owner) {
  auto* window = new FormWindow(owner, Qt::Window | Qt::FramelessWindowHint);
  window->setObjectName(QStringLiteral("二维码窗口"));
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setFixedSize(200, 200);
  window->setAccessibleName(QStringLiteral("二维码"));
  auto* picture = new PictureBox(PictureBox::Placement::FitCentred, window);
  picture->setObjectName(QStringLiteral("图片框二维码"));
  picture->setAccessibleName(QStringLiteral("二维码"));
  picture->setGeometry(0, 0, 200, 200);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    window->move(area.left() + (area.width() - 200) / 2, area.top() + (area.height() - 200) / 2);
  }
  return window;
}

}  // namespace qm
