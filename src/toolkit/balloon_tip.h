#pragma once

#include <QPainterPath>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace qm {

// A balloon tip: a small frameless window with rounded corners and a tail whose tip
// stands at a screen point. One instance shows one text at a time; showing again
// replaces what is on screen. A click on it hides it.
class BalloonTip : public QWidget {
  Q_OBJECT

 public:
  explicit BalloonTip(QWidget* owner = nullptr);

  // icon: 1 information, 2 warning, 3 error; anything else none. With autoHide it
  // goes away after autoHideMs.
  void showAt(const QPoint& screenPoint, const QString& text, int icon, bool autoHide);
  QString text() const { return text_; }
  int icon() const { return icon_; }
  // The screen point the tail points at.
  QPoint tailPoint() const { return tailPoint_; }
  bool autoHideActive() const { return hideTimer_.isActive(); }
  int autoHideRemainingMs() const { return hideTimer_.remainingTime(); }

  static constexpr int autoHideMs = 10000;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QPainterPath outline() const;

  QString text_;
  int icon_ = -1;
  QPoint tailPoint_;
  bool tailBelow_ = true;  // the tail hangs from the bottom edge
  bool tailRight_ = true;  // the tail sits near the right end
  QRect bodyRect_;
  QRect textRect_;
  QTimer hideTimer_;
};

}  // namespace qm
