// The input box driven as a user drives it: typing, Return, Escape, the buttons, and the
// history file's bytes afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "gui/input_requester_with_history.h"
#include "gui/requester_geometry.h"
#include "gui_script.h"
#include "platform/window_system.h"
#include "scoped_env.h"

using namespace platform;
using namespace gui;
using guitest::Do;
using guitest::Script;

namespace {

constexpr const char* kTitle = "Ask";
constexpr int64_t kFlags = 351;

int Box() {
  return FindWindowByTitle(kTitle);
}
QComboBox* Field() {
  return static_cast<QComboBox*>(GadgetWidget(FindGadgetByName(Box(), "field")));
}
bool Opened() {
  return Box() >= 0 && Field() && Field()->hasFocus();
}
std::vector<std::string> Offered() {
  std::vector<std::string> items;
  for (int i = 0; i < Field()->count(); ++i) items.push_back(Field()->itemText(i).toStdString());
  return items;
}
void Type(const char* text) {
  Field()->lineEdit()->selectAll();
  QTest::keyClicks(Field()->lineEdit(), text);
}
void Press(Qt::Key key) {
  QTest::keyClick(Field()->lineEdit(), key);
}

class InputBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_home = std::filesystem::path(::testing::TempDir()) /
             ("inputbox-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_home);
    m_envHome.emplace("HOME", m_home.string());
    m_envAppData.emplace("APPDATA", m_home.string());
    m_file = m_home / "Tolvek" / "InputRequesterWithHistory";
  }
  void TearDown() override {
    ResetLayer();
    std::filesystem::remove_all(m_home);
  }
  std::string FileBytes() {
    std::ifstream in(m_file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void WriteFile(const std::string& bytes) {
    std::filesystem::create_directories(m_file.parent_path());
    std::ofstream(m_file, std::ios::binary) << bytes;
  }
  std::string Ask(std::vector<Script::Step> steps, const std::string& def = "",
                  const std::string& history = "", int64_t flags = kFlags,
                  const std::string& id = "find", int64_t max = kNoHistoryLimit) {
    Script script(std::move(steps), kTitle);
    std::string result =
        InputRequesterWithHistory(kTitle, "Text:", def, history, kNoParent, flags, id, max);
    EXPECT_TRUE(script.Finished());
    return result;
  }
  std::string Key(const std::string& id) { return detail::ProgramPath() + "-" + id + "\t"; }
  std::filesystem::path m_home, m_file;
  std::optional<lumivex_testing::ScopedEnv> m_envHome, m_envAppData;
};

TEST_F(InputBoxTest, ConfirmingWritesTheHistoryFile) {
  EXPECT_EQ(Ask({Opened, Do([] { Type("abc"); }), Do([] { Press(Qt::Key_Return); })}), "abc");
  EXPECT_EQ(FileBytes(), "\xEF\xBB\xBF" + Key("find") + "abc\r\n");
  // Newest first, without the older copy; the Ok button confirms as Return does.
  EXPECT_EQ(Ask({Opened, Do([] { Type("x y"); }), Do([] {
                   QTest::mouseClick(GadgetWidget(FindGadgetByName(Box(), "ok")), Qt::LeftButton);
                 })}),
            "x y");
  EXPECT_EQ(Ask({Opened, Do([] { Type("abc"); }), Do([] { Press(Qt::Key_Return); })}), "abc");
  EXPECT_EQ(FileBytes(), "\xEF\xBB\xBF" + Key("find") + "abc|x y\r\n");
}

TEST_F(InputBoxTest, StoredEntriesAreOfferedAndCut) {
  WriteFile("\xEF\xBB\xBF" + Key("ab") + "other\r\n" + Key("a") + "b|a|c\r\nforeign line\r\n");
  std::vector<std::string> offered;
  EXPECT_EQ(Ask({Opened, Do([&] { offered = Offered(); }), Do([] { Type("d"); }),
                 Do([] { Press(Qt::Key_Return); })},
                "a", "", kFlags, "a", 2),
            "d");
  EXPECT_EQ(offered, (std::vector<std::string>{"a", "b", "c"}));
  // Id "a" never touches the line of id "ab"; other lines stay as they were.
  EXPECT_EQ(FileBytes(),
            "\xEF\xBB\xBF" + Key("ab") + "other\r\n" + Key("a") + "d|b\r\nforeign line\r\n");
}

TEST_F(InputBoxTest, CancelAndEmptyTextsLeaveTheFileAlone) {
  WriteFile("\xEF\xBB\xBF" + Key("find") + "old\r\n");
  std::string before = FileBytes();
  EXPECT_EQ(Ask({Opened, Do([] { Type("typed"); }), Do([] { Press(Qt::Key_Escape); })}), "");
  EXPECT_EQ(Ask({Opened, Do([] { Type(""); }), Do([] { Press(Qt::Key_Return); })}), "");
  EXPECT_EQ(FileBytes(), before);
}

TEST_F(InputBoxTest, EscapeAndReturnObeyTheFlags) {
  // Without 8 and 16 the keys do nothing; the buttons still end the box.
  std::string result =
      Ask({Opened, Do([] { Type("kept"); }), Do([] { Press(Qt::Key_Escape); }),
           Do([] { Press(Qt::Key_Return); }),
           [] { return Box() >= 0 && Field()->currentText() == "kept"; }, Do([] {
             QTest::mouseClick(GadgetWidget(FindGadgetByName(Box(), "cancel")), Qt::LeftButton);
           })},
          "", "", 0);
  EXPECT_EQ(result, "");
}

TEST_F(InputBoxTest, CallerHistoryAndSorting) {
  std::vector<std::string> offered;
  auto look = [&](std::string history, int64_t flags) {
    Ask({Opened, Do([&] { offered = Offered(); }), Do([] { Press(Qt::Key_Escape); })}, "", history,
        flags);
    return offered;
  };
  EXPECT_EQ(look("x||y", kFlags), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(look("x|||y", kFlags), (std::vector<std::string>{"x"}));
  EXPECT_EQ(look("B|a|D", kFlags | IRH_Sorted), (std::vector<std::string>{"a", "B", "D"}));
}

}  // namespace
