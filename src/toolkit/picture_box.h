#pragma once

#include <QImage>
#include <QWidget>

namespace qm {

// A borderless box showing one picture: at its own size from the top left corner, or
// centred and shrunk to fit (keeping its proportions, never enlarged).
class PictureBox : public QWidget {
  Q_OBJECT

 public:
  enum class Placement { TopLeft, FitCentred };
  explicit PictureBox(Placement placement, QWidget* parent = nullptr);

  void setPicture(const QImage& picture);
  const QImage& picture() const { return picture_; }
  // Where the picture is drawn, in the box's coordinates (empty without one).
  QRect pictureRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Placement placement_;
  QImage picture_;
};

}  // namespace qm
