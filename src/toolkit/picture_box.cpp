#include "toolkit/picture_box.h"

#include <QPainter>

namespace qm {

PictureBox::PictureBox(Placement placement, QWidget* parent) : QWidget(parent), placement_(placement) {}

void PictureBox::setPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

QRect PictureBox::pictureRect() const {
  if (picture_.isNull()) return {};
  if (placement_ == Placement::TopLeft) return QRect(QPoint(0, 0), picture_.size());
  QSize size = picture_.size();
  if (size.width() > width() || size.height() > height()) size.scale(this->size(), Qt::KeepAspectRatio);
  return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void PictureBox::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(pictureRect(), picture_);
}

}  // namespace qm
