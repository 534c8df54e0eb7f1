#include "app/input_rules.h"

#include <cstdint>
#include <limits>

namespace qm {

CharacterFilter::CharacterFilter(QString allowed, QObject* parent)
    : QValidator(parent), allowed_(std::move(allowed)) {}

QValidator::State CharacterFilter::validate(QString& input, int& pos) const {
  QString kept;
  kept.reserve(input.size());
  int keptBeforeCursor = 0;
  for (qsizetype i = 0; i < input.size(); ++i) {
    if (!allowed_.contains(input[i])) continue;
    kept += input[i];
    if (i < pos) ++keptBeforeCursor;
  }
  input = kept;
  pos = keptBeforeCursor;
  return Acceptable;
}

QString normalisedIntegerText(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  // Accumulated as a negative number, whose range reaches the 64-bit minimum.
  int64_t value = 0;
  bool saturated = false;
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    const int digit = text[i].unicode() - u'0';
    if (saturated) continue;
    if (value < (kMin + digit) / 10) {
      saturated = true;
      value = kMin;
    } else {
      value = value * 10 - digit;
    }
  }
  if (!negative) value = value == kMin ? std::numeric_limits<int64_t>::max() : -value;
  return value == 0 ? QString() : QString::number(value);
}

IntegerEdit::IntegerEdit(QWidget* parent) : QLineEdit(parent) {
  setValidator(new CharacterFilter(QStringLiteral("0123456789-"), this));
}

void IntegerEdit::focusOutEvent(QFocusEvent* event) {
  const QString normalised = normalisedIntegerText(text());
  if (normalised != text()) setText(normalised);
  QLineEdit::focusOutEvent(event);
}

}  // namespace qm
