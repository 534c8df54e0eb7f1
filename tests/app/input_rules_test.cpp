// The input rules of the product number and wished price boxes, by real keys, paste
// and focus changes.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include "app/input_rules.h"
#include "support/window_fixture.h"

namespace qm {
namespace {

using test::WindowFixture;

class InputRules : public WindowFixture {
 protected:
  // Empties the box, types or pastes `input` into it, then moves the focus away.
  QString enterAndLeave(const char* box, const QString& input, bool paste) {
    auto* edit = find<QLineEdit>(box);
    window()->activateWindow();
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    if (paste) {
      QGuiApplication::clipboard()->setText(input);
      QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    } else {
      QTest::keyClicks(edit, input);
    }
    const char* away = std::string_view(box) == "编辑框监控间隔" ? "编辑框收邮件地址" : "编辑框监控间隔";
    find<QLineEdit>(away)->setFocus();
    processEvents();
    EXPECT_FALSE(edit->hasFocus());
    return edit->text();
  }
};

TEST_F(InputRules, ProductNumberBox) {
  struct Case {
    const char* input;
    bool paste;
    const char* left;  // the text once the box is left
  };
  const Case cases[] = {
      {"12ab", false, "12"},
      {"abc", false, ""},
      {"12ab", true, "12"},
      {"007", false, "7"},
      {"0", false, ""},
      {"", false, ""},
      {"-", false, ""},
      {"-42", false, "-42"},
      {"4-2", false, "4"},
      {"100012043978", false, "100012043978"},
      {"1000120439781", false, "1000120439781"},
      {"9223372036854775807", false, "9223372036854775807"},
      {"9223372036854775808", false, "9223372036854775807"},
      {"123456789012345678901234567890", true, "9223372036854775807"},
      {"-9223372036854775808", false, "-9223372036854775808"},
      {"-99999999999999999999", false, "-9223372036854775808"},
      {"1 2", true, "12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.input) + (c.paste ? " pasted" : " typed"));
    EXPECT_EQ(enterAndLeave("编辑框商品编号", QString::fromUtf8(c.input), c.paste),
              QString::fromUtf8(c.left));
  }
}

TEST_F(InputRules, ProductNumberRefusesLettersWhileTyping) {
  auto* edit = find<QLineEdit>("编辑框商品编号");
  window()->activateWindow();
  edit->setFocus();
  edit->clear();
  QTest::keyClicks(edit, "1a2");
  EXPECT_EQ(edit->text(), QStringLiteral("12"));
  QTest::keyClick(edit, Qt::Key_Backspace);  // control keys still work
  EXPECT_EQ(edit->text(), QStringLiteral("1"));
  // Not rewritten before it is left.
  QTest::keyClicks(edit, "-0");
  EXPECT_EQ(edit->text(), QStringLiteral("1-0"));
}

TEST_F(InputRules, WishedPriceBoxKeepsWhatIsTyped) {
  struct Case {
    const char* input;
    bool paste;
    const char* left;
  };
  const Case cases[] = {
      {"12.5", false, "12.5"}, {"-3", false, "-3"}, {"1x2", false, "12"},      {"abc", false, ""},
      {"007", false, "007"},   {"0", false, "0"},   {"1.2.3", false, "1.2.3"}, {"9.9元", true, "9.9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(enterAndLeave("编辑框价格监控", QString::fromUtf8(c.input), c.paste),
              QString::fromUtf8(c.left));
  }
}

TEST_F(InputRules, OtherBoxesTakeAnyText) {
  EXPECT_EQ(enterAndLeave("编辑框监控间隔", QStringLiteral("abc 0.5"), false), QStringLiteral("abc 0.5"));
  EXPECT_EQ(enterAndLeave("编辑框发邮件账号", QStringLiteral("me@example.com"), false),
            QStringLiteral("me@example.com"));
}

TEST(IntegerText, NormalisedAsADecimal64BitInteger) {
  struct Case {
    const char* text;
    const char* normalised;
  };
  const Case cases[] = {{"", ""},
                        {"  15", "15"},
                        {"+15", "15"},
                        {"--5", ""},
                        {"0000", ""},
                        {"-0", ""},
                        {"12-3", "12"},
                        {"2147483648", "2147483648"},
                        {"-2147483649", "-2147483649"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(normalisedIntegerText(QString::fromUtf8(c.text)), QString::fromUtf8(c.normalised));
  }
}

}  // namespace
}  // namespace qm
