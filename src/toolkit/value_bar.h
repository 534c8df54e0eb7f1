#pragma once

#include <QSlider>
#include <cstdint>

namespace qm {

// A slider-like bar holding an integer between a minimum and a maximum (0, 100 and
// 30 at first). A maximum not above the minimum is ignored; an accepted one lowers a
// value above it; a value is put into the range.
class ValueBar : public QSlider {
  Q_OBJECT

 public:
  explicit ValueBar(QWidget* parent = nullptr);

  void setBarMaximum(int32_t maximum);
  void setBarValue(int32_t value);
  int32_t barValue() const { return value(); }
};

}  // namespace qm
