#include "toolkit/value_bar.h"

#include <algorithm>

namespace qm {

ValueBar::ValueBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setRange(0, 100);
  setValue(30);
}

void ValueBar::setBarMaximum(int32_t maximum) {
  if (maximum <= minimum()) return;
  setMaximum(maximum);  // QSlider lowers a value above it
}

void ValueBar::setBarValue(int32_t value) { setValue(std::clamp(value, minimum(), maximum())); }

}  // namespace qm
