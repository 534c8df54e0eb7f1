#pragma once

#include <QAbstractButton>
#include <QImage>

namespace qm {

// A button that shows a face picture instead of its caption; the caption is kept
// (and read out by screen readers through the accessible name) but not drawn.
class PictureButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit PictureButton(QWidget* parent = nullptr);

  void setFace(const QImage& face);
  const QImage& face() const { return face_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage face_;
};

}  // namespace qm
