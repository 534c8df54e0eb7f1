#include "toolkit/picture_button.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

namespace qm {

PictureButton::PictureButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::PointingHandCursor);
}

void PictureButton::setFace(const QImage& face) {
  face_ = face;
  update();
}

QSize PictureButton::sizeHint() const { return face_.isNull() ? QSize(165, 50) : face_.size(); }

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!face_.isNull()) {
    QRect target(QPoint((width() - face_.width()) / 2, (height() - face_.height()) / 2), face_.size());
    // A pressed button sinks by one pixel, so a click is seen.
    if (isDown()) target.translate(1, 1);
    painter.drawImage(target, face_);
  }
  if (hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(2, 2, -2, -2);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

}  // namespace qm
