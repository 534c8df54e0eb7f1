// The region boxes against a loopback region endpoint, driven through the real combo
// boxes of the main window: a choice made in the open list fills the next box.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <string>
#include <utility>
#include <vector>

#include "entry/region_picker.h"
#include "support/loopback_server.h"
#include "support/window_fixture.h"
#include "typing.h"

namespace qm {
namespace {

using test::g;

constexpr char kRegionPath[] = "/index.php";
constexpr char kRegionTarget[] = "/index.php?mod=ajax&act=getchild_jddist&pid=";

// The region endpoint's reply: a JSON list whose names are written with backslash-u
// escapes, "id" just before "aname", "aname" last in its object.
std::string regionReply(const std::string& parentId,
                        const std::vector<std::pair<std::string, std::string>>& places) {
  std::string reply = "[";
  for (const auto& [id, utf8Name] : places) {
    std::string escaped;
    for (char16_t unit : QString::fromUtf8(utf8Name.c_str()).toStdU16String()) {
      char buf[8];
      if (unit < 0x80) {
        escaped += static_cast<char>(unit);
      } else {
        std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(unit));
        escaped += buf;
      }
    }
    if (reply.size() > 1) reply += ",";
    reply += "{\"pid\":\"" + parentId + "\",\"id\":\"" + id + "\",\"aname\":\"" + escaped + "\"}";
  }
  return reply + "]";
}

// Opens the box's list with the keyboard, walks to the item with the arrow keys and
// takes it with Enter, as a user does.
void chooseInList(QComboBox* box, int index) {
  box->setFocus();
  QTest::keyClick(box, Qt::Key_F4);
  QAbstractItemView* view = box->view();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
  for (int guard = 0; guard < 100 && view->currentIndex().row() != index; ++guard) {
    QTest::keyClick(view, view->currentIndex().row() < index ? Qt::Key_Down : Qt::Key_Up);
  }
  ASSERT_EQ(view->currentIndex().row(), index);
  QTest::keyClick(view, Qt::Key_Return);
  ASSERT_FALSE(view->window()->isVisible());
}

class RegionPicker : public test::WindowFixture {
 protected:
  RegionPicker() { program.endpoints.regionHost = server.host(); }

  QComboBox* box(const char* name) { return find<QComboBox>(name); }
  std::vector<std::string> items(ControlName name) {
    std::vector<std::string> all;
    for (int i = 0; i < tk.comboCount(name); ++i) all.push_back(tk.comboItem(name, i));
    return all;
  }

  test::LoopbackServer server;
};

TEST_F(RegionPicker, ProvinceChoiceAppendsCitiesInReplyOrderAfterThoseThere) {
  server.route(kRegionPath,
               test::Reply(regionReply("10", {{"727", "哈尔滨"}, {"731", "齐齐哈尔"}, {"737", "牡丹江"}})));
  tk.addComboItem("组合框城市", g("北京-1"));  // left from an earlier choice

  QComboBox* province = box("组合框省份");
  ASSERT_EQ(province->itemText(10), QString::fromUtf8("黑龙江-10"));
  chooseInList(province, 10);

  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(server.requests()[0].target, std::string(kRegionTarget) + "10");
  EXPECT_EQ(items("组合框城市"), (std::vector<std::string>{g("选择城市"), g("北京-1"), g("哈尔滨-727"),
                                                           g("齐齐哈尔-731"), g("牡丹江-737")}));
  EXPECT_EQ(items("组合框地区"), std::vector<std::string>{g("选择地区")});

  // The same province again lists its cities once more; the box is never emptied.
  chooseInList(province, 10);
  EXPECT_EQ(tk.comboCount("组合框城市"), 8);
}

TEST_F(RegionPicker, CityChoiceFillsAreasAndTakesTheIdAfterTheLastHyphen) {
  server.route(kRegionPath, [](const test::ReceivedRequest& r) {
    if (r.target == std::string(kRegionTarget) + "5")
      return test::Reply(regionReply("5", {{"142", "石家庄"}, {"2001", "高新-开发区"}}));
    if (r.target == std::string(kRegionTarget) + "2001")
      return test::Reply(regionReply("2001", {{"42001", "长江大道"}, {"42002", "天山大街"}}));
    return test::Reply("no such place", 404);
  });

  chooseInList(box("组合框省份"), 5);  // 河北-5
  ASSERT_EQ(items("组合框城市"),
            (std::vector<std::string>{g("选择城市"), g("石家庄-142"), g("高新-开发区-2001")}));

  chooseInList(box("组合框城市"), 2);
  ASSERT_EQ(server.requestCount(), 2u);
  EXPECT_EQ(server.requests()[1].target, std::string(kRegionTarget) + "2001");
  EXPECT_EQ(items("组合框地区"),
            (std::vector<std::string>{g("选择地区"), g("长江大道-42001"), g("天山大街-42002")}));
}

TEST_F(RegionPicker, PlaceholdersFetchNothing) {
  chooseInList(box("组合框省份"), 0);
  chooseInList(box("组合框城市"), 0);
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_EQ(items("组合框城市"), std::vector<std::string>{g("选择城市")});
  EXPECT_EQ(items("组合框地区"), std::vector<std::string>{g("选择地区")});
}

TEST_F(RegionPicker, RepliesThatGiveNoPlacesAddNothing) {
  struct Case {
    const char* what;
    std::string body;
    std::vector<std::string> added;
  };
  const std::vector<Case> cases = {
      {"empty reply", "", {}},
      {"no markers", "<html>busy, try later</html>", {}},
      {"escape-free names", R"([{"id":"10","aname":"abc"}])", {"abc-10"}},
      // Pieces are paired up to the shorter list: the last name has no id of its own.
      {"name without id", R"([{"id":"727","aname":"a"},{"aname":"b"}])", {"a-727"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.route(kRegionPath, test::Reply(c.body));
    std::vector<std::string> expected = items("组合框城市");
    for (const std::string& item : c.added) expected.push_back(g(item));
    chooseInList(box("组合框省份"), 10);
    EXPECT_EQ(items("组合框城市"), expected);
  }
}

TEST_F(RegionPicker, UnreachableEndpointAddsNothing) {
  test::LoopbackServer gone;
  program.endpoints.regionHost = gone.host();
  gone.stop();

  chooseInList(box("组合框省份"), 10);
  EXPECT_EQ(items("组合框城市"), std::vector<std::string>{g("选择城市")});
}

TEST_F(RegionPicker, TypingIntoTheBoxDoesNotFill) {
  server.route(kRegionPath, test::Reply(regionReply("10", {{"727", "哈尔滨"}})));
  QComboBox* province = box("组合框省份");
  QTest::mouseClick(province->lineEdit(), Qt::LeftButton);
  test::typeText(province->lineEdit(), QString::fromUtf8("黑龙江-10"));
  QTest::keyClick(province->lineEdit(), Qt::Key_Tab);  // and leave the box

  EXPECT_EQ(tk.text("组合框省份"), g("黑龙江-10"));
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_EQ(items("组合框城市"), std::vector<std::string>{g("选择城市")});
}

}  // namespace
}  // namespace qm
