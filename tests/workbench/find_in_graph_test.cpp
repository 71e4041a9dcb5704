// Find in graph on the sample after a real Refresh: texts in labels, in the details only, in
// edge labels and outside ASCII, through the real input box, and the strip's shading.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <string>
#include <vector>

#include "graphview/graph_model.h"
#include "graphview/graph_renderer.h"
#include "gui/gui_script.h"
#include "platform/window_system.h"
#include "workbench/find_in_graph.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;
using guitest::Do;
using guitest::Script;

TEST(FindText, ComparesFoldedCodePoints) {
  const struct {
    const char* search;
    const char* text;
    bool escapes, found;
  } kCases[] = {
      {"EXPLORER.EXE (PID", "Explorer.EXE\\n(PID: 2412)", true, true},
      // The escape is a line break in a label, two characters in a detail value.
      {"exe\\n(pid", "Explorer.EXE\\n(PID: 2412)", true, false},
      {"exe\\n(pid", "Explorer.EXE\\n(PID: 2412)", false, true},
      {"exe (pid", "Explorer.EXE\\n(PID: 2412)", false, false},
      // Letters beyond ASCII fold both ways, in the search text and in the text searched.
      {"\xC3\xBC"
       "berweisung",
       "\xC3\x9C"
       "BERWEISUNG.pdf",
       false, true},
      {"\xC3\x9C"
       "BER",
       "\xC3\xBC"
       "ber",
       false, true},
      {"\xCE\xA3\xCE\x9F\xCE\xA6", "\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1", false, true},
      {"\xD0\x94", "\xD0\xB4\xD0\xBE\xD0\xBC", false, true},
      {"u",
       "\xC3\x9C"
       "ber",
       false, false},
      {"", "anything", true, false},
      {"x", "", true, false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(detail::OccursIn(detail::FoldForFind(c.search, false), c.text, c.escapes), c.found)
        << c.search << " in " << c.text;
  }
}

class FindTest : public WorkbenchTest {
 protected:
  // The sample with its shell renamed to a name in capitals beyond ASCII.
  void SetUp() override {
    WorkbenchTest::SetUp();
    std::string log = ReadWholeFile(LUMIVEX_SAMPLE_LOG);
    for (size_t at = log.find("cmd.exe"); at != std::string::npos; at = log.find("cmd.exe", at)) {
      log.replace(at, 7, kShell);
    }
    WriteWholeFile(m_root + "/shell.csv", log);
    StartQuietly();
    platform::SetGadgetText(String_Main_ProcmonFile, m_root + "/shell.csv");
    platform::PostEvent(platform::kEventGadget, Window_Main, Button_Main_Refresh);
    Settle();
    ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK") << State().generationLog;
    m_builds = State().renderer->GraphBuilds();
  }
  static QComboBox* Field() {
    int box = platform::FindWindowByTitle("LumiVEX");
    int field = box < 0 ? -1 : platform::FindGadgetByName(box, "field");
    return field < 0 ? nullptr : static_cast<QComboBox*>(platform::GadgetWidget(field));
  }
  // Ctrl+F, the text typed into the box and Return (or Escape to cancel); what the box
  // offered.
  std::vector<std::string> Find(const std::string& text, bool cancel = false) {
    std::vector<std::string> offered;
    Script script({[] { return Field() && Field()->isVisible(); }, Do([&] {
                     for (int i = 0; i < Field()->count(); ++i)
                       offered.push_back(Field()->itemText(i).toStdString());
                     // Typed, or pasted where the test keyboard has no key for it.
                     Field()->lineEdit()->insert(QString::fromStdString(text));
                     QTest::keyClick(Field()->lineEdit(), cancel ? Qt::Key_Escape : Qt::Key_Return);
                   })},
                  "LumiVEX");
    platform::SetActiveWindow(Window_Main);
    QApplication::processEvents();
    QTest::keyClick(platform::GadgetWidget(Button_Main_Refresh), Qt::Key_F, Qt::ControlModifier);
    QApplication::processEvents();
    Settle();
    EXPECT_TRUE(script.Finished());
    return offered;
  }
  // The highlights as "node name" and "tail -> head: label", in their order.
  static std::vector<std::string> Hits() {
    std::vector<std::string> hits;
    for (const graphview::HighlightEntry& h : State().graph.Highlights) {
      if (h.node) hits.emplace_back(h.node->name);
      if (h.edge) {
        hits.push_back(std::string(h.edge->tail) + " -> " + std::string(h.edge->head) + ": " +
                       std::string(h.edge->label));
      }
    }
    return hits;
  }
  // The strip's pixel in row 5 (between the second marks and the bars) at the middle of
  // visible frame i's column.
  static QRgb StripAt(int i) {
    const QImage* strip = platform::CanvasBuffer(Canvas_Main_AnimationFrames);
    const int64_t visible = graphview::CountVisibleFrames(State().graph);
    const int x = static_cast<int>((i + 0.5) * strip->width() / static_cast<double>(visible));
    return strip->pixel(x, 5);
  }

  static constexpr const char* kShell = "CMD\xC3\x84.exe";  // "CMDÄ.exe"
  int64_t m_builds = 0;
};

TEST_F(FindTest, FindsLabelsDetailsAndEdgeLabels) {
  const std::string kTid = "THREAD:3120-n3:3124-n1";
  const struct {
    const char* what;
    std::string text;
    std::vector<std::string> hits;
  } kCases[] = {
      {"a label, in capitals, across its line break", "EXPLORER.EXE (PID", {"PROCESS:2412-o1"}},
      // The shell's path is only in its details, twice (the folder and the full path).
      {"only in the details", "SysWOW64", {"PROCESS:3512-n4", "PROCESS:3512-n4"}},
      // The label matches first; the details of that node are then not searched.
      {"a label also in the details", "cmd\xC3\xA4.EXE", {"PROCESS:3512-n4"}},
      {"edge labels",
       "Kill",
       {kTid + " -> PROCESS:1880-o3: kill foreign process",
        kTid + " -> PROCESS:3120-n3: kill own process",
        "THREAD:3512-n4:3516-n4 -> PROCESS:3512-n4: kill own process"}},
      {"the name of a details key", "StoppedByTID", {}},
      {"nothing", "no such text", {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Find(c.text);
    EXPECT_EQ(Hits(), c.hits);
  }
  // Highlights are drawn over the kept picture of the graph.
  EXPECT_EQ(State().renderer->GraphBuilds(), m_builds);
}

TEST_F(FindTest, TheStripDarkensFramesWithoutHitsUntilFindIsReset) {
  // Frames 12, 14 and 15 are the kills; frame 5 is the autostart value.
  const QRgb plain5 = StripAt(5), plain12 = StripAt(12);
  Find("kill");
  ASSERT_EQ(Hits().size(), 3u);
  EXPECT_LT(qRed(StripAt(5)), qRed(plain5) - 50);
  EXPECT_EQ(StripAt(12), plain12);
  // Escape resets find: no highlights, the strip as before.
  platform::SetActiveWindow(Window_Main);
  QApplication::processEvents();
  platform::GadgetWidget(Button_Main_Refresh)->setFocus();
  QTest::keyClick(platform::GadgetWidget(Button_Main_Refresh), Qt::Key_Escape);
  QApplication::processEvents();
  Settle();
  EXPECT_TRUE(Hits().empty());
  EXPECT_EQ(StripAt(5), plain5);

  // A cancelled search also removes the highlights, and the box offers the earlier text.
  Find("kill");
  ASSERT_FALSE(Hits().empty());
  std::vector<std::string> offered = Find("kill", true);
  EXPECT_TRUE(Hits().empty());
  EXPECT_EQ(offered, std::vector<std::string>{"kill"});
  EXPECT_EQ(StripAt(5), plain5);
}

}  // namespace
