#include "toolkit/balloon_tip.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

namespace qm {

namespace {
constexpr int kTail = 14;       // height of the tail
constexpr int kTailBase = 16;   // its width where it meets the body
constexpr int kTailInset = 18;  // distance of the tail from the body's near end
constexpr int kRadius = 7;
constexpr int kPadding = 10;
constexpr int kIconSize = 32;
constexpr int kMaxTextWidth = 320;
}  // namespace

BalloonTip::BalloonTip(QWidget* owner)
    : QWidget(owner,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAccessibleName(QStringLiteral("提示"));
  hideTimer_.setSingleShot(true);
  hideTimer_.setTimerType(Qt::PreciseTimer);
  connect(&hideTimer_, &QTimer::timeout, this, &QWidget::hide);
}

void BalloonTip::showAt(const QPoint& screenPoint, const QString& text, int icon, bool autoHide) {
  text_ = text;
  icon_ = (icon >= 1 && icon <= 3) ? icon : -1;
  tailPoint_ = screenPoint;
  setAccessibleDescription(text);

  const QFontMetrics metrics(font());
  QRect textBounds = metrics.boundingRect(QRect(0, 0, kMaxTextWidth, 10000), Qt::TextWordWrap, text_);
  const int iconSpace = icon_ > 0 ? kIconSize + kPadding : 0;
  const int bodyWidth = std::max(textBounds.width() + iconSpace + 2 * kPadding, kTailInset * 2 + kTailBase);
  const int bodyHeight = std::max(textBounds.height(), icon_ > 0 ? kIconSize : 0) + 2 * kPadding;

  QScreen* screen = QGuiApplication::screenAt(screenPoint);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->geometry() : QRect(0, 0, 1 << 16, 1 << 16);

  // Above the point with the tail down, unless there is no room; the tail near the
  // right end, unless the body would leave the screen to the left.
  tailBelow_ = screenPoint.y() + 1 - kTail - bodyHeight >= area.top();
  tailRight_ = screenPoint.x() - (bodyWidth - kTailInset) >= area.left();
  const int height = bodyHeight + kTail;
  bodyRect_ = QRect(0, tailBelow_ ? 0 : kTail, bodyWidth, bodyHeight);
  textRect_ = bodyRect_.adjusted(kPadding + iconSpace, kPadding, -kPadding, -kPadding);

  int left = tailRight_ ? screenPoint.x() - (bodyWidth - kTailInset) : screenPoint.x() - kTailInset;
  // The tail's last pixel row is the point's row.
  int top = tailBelow_ ? screenPoint.y() - height + 1 : screenPoint.y();
  // Kept on screen even where the point itself lies outside it.
  left = std::clamp(left, area.left(), std::max(area.left(), area.right() + 1 - bodyWidth));
  top = std::clamp(top, area.top(), std::max(area.top(), area.bottom() + 1 - height));

  setGeometry(left, top, bodyWidth, height);
  setMask(QRegion(outline().toFillPolygon().toPolygon()));
  hideTimer_.stop();
  if (autoHide) hideTimer_.start(autoHideMs);
  show();
  raise();
  update();
}

QPainterPath BalloonTip::outline() const {
  QPainterPath path;
  path.addRoundedRect(QRectF(bodyRect_).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
  const QPoint tip = mapFromGlobal(tailPoint_);
  const int baseX = tailRight_ ? bodyRect_.right() - kTailInset : bodyRect_.left() + kTailInset;
  const int baseY = tailBelow_ ? bodyRect_.bottom() - 1 : bodyRect_.top() + 1;
  QPainterPath tail;
  const int tipX = std::clamp(tip.x(), 0, width() - 1);
  const int tipY = tailBelow_ ? height() - 1 : 0;
  tail.moveTo(baseX - kTailBase / 2, baseY);
  tail.lineTo(tipX, tipY);
  tail.lineTo(baseX + kTailBase / 2, baseY);
  tail.closeSubpath();
  return path.united(tail);
}

void BalloonTip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPalette pal = QToolTip::palette();
  painter.setPen(QPen(pal.color(QPalette::ToolTipText), 1));
  painter.setBrush(pal.color(QPalette::ToolTipBase));
  painter.drawPath(outline());
  if (icon_ > 0) {
    static constexpr QStyle::StandardPixmap kIcons[] = {
        QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxWarning, QStyle::SP_MessageBoxCritical};
    const QIcon icon = style()->standardIcon(kIcons[icon_ - 1], nullptr, this);
    icon.paint(&painter,
               QRect(bodyRect_.left() + kPadding, bodyRect_.top() + kPadding, kIconSize, kIconSize));
  }
  painter.setPen(pal.color(QPalette::ToolTipText));
  painter.drawText(textRect_, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter, text_);
}

void BalloonTip::mousePressEvent(QMouseEvent*) {
  hideTimer_.stop();
  hide();
}

}  // namespace qm
