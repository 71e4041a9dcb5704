// Windows from descriptions: natural sizes, spare room, minimum sizes, and placing again on
// resize and on hide/show, read back through the layer's own gadget calls.
#include <gtest/gtest.h>

#include <QWidget>

#include <cstdlib>

#include "platform/box_layout.h"

using namespace platform;

namespace {

class BoxLayout : public ::testing::Test {
 protected:
  void TearDown() override { ResetLayer(); }

  int Open(const std::string& tree, const std::string& windowAttributes = "") {
    std::string xml = "<window name='W' title='t' flags='sizable|invisible' " + windowAttributes +
                      ">\n" + tree + "\n</window>";
    int window = OpenWindowFromLayout(kNewNumber, xml, "W");
    EXPECT_NE(window, 0) << LastLayoutError();
    return window;
  }
  int G(int window, const std::string& id) { return FindGadgetByName(window, id); }
  int Right(int gadget) { return GadgetX(gadget) + GadgetWidth(gadget); }
  int Bottom(int gadget) { return GadgetY(gadget) + GadgetHeight(gadget); }
};

TEST_F(BoxLayout, NaturalSizesComeFromTextsAndGivenSizesAndTheWindowOpensAtTheirSum) {
  int w = Open(R"(<hbox>
      <text id="short" text="Hi"/>
      <text id="long" text="A considerably longer label"/>
      <string id="field" width="200" height="30"/>
      <canvas id="canvas"/>
    </hbox>)");
  int s = G(w, "short"), l = G(w, "long"), f = G(w, "field"), c = G(w, "canvas");
  EXPECT_GT(GadgetWidth(l), 2 * GadgetWidth(s));
  EXPECT_EQ(GadgetWidth(f), 200);
  EXPECT_EQ(GadgetWidth(c), 16);
  // Side by side without gaps, each as high as the box.
  EXPECT_EQ(GadgetX(s), 0);
  EXPECT_EQ(GadgetX(l), Right(s));
  EXPECT_EQ(GadgetX(f), Right(l));
  EXPECT_EQ(GadgetX(c), Right(f));
  EXPECT_EQ(WindowWidth(w), Right(c));
  EXPECT_EQ(WindowHeight(w), 30);
  EXPECT_EQ(GadgetHeight(s), 30);
}

TEST_F(BoxLayout, TheExpandItemTakesAllSpareRoomOnResizeAndTheOthersKeepTheirSize) {
  struct Case {
    const char* box;
    int expand;
  } cases[] = {{"vbox", 2}, {"vbox", 3}, {"hbox", 1}, {"vbox", 0}, {"hbox", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.box) + " expand " + std::to_string(c.expand));
    std::string box = c.box;
    int w = Open("<" + box + " expand='" + std::to_string(c.expand) + "'>" +
                 "<button id='a' text='a' width='40' height='20'/>"
                 "<canvas id='b' width='30' height='30'/>"
                 "<button id='c' text='c' width='50' height='25'/></" +
                 box + ">");
    bool vertical = box == "vbox";
    ResizeWindow(w, kKeepValue, kKeepValue, WindowWidth(w) + 100, WindowHeight(w) + 100);
    int ids[] = {G(w, "a"), G(w, "b"), G(w, "c")};
    int natural[] = {vertical ? 20 : 40, 30, vertical ? 25 : 50};
    int at = 0;
    for (int i = 0; i < 3; ++i) {
      int length = vertical ? GadgetHeight(ids[i]) : GadgetWidth(ids[i]);
      EXPECT_EQ(length, natural[i] + (i + 1 == c.expand ? 100 : 0)) << "child " << i + 1;
      EXPECT_EQ(vertical ? GadgetY(ids[i]) : GadgetX(ids[i]), at);
      // Across the box every child fills it, grown window included.
      EXPECT_EQ(vertical ? GadgetWidth(ids[i]) : GadgetHeight(ids[i]),
                vertical ? WindowWidth(w) : WindowHeight(w));
      at += length;
    }
    CloseWindow(w);
  }
}

TEST_F(BoxLayout, TheMinimumIsTheLargerOfTheGivenOneAndTheTrees) {
  int small = Open("<button text='x' width='50' height='20'/>", "minwidth='300' minheight='200'");
  EXPECT_EQ(WindowWidth(small), 300);
  EXPECT_EQ(WindowHeight(small), 200);
  int big = Open("<canvas width='500' height='100'/>", "minwidth='300' minheight='200'");
  EXPECT_EQ(WindowWidth(big), 500);
  EXPECT_EQ(WindowHeight(big), 200);
  int sized = Open("<canvas width='50' height='50'/>", "width='640' height='480'");
  EXPECT_EQ(WindowWidth(sized), 640);
  for (int w : {small, big, sized}) {
    ResizeWindow(w, kKeepValue, kKeepValue, 10, 10);
    EXPECT_GE(WindowWidth(w), w == big ? 500 : 50);
    EXPECT_GE(WindowHeight(w), w == big ? 200 : 50);
  }
  EXPECT_EQ(WindowWidth(small), 300);
}

TEST_F(BoxLayout, AHiddenGadgetTakesNoRoomAndComesBackWhenShown) {
  int w = Open(R"(<hbox expand="4">
      <button id="a" text="a" width="40"/>
      <button id="b" text="b" width="30"/>
      <frame id="f" text="Frame"><button id="inside" text="in" width="60" height="20"/></frame>
      <canvas id="c"/>
    </hbox>)");
  int a = G(w, "a"), b = G(w, "b"), f = G(w, "f"), c = G(w, "c");
  int width = WindowWidth(w);
  int cx = GadgetX(c);
  HideGadget(b, true);
  EXPECT_EQ(GadgetX(f), Right(a));
  EXPECT_EQ(GadgetX(c), cx - 30);
  EXPECT_EQ(Right(c), width);  // the expand item takes the room given up
  HideGadget(f, true);
  EXPECT_EQ(GadgetX(c), Right(a));
  EXPECT_TRUE(IsGadgetHidden(f));
  HideGadget(b, false);
  HideGadget(f, false);
  EXPECT_EQ(GadgetX(c), cx);
  // The frame's content sits inside its border and below its title.
  int inside = G(w, "inside");
  EXPECT_GT(GadgetX(inside), GadgetX(f));
  EXPECT_GT(GadgetY(inside), GadgetY(f));
  EXPECT_LE(Right(inside), Right(f));
  EXPECT_GE(GadgetWidth(inside), 60);

  // The user resizing the shown window.
  HideWindow(w, false);
  WindowWidget(w)->resize(width + 50, WindowHeight(w));
  EXPECT_EQ(Right(c), width + 50);
}

TEST_F(BoxLayout, AStackKeepsItsLargestChildsSizeWhileItsChildrenTakeTurns) {
  int w = Open(R"(<hbox>
      <stack>
        <buttonimage id="wide" width="40" height="22"/>
        <buttonimage id="tall" width="22" height="50"/>
      </stack>
      <button id="after" text="after" width="30"/>
    </hbox>)");
  int wide = G(w, "wide"), tall = G(w, "tall"), after = G(w, "after");
  EXPECT_EQ(GadgetX(after), 40);
  EXPECT_EQ(WindowHeight(w), 50);
  HideGadget(wide, true);
  EXPECT_EQ(GadgetX(tall), 0);
  EXPECT_EQ(GadgetWidth(tall), 40);
  EXPECT_EQ(GadgetX(after), 40);
  HideGadget(tall, true);
  EXPECT_EQ(GadgetX(after), 40);
}

TEST_F(BoxLayout, ASingleBoxKeepsItsMarginsAndAlignsItsChild) {
  // The box is 100 x 60; its margins leave 96 x 54 from (1, 2); the child wants 20 x 10.
  struct Case {
    const char* align;
    int x, y, w, h;
  } cases[] = {
      {"", 1, 2, 96, 54},           {"left", 1, 2, 20, 54},          {"center", 39, 2, 20, 54},
      {"right", 77, 2, 20, 54},     {"left,vcenter", 1, 24, 20, 10}, {"bottom", 1, 46, 96, 10},
      {"right,top", 77, 2, 20, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.align);
    std::string align = *c.align ? std::string(" align='") + c.align + "'" : "";
    int w = Open("<singlebox margin='1,2,3,4'" + align +
                     "><button id='b' text='b' width='20' height='10'/></singlebox>",
                 "width='100' height='60'");
    int b = G(w, "b");
    EXPECT_EQ(GadgetX(b), c.x);
    EXPECT_EQ(GadgetY(b), c.y);
    EXPECT_EQ(GadgetWidth(b), c.w);
    EXPECT_EQ(GadgetHeight(b), c.h);
    CloseWindow(w);
  }
}

TEST_F(BoxLayout, RowsWithAHiddenTwinEndAtTheSamePlace) {
  int w = Open(R"(<vbox>
      <hbox expand="1"><string id="s1"/><button id="b1" text="..."/><buttonimage id="i1"/></hbox>
      <hbox expand="1"><string id="s2"/><button id="b2" text="..."/><buttonimage id="i2"/></hbox>
    </vbox>)");
  HideGadget(G(w, "i2"), true);
  EXPECT_EQ(Right(G(w, "b2")), Right(G(w, "i1")));
  EXPECT_EQ(GadgetWidth(G(w, "b2")), GadgetWidth(G(w, "b1")));
}

TEST_F(BoxLayout, TextsAndPicturesSetLaterCountFromTheNextRefresh) {
  int w = Open(R"(<hbox>
      <text id="status" text="Initializing ..."/>
      <buttonimage id="pic"/>
      <button id="after" text="x"/>
    </hbox>)");
  int status = G(w, "status"), pic = G(w, "pic"), after = G(w, "after");
  int reserved = GadgetWidth(status);
  EXPECT_EQ(GadgetWidth(pic), 22);
  SetGadgetText(status, "OK");
  ResizeWindow(w, kKeepValue, kKeepValue, WindowWidth(w) + 10, kKeepValue);
  EXPECT_EQ(GadgetWidth(status), reserved);  // a shorter text moves nothing by itself

  SetGadgetImage(pic, CreateImage(kNewNumber, 40, 30));
  SetGadgetText(status, "A status text far longer than the text it was laid out with");
  RefreshLayout(w);
  EXPECT_GT(GadgetWidth(status), reserved);
  EXPECT_EQ(GadgetWidth(pic), 46);
  EXPECT_EQ(GadgetHeight(pic), 36);
  EXPECT_EQ(GadgetX(after), Right(pic));
  EXPECT_GE(WindowWidth(w), Right(after));
  EXPECT_GE(WindowHeight(w), 36);
}

TEST_F(BoxLayout, IdsNameGadgetsAndConstantsGiveTheirNumbers) {
  RegisterGadgetConstant("#Button_Test_Fixed", 77);
  RegisterGadgetConstant("Text_Test_Bare", 78);
  RegisterGadgetConstant("Text_Test_Zero", 0);
  EXPECT_EQ(GadgetConstant("Button_Test_Fixed"), 77);
  EXPECT_EQ(GadgetConstant("#Text_Test_Bare"), 78);
  EXPECT_EQ(GadgetConstant("#Nothing"), -1);
  size_t count = CountGadgetConstants();
  RegisterGadgetConstant("Button_Test_Fixed", 77);
  EXPECT_EQ(CountGadgetConstants(), count);

  int w = Open(R"(<vbox>
      <button id="#Button_Test_Fixed" text="a"/>
      <text id="#Text_Test_Bare" text="b"/>
      <button id="#Button_Test_Fixed_1" text="c"/>
      <button text="no id"/>
      <text id="Text_Test_Zero" text="zero"/>
    </vbox>)");
  EXPECT_EQ(G(w, "Text_Test_Zero"), 0);
  EXPECT_EQ(GetGadgetText(0), "zero");
  EXPECT_EQ(G(w, "#Button_Test_Fixed"), 77);
  EXPECT_EQ(G(w, "#Text_Test_Bare"), 78);
  EXPECT_EQ(GetGadgetName(77), "#Button_Test_Fixed");
  int twin = G(w, "#Button_Test_Fixed_1");
  EXPECT_GE(twin, 100000);
  EXPECT_EQ(GadgetWindow(twin), w);
  EXPECT_EQ(GetGadgetText(twin), "c");
}

TEST_F(BoxLayout, BadDescriptionsOpenNothingAndSayWhatAndWhere) {
  struct Case {
    const char* xml;
    const char* name;
    const char* said;
  } cases[] = {
      {"<window name='W'><vbox>\n<button></vbox></window>", "W", "line 2"},
      {"<window name='W'>\n<vbox><slider/></vbox></window>", "W",
       "line 2, <slider>: unknown element"},
      {"<window name='W'><vbox>\n\n<button colour='red'/></vbox></window>", "W", "line 3"},
      {"<windows><window name='A'><vbox/></window></windows>", "B", "no window named 'B'"},
      {"<window name='W'><hbox expand='3'><empty/><empty/></hbox></window>", "W", "expand"},
      {"<window name='W'><vbox><text id='x'/>\n<text id='x'/></vbox></window>", "W",
       "line 2, <text>: id 'x' already used on line 1"},
      {"<window name='W'><canvas flags='border|shiny'/></window>", "W", "unknown flag 'shiny'"},
      {"<window name='W'><singlebox margin='1,2'><empty/></singlebox></window>", "W", "margin"},
      {"<window name='W'><singlebox align='left,right'><empty/></singlebox></window>", "W",
       "align"},
      {"<window name='W'><empty width='-4'/></window>", "W", "width=\"-4\""},
      {"<window name='W'><vbox/><vbox/></window>", "W", "exactly one child"},
      {"<window name='W'><frame><empty/><empty/></frame></window>", "W", "at most one child"},
      {"<window name='W'><vbox>words</vbox></window>", "W", "text outside"},
      {"", "W", "line 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    EXPECT_EQ(OpenWindowFromLayout(kNewNumber, c.xml, c.name), 0);
    EXPECT_NE(LastLayoutError().find(c.said), std::string::npos) << LastLayoutError();
    EXPECT_EQ(FindWindowByTitle(""), -1);
  }
  // A good description clears the last error.
  EXPECT_NE(OpenWindowFromLayout(kNewNumber, "<window name='W'><empty/></window>", "W"), 0);
  EXPECT_EQ(LastLayoutError(), "");
}

// The workbench's main window is the largest tree the layer serves; this is its shape.
constexpr const char* kMainWindow = R"(<windows>
<window name="Window_Main" title="Main" minwidth="800" minheight="600"
        flags="closebox|titlebar|sizable|maximizebox|minimizebox|invisible|screencentered">
  <vbox expand="3">
    <hbox>
      <singlebox margin="0,0,5,5" align="center"><text id="MenuFile" text="_File_" flags="center"/></singlebox>
      <singlebox margin="0,0,5,5" align="center"><text id="MenuHelp" text="_?_" flags="center"/></singlebox>
    </hbox>
    <hbox expand="2">
      <singlebox align="left,vcenter"><image id="Logo"/></singlebox>
      <hbox expand="1">
        <frame text="Monitoring Logs">
          <hbox expand="2">
            <vbox><text id="T1" text="Procmon:"/><text id="T2" text="Windump:"/></vbox>
            <vbox>
              <hbox expand="1"><string id="S1"/><button id="B1" text="..."/><buttonimage id="Ascii" flags="toggle"/></hbox>
              <hbox expand="1"><string id="S2"/><button id="B2" text="..."/><buttonimage id="Ascii_1"/></hbox>
            </vbox>
          </hbox>
        </frame>
        <frame text="Render Configuration">
          <vbox>
            <hbox expand="2"><text text="Launcher:"/><string id="Launcher" flags="readonly" width="200"/><button text="..."/></hbox>
            <hbox><checkbox text="no paths"/><checkbox text="compressed"/><checkbox text="dumb"/><buttonimage flags="toggle"/></hbox>
          </vbox>
        </frame>
        <frame text=""><button id="Refresh" text="Refresh"/></frame>
      </hbox>
    </hbox>
    <canvas id="Graph" flags="border|keyboard"/>
    <hbox expand="3">
      <buttonimage id="Show" flags="toggle"/>
      <hbox><buttonimage/><buttonimage/><buttonimage/><buttonimage/><buttonimage/><buttonimage/></hbox>
      <canvas id="Frames"/>
      <combobox id="Fps" width="100"/>
      <stack><buttonimage id="All"/><buttonimage id="AllRle"/><buttonimage id="Unique"/></stack>
    </hbox>
    <empty height="5"/>
    <hbox expand="10">
      <text text="Status:"/><text id="Status" text="Initializing ..."/><empty width="5"/>
      <text text="Frame:"/><text id="Number" text="99999/99999"/><empty width="5"/>
      <text text="Time:"/><text id="Time" text="00:00:00,0000000"/><empty width="5"/>
      <string id="Message" flags="readonly"/>
    </hbox>
  </vbox>
</window>
</windows>)";

TEST_F(BoxLayout, TheMainWindowsTreeOpensAtItsMinimumWithTheGraphTakingTheRoom) {
  int w = OpenWindowFromLayout(kNewNumber, kMainWindow, "Window_Main");
  ASSERT_NE(w, 0) << LastLayoutError();
  HideGadget(G(w, "AllRle"), true);
  HideGadget(G(w, "Unique"), true);
  HideGadget(G(w, "Ascii_1"), true);
  EXPECT_EQ(WindowWidth(w), 800);
  EXPECT_EQ(WindowHeight(w), 600);
  ResizeWindow(w, kKeepValue, kKeepValue, 700, 500);
  EXPECT_EQ(WindowWidth(w), 800);
  EXPECT_EQ(WindowHeight(w), 600);

  // Both input rows end at the same place although the second shows no picture button.
  EXPECT_EQ(Right(G(w, "B2")), Right(G(w, "Ascii")));
  EXPECT_EQ(GadgetY(G(w, "S2")), Bottom(G(w, "S1")));
  // The graph takes what the rows above and below leave; the message field ends the status line.
  int graph = G(w, "Graph"), message = G(w, "Message"), fps = G(w, "Fps");
  EXPECT_EQ(GadgetWidth(graph), 800);
  EXPECT_EQ(Bottom(message), 600);
  EXPECT_EQ(Right(message), 800);
  EXPECT_EQ(GadgetY(fps), Bottom(graph));
  EXPECT_EQ(GadgetWidth(fps), 100);
  EXPECT_EQ(Right(G(w, "All")), 800);
  int graphHeight = GadgetHeight(graph);
  ResizeWindow(w, kKeepValue, kKeepValue, 1000, 700);
  EXPECT_EQ(GadgetHeight(graph), graphHeight + 100);
  EXPECT_EQ(GadgetWidth(graph), 1000);
  EXPECT_LE(Right(G(w, "Refresh")), 1000);
  if (const char* shot = std::getenv("BOX_LAYOUT_SHOT")) WindowWidget(w)->grab().save(shot);
}

}  // namespace
