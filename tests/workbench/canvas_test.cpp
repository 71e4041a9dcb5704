// The graph canvas driven with the mouse as the analyst drives it, on the bundled sample after
// a real Refresh: wheel, pan, rubber band, double clicks, hover, clicks, the context menu and
// the node details lists.
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "../gui/gui_script.h"
#include "../gui/real_message_box.h"
#include "graphview/dot_attributes.h"
#include "graphview/graph_drawing.h"
#include "graphview/graph_model.h"
#include "graphview/hit_testing.h"
#include "imageeditor/editor_state.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tolvek/hex_form.h"
#include "tolvek/preferences.h"
#include "tolvek/temp_files.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;
using graphview::GraphNode;

const std::string kSampleCapture = LUMIVEX_SOURCE_DIR "/resources/sample_capture.txt";

struct Point {
  double x, y;
};

// One pick list as it was shown: its message and rows (cells, locked or not).
struct ShownList {
  std::string message;
  std::vector<std::vector<std::string>> rows;
  std::vector<bool> locked;
};

class CanvasTest : public WorkbenchTest {
 protected:
  // Starts the workbench, types the inputs and presses Refresh as the analyst does.
  void RefreshOn(const std::string& log, const std::string& capture = kSampleCapture) {
    WriteSettings(QuietSettings());
    ASSERT_TRUE(Start());
    QApplication::processEvents();
    platform::FlushEvents();
    // A failure's message box is answered, never waited on.
    platform::ScriptMessageAnswer(platform::kResultOk);
    platform::SetGadgetText(String_Main_ProcmonFile, log);
    platform::SetGadgetText(String_Main_WindumpFile, capture);
    QTest::mouseClick(platform::GadgetWidget(Button_Main_Refresh), Qt::LeftButton);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (State().generationLog.empty() && std::chrono::steady_clock::now() < deadline) {
      MainLoopTurn();
    }
    ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK") << State().generationLog;
    auto drawn = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
    while (std::chrono::steady_clock::now() < drawn) MainLoopTurn();
    ASSERT_TRUE(View().scaledValid);
    // From here on time moves only when the test says so, and the canvas's timers follow it:
    // a gesture's timing is the test's, however slow the machine.
    m_now = 0;
    platform::SetClock([this] { return m_now; });
    platform::SetTimersOnClock(true);
  }
  // Lets ms milliseconds pass on the injected clock in steps of 5 ms, serving after each
  // step what is queued and due.
  void Turns(int ms) {
    for (int passed = 0; passed <= ms; passed += 5) {
      if (passed > 0) m_now += 5;
      Settle();
    }
  }
  int64_t m_now = 0;
  static graphview::ViewState& View() { return State().graph.view; }
  static QWidget* Canvas() { return platform::GadgetWidget(Canvas_Main_Graph); }
  // Canvas pixels are those of the drawing area inside the canvas's frame.
  static QPoint At(Point p) {
    const int frame = (Canvas()->width() - platform::CanvasBuffer(Canvas_Main_Graph)->width()) / 2;
    return QPoint(int(std::lround(p.x)) + frame, int(std::lround(p.y)) + frame);
  }
  static void Mouse(QEvent::Type type, Point p, Qt::MouseButton button, Qt::MouseButtons held,
                    Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QMouseEvent event(type, At(p), Canvas()->mapToGlobal(At(p)), button, held, keys);
    QApplication::sendEvent(Canvas(), &event);
  }
  static void Wheel(Point p, int notches, Qt::KeyboardModifiers keys) {
    QWheelEvent event(At(p), Canvas()->mapToGlobal(At(p)), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, keys, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Canvas(), &event);
  }
  static void Click(Point p, Qt::MouseButton button) {
    Mouse(QEvent::MouseButtonPress, p, button, button);
    Mouse(QEvent::MouseButtonRelease, p, button, Qt::NoButton);
  }
  // A double click as a hand makes it: the second press comes gapMs after the first release,
  // long after the single click's timer.
  void DoubleClick(Point p, Qt::MouseButton button, int gapMs = 150) {
    Click(p, button);
    Turns(gapMs);
    Mouse(QEvent::MouseButtonDblClick, p, button, button);
    Mouse(QEvent::MouseButtonRelease, p, button, Qt::NoButton);
  }
  static bool NoGesture() { return State().interaction.gesture.kind == CanvasGesture::Kind::kNone; }
  // The drag of a left button from one point to another, through a point between.
  static void Drag(Point from, Point to, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, keys);
    Point half{(from.x + to.x) / 2, (from.y + to.y) / 2};
    Mouse(QEvent::MouseMove, half, Qt::NoButton, Qt::LeftButton, keys);
    Mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, keys);
    Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, keys);
  }

  static GraphNode* Node(const std::string& name) {
    for (GraphNode& node : State().graph.layout.nodes) {
      if (node.name == name) return &node;
    }
    ADD_FAILURE() << "no node " << name;
    return nullptr;
  }
  static Point Centre(const GraphNode* node) {
    const auto& g = State().graph;
    return {View().scrollX + double(graphview::GraphXToPixel(g.view, g.layout, node->x)),
            View().scrollY + double(graphview::GraphYToPixel(g.view, g.layout, node->y))};
  }
  // Where the picture point at these fractions of the picture is on the canvas now.
  static Point OnCanvas(double fx, double fy) {
    return {View().scrollX + fx * double(View().scaledWidth),
            View().scrollY + fy * double(View().scaledHeight)};
  }
  static Point Fractions(Point p) {
    return {(p.x - View().scrollX) / double(View().scaledWidth),
            (p.y - View().scrollY) / double(View().scaledHeight)};
  }
  // A canvas point on no node.
  static Point Empty() {
    for (int y = 5; y < 400; y += 7) {
      for (int x = 5; x < 400; x += 7) {
        if (!graphview::FindNodeAt(State().graph, x, y)) return {double(x), double(y)};
      }
    }
    ADD_FAILURE() << "no empty point";
    return {0, 0};
  }
  static int64_t Builds() { return State().renderer->GraphBuilds(); }
  static std::vector<std::string> HighlightedNames() {
    std::vector<std::string> names;
    for (const auto& entry : State().graph.Highlights) {
      names.emplace_back(entry.node ? std::string(entry.node->name) : "edge");
    }
    return names;
  }

  // The rows of the pick list with this title, once it is open.
  static bool ReadList(const std::string& title, ShownList& list) {
    int window = platform::FindWindowByTitle(title);
    if (window < 0) return false;
    int lst = platform::FindGadgetByName(window, "lst");
    int msg = platform::FindGadgetByName(window, "msg");
    list.message = msg >= 0 ? platform::GetGadgetText(msg) : "";
    for (int row = 0; row < platform::CountGadgetItems(lst); ++row) {
      std::vector<std::string> cells;
      for (int c = 0; c < platform::CountGadgetColumns(lst); ++c) {
        cells.push_back(platform::GetGadgetItemText(lst, row, c));
      }
      list.rows.push_back(cells);
      list.locked.push_back(platform::GetGadgetItemData(lst, row) == 1);
    }
    return true;
  }
  static void ChooseRow(const std::string& title, int row) {
    int lst = platform::FindGadgetByName(platform::FindWindowByTitle(title), "lst");
    auto* tree = static_cast<QTreeWidget*>(platform::GadgetWidget(lst));
    QRect rect = tree->visualItemRect(tree->topLevelItem(row));
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
  }
  // A middle click on the node opens its details; their list, read and closed again.
  ShownList DetailsShownFor(const GraphNode* node) {
    ShownList list;
    guitest::Script script({[&] { return ReadList("Details for ...", list); },
                            guitest::Do([] { Close("Details for ..."); })},
                           "Details for ...");
    Mouse(QEvent::MouseButtonPress, Centre(node), Qt::MiddleButton, Qt::MiddleButton);
    Mouse(QEvent::MouseButtonRelease, Centre(node), Qt::MiddleButton, Qt::NoButton);
    Turns(100);
    EXPECT_TRUE(script.Finished());
    return list;
  }
  // The sample with one more write of its own process, to this path, so that the file is
  // part of the graph; the log's path.
  std::string LogWritingTo(const std::string& path) const {
    std::string quoted;
    for (char c : path) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    std::string sample = ReadWholeFile(LUMIVEX_SAMPLE_LOG);
    const size_t after = sample.find("\r\n", sample.find("System32\\ntdll.dll")) + 2;
    sample.insert(after, "\"9:41:03.4490000 AM\",\"invoice_0419.exe\",\"3120\",\"WriteFile\",\"" +
                             quoted + "\",\"SUCCESS\",\"Offset: 0, Length: 4\",\"3124\"\r\n");
    const std::string log = m_root + "/written.csv";
    WriteWholeFile(log, sample);
    return log;
  }
  // The last node whose name holds this text; null when none does.
  static GraphNode* NodeNamed(const std::string& part) {
    GraphNode* found = nullptr;
    for (GraphNode& node : State().graph.layout.nodes) {
      if (node.name.find(part) != std::string_view::npos) found = &node;
    }
    return found;
  }
  static void Close(const std::string& title) {
    platform::PostEvent(platform::kEventCloseWindow, platform::FindWindowByTitle(title), -1);
  }
  // The node's keys and values in the details file, in the converter's order.
  static std::vector<std::pair<std::string, std::string>> DetailsOf(const std::string& name) {
    std::vector<std::pair<std::string, std::string>> keys;
    const std::string path = tolvek::GetTempFilePath(State().files.graphFileDot) + ".lumivex";
    EXPECT_TRUE(tolvek::OpenPreferences(path));
    EXPECT_TRUE(tolvek::PreferenceGroupHexified(name));
    tolvek::ExaminePreferenceKeys();
    while (tolvek::NextPreferenceKey()) {
      keys.emplace_back(tolvek::PreferenceKeyName(), tolvek::PreferenceKeyValue());
    }
    tolvek::ClosePreferences();
    return keys;
  }
};

TEST_F(CanvasTest, TheWheelScrollsAndZoomsAboutThePointer) {
  RefreshOn(LUMIVEX_SAMPLE_LOG);
  const double fit = View().fitZoom;
  const Point pointer{310, 220};

  const double scrollY = View().scrollY;
  Wheel(pointer, 3, Qt::NoModifier);
  Turns(60);
  EXPECT_EQ(View().scrollY, scrollY + 150);
  EXPECT_EQ(View().lastScrollY, View().scrollY);  // redrawn

  // A burst of notches with Ctrl is one zoom of three steps and one drawing of the graph.
  const Point under = Fractions(pointer);
  const int64_t builds = Builds();
  for (int i = 0; i < 3; ++i) Wheel(pointer, 1, Qt::ControlModifier);
  Turns(250);
  EXPECT_EQ(Builds(), builds + 1);
  double expected = fit;  // each notch is rounded to a tenth
  for (int i = 0; i < 3; ++i) expected = std::round((expected + View().zoomStep) * 10) / 10;
  EXPECT_DOUBLE_EQ(View().zoom, expected);
  EXPECT_GT(View().zoom, fit);
  Point now = OnCanvas(under.x, under.y);
  EXPECT_NEAR(now.x, pointer.x, 1.0);
  EXPECT_NEAR(now.y, pointer.y, 1.0);

  // Alt or Shift zoom as well; zooming out stops at the fit.
  Wheel(pointer, -50, Qt::ShiftModifier);
  Turns(250);
  EXPECT_EQ(View().zoom, fit);
}

TEST_F(CanvasTest, ADragPansAndRaisesNoClick) {
  RefreshOn(LUMIVEX_SAMPLE_LOG);
  GraphNode* file = Node("FILE:c:\\\\users\\\\bob\\\\downloads\\\\invoice_0419.exe");
  State().graph.Highlights = {{file, nullptr}};
  const double x = View().scrollX, y = View().scrollY;
  const int64_t builds = Builds();
  Drag(Empty(), {Empty().x + 60, Empty().y + 30});
  Turns(150);
  EXPECT_EQ(View().scrollX, x + 60);
  EXPECT_EQ(View().scrollY, y + 30);
  EXPECT_EQ(View().lastScrollX, View().scrollX);
  EXPECT_LE(Builds(), builds + 2);
  EXPECT_EQ(HighlightedNames().size(), 1u);  // a click on empty space would have cleared it
  EXPECT_TRUE(NoGesture());
}

TEST_F(CanvasTest, ARubberBandZoomsIntoItsBoxAndLeavesNoTrace) {
  RefreshOn(LUMIVEX_SAMPLE_LOG);
  const double zoom = View().zoom;
  // The picture inside the canvas's frame.
  const int width = platform::CanvasWidth(Canvas_Main_Graph);
  const int height = platform::CanvasHeight(Canvas_Main_Graph);
  // Drawn from bottom right to top left, with Shift held only at the start.
  const Point from{300, 260}, to{200, 200};
  const Point centre = Fractions({250, 230});
  int before = platform::GrabCanvasImage(Canvas_Main_Graph, platform::kNewNumber);
  Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
  Mouse(QEvent::MouseMove, {260, 240}, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
  Mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  Turns(20);
  // The band's outline is the inverse of what lies under it; inside, nothing changed.
  int during = platform::GrabCanvasImage(Canvas_Main_Graph, platform::kNewNumber);
  for (QPoint p : {QPoint(200, 230), QPoint(300, 230), QPoint(250, 200), QPoint(250, 260)}) {
    EXPECT_EQ(platform::ImagePixel(during, p.x(), p.y()) & 0xFFFFFF,
              ~platform::ImagePixel(before, p.x(), p.y()) & 0xFFFFFF)
        << p.x() << "," << p.y();
  }
  EXPECT_EQ(platform::ImagePixel(during, 250, 230), platform::ImagePixel(before, 250, 230));
  EXPECT_EQ(platform::ImagePixel(during, 240, 190), platform::ImagePixel(before, 240, 190));
  const int64_t builds = Builds();
  Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  Turns(250);
  EXPECT_TRUE(NoGesture());
  EXPECT_EQ(Builds(), builds + 1);
  // 100 x 60 pixels: the larger side relative to the canvas fills it.
  const double expected = width / 100 < height / 60 ? zoom * width / 100.0 : zoom * height / 60.0;
  EXPECT_DOUBLE_EQ(View().zoom, expected);
  Point now = OnCanvas(centre.x, centre.y);
  EXPECT_NEAR(now.x, width / 2.0, 1.0);
  EXPECT_NEAR(now.y, height / 2.0, 1.0);
  platform::FreeImage(before);
  platform::FreeImage(during);

  // A band without height changes nothing but the saved zoom.
  const double zoomed = View().zoom;
  State().interaction.savedZoom = 3;
  Drag({100, 100}, {180, 100}, Qt::ControlModifier);
  Turns(250);
  EXPECT_EQ(View().zoom, zoomed);
  EXPECT_EQ(State().interaction.savedZoom, 0);
}

TEST_F(CanvasTest, DoubleClicksJumpToTheMaximumZoomAndBackToTheFit) {
  RefreshOn(LUMIVEX_SAMPLE_LOG);
  GraphNode* process = Node("PROCESS:3120-n3");
  State().graph.Highlights = {{process, nullptr}};
  const double fit = View().fitZoom;
  const double fitAnchorX = View().anchorImageX, fitAnchorY = View().anchorImageY;
  const Point pointer = Empty();
  const Point under = Fractions(pointer);

  DoubleClick(pointer, Qt::LeftButton);
  Turns(300);
  EXPECT_EQ(View().zoom, std::min(View().maxZoom, graphview::ZoomCap(View().layoutImage)));
  EXPECT_GT(View().zoom, fit);
  Point now = OnCanvas(under.x, under.y);
  EXPECT_NEAR(now.x, pointer.x, 1.0);
  EXPECT_NEAR(now.y, pointer.y, 1.0);
  EXPECT_EQ(HighlightedNames().size(), 1u);  // no single click on empty space

  DoubleClick({400, 300}, Qt::LeftButton);
  Turns(300);
  EXPECT_EQ(View().zoom, fit);
  // A fresh fit, centred as the first one.
  EXPECT_EQ(View().anchorImageX, fitAnchorX);
  EXPECT_EQ(View().anchorImageY, fitAnchorY);
  EXPECT_EQ(State().interaction.savedZoom, 0);

  // A right double click fits as well and opens no context menu.
  DoubleClick(pointer, Qt::LeftButton);
  Turns(300);
  ASSERT_GT(View().zoom, fit);
  DoubleClick(pointer, Qt::RightButton);
  Turns(450);
  EXPECT_EQ(View().zoom, fit);
  EXPECT_EQ(platform::LastShownPopupMenu(), -1);
  // The right click after it opens its menu again.
  Click(Centre(process), Qt::RightButton);
  Turns(300);
  EXPECT_GE(platform::LastShownPopupMenu(), 0);
  EXPECT_EQ(State().graph.CurrentNode, process);
}

// Neither click of a double click is a single click, however fast or slow the hand: the
// highlights stay as they were before its first click, and the next click counts.
TEST_F(CanvasTest, ADoubleClickLeavesTheHighlightsAsTheyWere) {
  RefreshOn(LUMIVEX_SAMPLE_LOG);
  GraphNode* process = Node("PROCESS:3120-n3");
  GraphNode* server = Node("SERVER:203.0.113.50");
  const std::vector<std::string> before = {std::string(process->name)};
  for (int gap : {0, 30, 60, 150, 400}) {
    for (bool onNode : {true, false}) {
      SCOPED_TRACE(std::to_string(gap) + " ms between the clicks, " +
                   (onNode ? "on a node" : "on empty space"));
      State().graph.Highlights = {{process, nullptr}};
      const int64_t builds = Builds();
      const Point at = onNode ? Centre(server) : Empty();
      DoubleClick(at, Qt::LeftButton, gap);
      Turns(300);
      EXPECT_EQ(HighlightedNames(), before);
      EXPECT_GT(View().zoom, View().fitZoom);
      EXPECT_LE(Builds(), builds + 1);               // the zoom's one drawing of the graph
      DoubleClick({400, 300}, Qt::LeftButton, gap);  // back to the fit
      Turns(300);
      EXPECT_EQ(HighlightedNames(), before);
      ASSERT_EQ(View().zoom, View().fitZoom);
    }
  }
  // A single click afterwards is one.
  Click(Centre(server), Qt::LeftButton);
  Turns(100);
  EXPECT_EQ(HighlightedNames(), std::vector<std::string>{std::string(server->name)});
}

TEST_F(CanvasTest, HoverMarksTheNodeAndAClickHighlightsItsName) {
  RefreshOn(LUMIVEX_SAMPLE_LOG);
  GraphNode* server = Node("SERVER:203.0.113.50");
  const Point centre = Centre(server);
  int before = platform::GrabCanvasImage(Canvas_Main_Graph, platform::kNewNumber);
  const int64_t builds = Builds();
  Mouse(QEvent::MouseMove, centre, Qt::NoButton, Qt::NoButton);
  Turns(30);
  EXPECT_EQ(View().hoveredNode, server);
  // The magnifier draws the node larger than its box: pixels around it change, and the graph
  // itself is not drawn again.
  int after = platform::GrabCanvasImage(Canvas_Main_Graph, platform::kNewNumber);
  const auto& g = State().graph;
  const int64_t w = graphview::GraphWidthToPixels(g.view, g.layout, server->width);
  int changed = 0;
  for (int dx = -int(w); dx <= int(w); ++dx) {
    int x = int(centre.x) + dx, y = int(centre.y);
    changed += platform::ImagePixel(before, x, y) != platform::ImagePixel(after, x, y);
  }
  EXPECT_GT(changed, 0);
  EXPECT_EQ(Builds(), builds);
  Mouse(QEvent::MouseMove, Empty(), Qt::NoButton, Qt::NoButton);
  Turns(30);
  EXPECT_EQ(View().hoveredNode, nullptr);
  platform::FreeImage(before);
  platform::FreeImage(after);

  // A single click highlights the node's name, 50 ms later; one on empty space clears.
  Click(centre, Qt::LeftButton);
  Turns(120);
  EXPECT_EQ(HighlightedNames(), std::vector<std::string>{"SERVER:203.0.113.50"});
  Click(Empty(), Qt::LeftButton);
  Turns(120);
  EXPECT_TRUE(HighlightedNames().empty());
}

TEST_F(CanvasTest, TheContextMenuOffersTheFiltersOfTheNodesKind) {
  RefreshOn(LUMIVEX_SAMPLE_LOG);
  const struct {
    const char* node;
    std::vector<std::string> items;
  } cases[] = {
      {"FILE:c:\\\\users\\\\bob\\\\downloads\\\\invoice_0419.exe",
       {"1000:Add filter for file ...", "1003:Details ..."}},
      {"REGISTRYKEY:hkcu\\\\software\\\\microsoft\\\\windows\\\\currentversion\\\\run\\\\"
       "winupdatehelper",
       {"1000:Add filter registrykey ...", "1003:Details ..."}},
      {"SERVER:203.0.113.50",
       {"1001:Add filter for domain ...", "1002:Add filter for IP address ...",
        "1003:Details ..."}},
      {"SERVER:192.168.56.1", {"1002:Add filter for IP address ...", "1003:Details ..."}},
      {"PROCESS:3120-n3", {"1003:Details ..."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.node);
    GraphNode* node = Node(c.node);
    Click(Centre(node), Qt::RightButton);
    Turns(350);
    int menu = platform::LastShownPopupMenu();
    ASSERT_GE(menu, 0);
    EXPECT_EQ(platform::MenuItemTexts(menu), c.items);
    EXPECT_EQ(State().graph.CurrentNode, node);
    EXPECT_EQ(State().interaction.contextNodeName, std::string(node->name));
    EXPECT_EQ(State().interaction.contextNodeLabel, std::string(node->label));
  }
  // The domain item hands the server's domain to the add-filter dialog.
  Click(Centre(Node("SERVER:203.0.113.50")), Qt::RightButton);
  Turns(350);
  ASSERT_TRUE(platform::TriggerMenuItem(platform::LastShownPopupMenu(), 1001));
  Turns(50);
  EXPECT_EQ(platform::GetGadgetText(String_AddFilter_Filter), "update-check.example.net");
  platform::PostEvent(platform::kEventGadget, Window_AddFilter, Button_AddFilter_Cancel);
  Turns(50);

  // Empty space without context-menu plugins: no menu, and no current node.
  const int last = platform::LastShownPopupMenu();
  Click(Empty(), Qt::RightButton);
  Turns(350);
  EXPECT_EQ(platform::LastShownPopupMenu(), last);
  EXPECT_EQ(State().graph.CurrentNode, nullptr);
}

// The menu's Details item and a middle click show the details in the converter's order; the
// Threads row opens the process's threads, relevant ones first, and highlights them.
TEST_F(CanvasTest, DetailsListTheNodesKeysAndAProcesssThreads) {
  RefreshOn(LUMIVEX_SAMPLE_LOG);
  GraphNode* file = Node("FILE:c:\\\\users\\\\bob\\\\downloads\\\\invoice_0419.exe");
  ShownList fileList;
  {
    guitest::Script script({[&] { return ReadList("Details for ...", fileList); },
                            guitest::Do([] { Close("Details for ..."); })},
                           "Details for ...");
    Click(Centre(file), Qt::RightButton);
    Turns(350);
    ASSERT_TRUE(platform::TriggerMenuItem(platform::LastShownPopupMenu(), MenuItem_NodeDetails));
    Turns(100);
    EXPECT_TRUE(script.Finished());
  }
  // The id's doubled backslashes are single in the message; every row is locked.
  EXPECT_EQ(fileList.message, "FILE:c:\\users\\bob\\downloads\\invoice_0419.exe");
  const auto fileKeys = DetailsOf(std::string(file->name));
  ASSERT_EQ(fileList.rows.size(), fileKeys.size());
  for (size_t i = 0; i < fileKeys.size(); ++i) {
    EXPECT_EQ(fileList.rows[i][0], fileKeys[i].first);
    EXPECT_TRUE(fileList.locked[i]) << fileKeys[i].first;
  }
  EXPECT_EQ(HighlightedNames(), std::vector<std::string>{std::string(file->name)});

  // A process: times shown relative to the first event, "Threads" the one row to choose.
  GraphNode* process = Node("PROCESS:2412-o1");
  ShownList details, threads;
  std::vector<std::string> highlightedDuringThreads;
  {
    guitest::Script script({[&] { return ReadList("Details for ...", details); }, guitest::Do([&] {
                              ChooseRow("Details for ...", int(details.rows.size()) - 1);
                            }),
                            [&] { return ReadList("Threads of ...", threads); }, guitest::Do([&] {
                              highlightedDuringThreads = HighlightedNames();
                              Close("Threads of ...");
                            })},
                           "Details for ...");
    Mouse(QEvent::MouseButtonPress, Centre(process), Qt::MiddleButton, Qt::MiddleButton);
    Mouse(QEvent::MouseButtonRelease, Centre(process), Qt::MiddleButton, Qt::NoButton);
    Turns(100);
    EXPECT_TRUE(script.Finished());
  }
  const auto keys = DetailsOf("PROCESS:2412-o1");
  ASSERT_EQ(details.rows.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(details.rows[i][0], keys[i].first);
    EXPECT_EQ(details.rows[i][1], keys[i].second);  // no times recorded for this process
    EXPECT_EQ(details.locked[i], keys[i].first != "Threads") << keys[i].first;
  }
  EXPECT_EQ(details.rows.back()[1], "2 (1 relevant)");
  const std::string dashes(64, '-');
  ASSERT_GE(threads.rows.size(), 3u);
  EXPECT_EQ(threads.rows[0], (std::vector<std::string>{"5012-n3", "", ""}));
  EXPECT_EQ(threads.rows[1], (std::vector<std::string>{"", "ID", "THREAD:2412-o1:5012-n3"}));
  // The relevant thread's start, relative to the sample's first event.
  auto start = std::find_if(threads.rows.begin(), threads.rows.end(),
                            [](const auto& row) { return row[1] == "StartTime"; });
  ASSERT_NE(start, threads.rows.end());
  EXPECT_EQ((*start)[2].substr(0, 6), "00:00:") << (*start)[2];
  auto separator = std::find(threads.rows.begin(), threads.rows.end(),
                             std::vector<std::string>{dashes, dashes, dashes});
  ASSERT_NE(separator, threads.rows.end());
  EXPECT_EQ(*(separator + 1), (std::vector<std::string>{"2416-o1", "", ""}));
  EXPECT_EQ(std::count(threads.locked.begin(), threads.locked.end(), false), 0);
  // The process, then those of its threads the graph shows.
  std::vector<std::string> expected = {"PROCESS:2412-o1"};
  for (const GraphNode& node : State().graph.layout.nodes) {
    if (node.name.substr(0, 15) == "THREAD:2412-o1:") expected.emplace_back(node.name);
  }
  ASSERT_GE(expected.size(), 2u);
  EXPECT_EQ(highlightedDuringThreads, expected);
  // Without back_to_search_after_details the process and its threads stay highlighted.
  EXPECT_EQ(HighlightedNames(), expected);
  EXPECT_EQ(State().graph.CurrentNode, process);
}

// Paths are the log's: quotes, bars, backslashes and markup in one are shown as they are.
TEST_F(CanvasTest, HostileDetailsShowLiterally) {
  const std::string path = R"(C:\evil\x|y\\z\|w\{{color:red}}"q".txt)";
  RefreshOn(LogWritingTo(path));
  GraphNode* file = NodeNamed("evil");
  ASSERT_NE(file, nullptr) << State().generationLog;
  ShownList list = DetailsShownFor(file);
  const auto keys = DetailsOf(std::string(file->name));
  ASSERT_EQ(list.rows.size(), keys.size());
  bool fullPathSeen = false;
  for (size_t i = 0; i < keys.size(); ++i) {
    const bool time =
        keys[i].first.size() > 4 && keys[i].first.substr(keys[i].first.size() - 4) == "Time";
    const std::string shown =
        time ? graphview::FormatTimestamp(State().graph, keys[i].second, false) : keys[i].second;
    EXPECT_EQ(list.rows[i], (std::vector<std::string>{keys[i].first, shown}));
    EXPECT_TRUE(list.locked[i]);
    fullPathSeen = fullPathSeen || keys[i].second == path;
  }
  EXPECT_TRUE(fullPathSeen);

  // A thread whose part, key and value open with braces, in silver rows without cell styles.
  const std::string details = tolvek::GetTempFilePath(State().files.graphFileDot) + ".lumivex";
  ASSERT_TRUE(tolvek::OpenPreferences(details));
  tolvek::PreferenceGroupHexified("THREAD:3120-n3:{t}|");
  tolvek::WritePreferenceString("{k}", "{{color:red}}v|w\\");
  tolvek::WritePreferenceString("Relevant", "No");
  ASSERT_TRUE(tolvek::ClosePreferences());
  ShownList threads;
  {
    guitest::Script script({[&] { return ReadList("Details for ...", list); }, guitest::Do([&] {
                              ChooseRow("Details for ...", int(list.rows.size()) - 1);
                            }),
                            [&] { return ReadList("Threads of ...", threads); },
                            guitest::Do([] { Close("Threads of ..."); })},
                           "Details for ...");
    list = {};
    GraphNode* process = Node("PROCESS:3120-n3");
    Mouse(QEvent::MouseButtonPress, Centre(process), Qt::MiddleButton, Qt::MiddleButton);
    Mouse(QEvent::MouseButtonRelease, Centre(process), Qt::MiddleButton, Qt::NoButton);
    Turns(100);
    EXPECT_TRUE(script.Finished());
  }
  const std::vector<std::vector<std::string>> last(threads.rows.end() - 3, threads.rows.end());
  EXPECT_EQ(last, (std::vector<std::vector<std::string>>{
                      {"{t}|", "", ""},
                      {"", "{k}", "{{color:red}}v|w\\"},
                      {"", "Relevant", "No"},
                  }));
}

// Names that lie about themselves, through a real Refresh: the details list and the frame
// messages show the log's text with its hidden and reordering characters written out, and a
// backslash before an "n" in a registry key is no line break (no autostart, nothing cut).
TEST_F(CanvasTest, HiddenCharactersShowAndKeysKeepTheirBackslashes) {
  const std::string rlo = "C:\\evil\\invoice\u202Eexe.txt";
  const std::string controls = std::string("C:\\evil\\e\x1B[2Js\x07") + "q\x7F.txt";
  const std::string key = "HKCU\\Software\\nvidia\\new\\val";
  std::string sample = ReadWholeFile(LUMIVEX_SAMPLE_LOG);
  const size_t after = sample.find("\r\n", sample.find("System32\\ntdll.dll")) + 2;
  std::string rows;
  for (const auto& [operation, path] :
       {std::pair{"WriteFile", rlo}, std::pair{"WriteFile", controls},
        std::pair{"RegSetValue", key}}) {
    rows += "\"9:41:03.4490000 AM\",\"invoice_0419.exe\",\"3120\",\"" + std::string(operation) +
            "\",\"" + path + "\",\"SUCCESS\",\"Offset: 0, Length: 4\",\"3124\"\r\n";
  }
  sample.insert(after, rows);
  const std::string log = m_root + "/hidden.csv";
  WriteWholeFile(log, sample);
  RefreshOn(log);

  std::vector<std::string> messages;
  for (const graphview::TimelineFrame& frame : State().graph.Frames) {
    messages.push_back(frame.message);
  }
  const auto said = [&](const std::string& part) {
    return std::count_if(messages.begin(), messages.end(), [&](const std::string& message) {
      return message.find(part) != std::string::npos;
    });
  };
  EXPECT_EQ(said(" writes data to file \"C:\\evil\\invoice_0x202E_exe.txt\""), 1);
  EXPECT_EQ(said(" writes data to file \"C:\\evil\\e_0x1B_[2Js_0x07_q_0x7F_.txt\""), 1);
  EXPECT_EQ(said(" sets registry key \"" + key + "\""), 1);
  EXPECT_EQ(said("autostart registry key \"HKCU\\Software\\\""), 0);
  EXPECT_EQ(said("\u202E") + said("\x1B") + said("\x07") + said("\x7F"), 0);

  GraphNode* file = nullptr;
  for (GraphNode& node : State().graph.layout.nodes) {
    if (node.name.find("invoice\u202E") != std::string_view::npos) file = &node;
  }
  ASSERT_NE(file, nullptr) << State().generationLog;
  ShownList list = DetailsShownFor(file);
  EXPECT_EQ(list.message, "FILE:c:\\evil\\invoice_0x202E_exe.txt");
  bool pathSeen = false;
  for (const auto& row : list.rows) {
    for (const std::string& cell : row) EXPECT_EQ(cell.find("\u202E"), std::string::npos) << cell;
    pathSeen = pathSeen || row.back() == "C:\\evil\\invoice_0x202E_exe.txt";
  }
  EXPECT_TRUE(pathSeen);
}

// A path that looks like markup, through a real Refresh: the details header, the cell expanded
// from the details, the frame message and Find show and match its characters as they are,
// and nothing in them becomes a heading, a picture or a link.
TEST_F(CanvasTest, MarkupInANameShowsAsItIs) {
  const std::string path =
      "C:\\evil\\<a href=file:///tmp/x.desktop><b>b</b><h1>SAFE - nothing found</h1>"
      "<img src=x.png>svchost.exe</a>";
  RefreshOn(LogWritingTo(path));
  GraphNode* file = NodeNamed("<h1>");
  ASSERT_NE(file, nullptr) << State().generationLog;
  platform::ClearScriptedAnswers();

  // The details: the header, then the full path's cell expanded into its message box, which
  // is shown for real to be read.
  platform::SetUnscriptedDialogHandler(nullptr);
  Qt::TextFormat headerFormat = Qt::AutoText;
  std::string header;
  guitest::RealMessageBox box;
  {
    guitest::Script script(
        {[&] {
           int window = platform::FindWindowByTitle("Details for ...");
           if (window < 0) return false;
           auto* label = qobject_cast<QLabel*>(
               platform::GadgetWidget(platform::FindGadgetByName(window, "msg")));
           if (!label) return false;
           headerFormat = label->textFormat();
           header = label->text().toStdString();
           auto* tree = static_cast<QTreeWidget*>(
               platform::GadgetWidget(platform::FindGadgetByName(window, "lst")));
           for (int row = 0; row < tree->topLevelItemCount(); ++row) {
             if (tree->topLevelItem(row)->text(1).toStdString() != path) continue;
             const QRect cell = tree->visualItemRect(tree->topLevelItem(row));
             QTest::mouseClick(
                 tree->viewport(), Qt::RightButton, {},
                 QPoint(tree->header()->sectionViewportPosition(1) + 5, cell.center().y()));
             return true;
           }
           ADD_FAILURE() << "no row holds the path";
           return true;
         },
         [] {
           int menu = platform::LastShownPopupMenu();
           return menu >= 0 && platform::TriggerMenuItem(menu, 10);
         },
         [&] { return box.Seen().seen; }, guitest::Do([] { Close("Details for ..."); })},
        "Details for ...");
    Mouse(QEvent::MouseButtonPress, Centre(file), Qt::MiddleButton, Qt::MiddleButton);
    Mouse(QEvent::MouseButtonRelease, Centre(file), Qt::MiddleButton, Qt::NoButton);
    Turns(100);
    EXPECT_TRUE(script.Finished());
  }
  platform::SetUnscriptedDialogHandler([](const std::string& title, const std::string& text) {
    ADD_FAILURE() << "unexpected dialog \"" << title << "\": " << text;
  });
  EXPECT_EQ(headerFormat, Qt::PlainText);
  EXPECT_EQ(header, graphview::ShownLabel(std::string(file->name)));
  EXPECT_NE(header.find("<h1>safe - nothing found</h1><img src=x.png>"), std::string::npos)
      << header;
  const guitest::SeenMessageBox& expanded = box.Seen();
  ASSERT_TRUE(expanded.seen);
  EXPECT_EQ(expanded.format, Qt::PlainText);
  EXPECT_FALSE(expanded.opensLinks);
  EXPECT_EQ(expanded.text, path);

  // The frame of the write, in the frame message field.
  std::string shownFrame;
  for (int64_t frame = 0; frame < graphview::CountVisibleFrames(State().graph); ++frame) {
    View().currentFrame = frame;
    RedrawGraph(false);
    const std::string message = platform::GetGadgetText(String_Main_FrameMessage);
    if (message.find("<h1>") != std::string::npos) shownFrame = message;
  }
  EXPECT_NE(shownFrame.find(" writes data to file \"" + path + "\""), std::string::npos)
      << shownFrame;

  // Find, typed with the markup: the node holding those very characters.
  guitest::Script find({[] {
                         int window = platform::FindWindowByTitle("LumiVEX");
                         int field = window < 0 ? -1 : platform::FindGadgetByName(window, "field");
                         auto* combo = qobject_cast<QComboBox*>(platform::GadgetWidget(field));
                         if (!combo || !combo->isVisible()) return false;
                         combo->lineEdit()->insert("<H1>SAFE - nothing found</H1><img");
                         QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
                         return true;
                       }},
                       "LumiVEX");
  platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_Find);
  Turns(50);
  EXPECT_TRUE(find.Finished());
  EXPECT_EQ(HighlightedNames(), std::vector<std::string>{std::string(file->name)});
}

}  // namespace

// Without its details file (a later generation failed) a node is named in a message; with
// back_to_search_after_details the highlights from before come back.
TEST_F(CanvasTest, WithoutTheDetailsFileAMessageNamesTheNode) {
  RefreshOn(LUMIVEX_SAMPLE_LOG);
  const std::string details = tolvek::GetTempFilePath(State().files.graphFileDot) + ".lumivex";
  ASSERT_EQ(unlink(details.c_str()), 0);
  State().options.backToSearchAfterDetails = 1;
  State().graph.Highlights = {{Node("PROCESS:3120-n3"), nullptr}};
  GraphNode* server = Node("SERVER:203.0.113.50");
  platform::ScriptMessageAnswer(platform::kResultOk);
  Mouse(QEvent::MouseButtonPress, Centre(server), Qt::MiddleButton, Qt::MiddleButton);
  Mouse(QEvent::MouseButtonRelease, Centre(server), Qt::MiddleButton, Qt::NoButton);
  Turns(100);
  ASSERT_FALSE(platform::ShownMessages().empty());
  EXPECT_EQ(platform::ShownMessages().back().title, "Node-Details");
  EXPECT_EQ(platform::ShownMessages().back().text,
            "name: SERVER:203.0.113.50\nlabel: [1]\\nupdate-check.example.net\\n203.0.113.50");
  EXPECT_EQ(HighlightedNames(), std::vector<std::string>{"PROCESS:3120-n3"});
  EXPECT_EQ(State().graph.CurrentNode, server);
}

// Menu item 4 saves what the canvas shows as the PNG the image editor opens; without a graph
// it does nothing.
TEST_F(CanvasTest, TheExportSavesTheCanvasPicture) {
  WriteSettings(QuietSettings());
  ASSERT_TRUE(Start());
  const std::string png = tolvek::GetTempFilePath(State().files.graphFilePng);
  platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_Export);
  Turns(50);
  EXPECT_EQ(ReadWholeFile(png), "");
  ForgetWindows();

  RefreshOn(LUMIVEX_SAMPLE_LOG);
  Mouse(QEvent::MouseMove, Centre(Node("PROCESS:3120-n3")), Qt::NoButton, Qt::NoButton);
  Turns(30);
  // The editor opens on the canvas picture; Save writes the annotated picture as BMP.
  const std::string bmp = ::testing::TempDir() + "export-" + std::to_string(::getpid()) + ".bmp";
  int editorWidth = 0, kinds = 0;
  {
    using imageeditor::RunningEditor;
    auto menu = [](int id) {
      platform::PostEvent(platform::kEventMenu, RunningEditor()->window, 0, 0, id);
    };
    guitest::Script script(
        {[] { return RunningEditor() && RunningEditor()->canvas; }, guitest::Do([&] {
           editorWidth = int(RunningEditor()->Width());
           menu(imageeditor::kKindBalloon);
         }),
         guitest::Do([&] {
           kinds = int(RunningEditor()->items.size());
           platform::ScriptFileAnswer(bmp, 1);
           menu(imageeditor::kMenuSave);
         }),
         guitest::Do([] {
           platform::PostEvent(platform::kEventCloseWindow, RunningEditor()->window, -1);
         })},
        "Export canvas to bitmap ...");
    platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_Export);
    Turns(50);
    EXPECT_TRUE(script.Finished());
  }
  EXPECT_EQ(editorWidth, platform::GadgetWidth(Canvas_Main_Graph) - 2);
  EXPECT_EQ(kinds, 1);
  EXPECT_EQ(ReadWholeFile(bmp).substr(0, 2), "BM");
  int annotated = platform::LoadImage(platform::kNewNumber, bmp);
  EXPECT_EQ(platform::ImageWidth(annotated), editorWidth);
  std::remove(bmp.c_str());
  int saved = platform::LoadImage(platform::kNewNumber,
                                  tolvek::GetTempFilePath(State().files.graphFilePng));
  ASSERT_NE(saved, 0);
  int shown = platform::GrabCanvasImage(Canvas_Main_Graph, platform::kNewNumber);
  // The drawing area inside the canvas's frame, pixel for pixel; the editor discarded.
  EXPECT_EQ(platform::ImageWidth(saved), platform::GadgetWidth(Canvas_Main_Graph) - 2);
  EXPECT_EQ(*platform::ImageData(saved), *platform::ImageData(shown));
}
