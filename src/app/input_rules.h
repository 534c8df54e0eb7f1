#pragma once

#include <QLineEdit>
#include <QString>
#include <QValidator>

namespace qm {

// Keeps only the characters in `allowed` of what is typed or pasted: typed letters are
// refused, a pasted "12ab" leaves "12".
class CharacterFilter : public QValidator {
  Q_OBJECT

 public:
  CharacterFilter(QString allowed, QObject* parent);
  State validate(QString& input, int& pos) const override;

 private:
  QString allowed_;
};

// The text of an integer box after it is left: read as a decimal integer (leading
// spaces, a sign and the digits up to the first other character), saturated to the
// 64-bit signed range, written back in decimal; 0, which an empty or unreadable text
// gives too, leaves it empty.
QString normalisedIntegerText(const QString& text);

// An edit box for integers: digits and "-" only; normalised when the focus leaves.
class IntegerEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit IntegerEdit(QWidget* parent = nullptr);

 protected:
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace qm
