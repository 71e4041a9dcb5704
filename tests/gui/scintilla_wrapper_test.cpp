// The editor-control wrapper on a real control: positions, indicators, finds, the styles
// map's pixels and gadget screenshots.
#include <gtest/gtest.h>

#include "gui/gadget_screenshot.h"
#include "gui/scintilla_wrapper.h"
#include "platform/editor_gadget.h"
#include "platform/scintilla_codes.h"
#include "platform/window_system.h"

using namespace platform;
using namespace gui;
using Sci = platform::ScintillaCodes;

namespace {

constexpr uint32_t kYellow = Rgb(255, 255, 0);
constexpr uint32_t kOrange = Rgb(255, 165, 0);

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_window = OpenWindow(kNewNumber, 0, 0, 400, 600, "editor");
    m_editor = ScintillaGadget(kNewNumber, 0, 0, 380, 550);
    Scintilla_InitGadget(m_editor, 0);
  }
  void TearDown() override {
    detail::ResetScintillaWrapper();
    ResetLayer();
  }
  // Character ranges that carry indicator i, as "start+length" texts.
  std::vector<std::string> Marks(int indicator) {
    std::vector<std::string> marks;
    intptr_t length = ScintillaSendMessage(m_editor, Sci::SCI_GETLENGTH);
    intptr_t pos = 0;
    while (pos < length) {
      intptr_t end = ScintillaSendMessage(m_editor, Sci::SCI_INDICATOREND, indicator, pos);
      if (end <= pos) end = length;
      if (ScintillaSendMessage(m_editor, Sci::SCI_INDICATORVALUEAT, indicator, pos)) {
        int64_t a = detail::ByteToCharacterPosition(m_editor, pos);
        int64_t b = detail::ByteToCharacterPosition(m_editor, end);
        marks.push_back(std::to_string(a) + "+" + std::to_string(b - a));
      }
      pos = end;
    }
    return marks;
  }
  int m_window = 0, m_editor = 0;
};

TEST_F(EditorTest, CharacterPositionsBecomeBytePositions) {
  Scintilla_SetText(m_editor,
                    "a\xC3\xA9\xE2\x82\xAC"
                    "b");  // a, é, €, b
  std::vector<int64_t> bytes;
  for (int64_t p = 0; p <= 4; ++p)
    bytes.push_back(Scintilla_ConvertBytePos2CharacterBytePos(m_editor, p));
  EXPECT_EQ(bytes, (std::vector<int64_t>{0, 1, 3, 6, 7}));
  EXPECT_EQ(Scintilla_GetTextLength(m_editor), 7);

  Scintilla_SetText(m_editor, "plain ascii");
  EXPECT_EQ(Scintilla_ConvertBytePos2CharacterBytePos(m_editor, 7), 7);

  // More than 10,000 characters outside ASCII, then one more "é" behind an "x".
  std::string many;
  for (int i = 0; i < 12000; ++i) many += "\xC3\xA9";
  Scintilla_SetText(m_editor, many + "x\xC3\xA9");
  EXPECT_EQ(Scintilla_ConvertBytePos2CharacterBytePos(m_editor, 12001), 24001);
  EXPECT_EQ(Scintilla_ConvertBytePos2CharacterBytePos(m_editor, 12002), 24003);
}

TEST_F(EditorTest, AnEditOfTheSameLengthIsSeenAtOnce) {
  int64_t now = 1000;
  SetClock([&] { return now; });  // the clock stands still: no time-out refreshes the cache
  Scintilla_SetText(m_editor,
                    "\xC3\xA9"
                    "ab");  // é a b
  EXPECT_EQ(Scintilla_ConvertBytePos2CharacterBytePos(m_editor, 1), 2);
  // The user types over the text: "ab" + "é", the same five bytes.
  ScintillaSendMessage(m_editor, Sci::SCI_SETTEXT, 0, reinterpret_cast<intptr_t>("ab\xC3\xA9"));
  EXPECT_EQ(Scintilla_ConvertBytePos2CharacterBytePos(m_editor, 1), 1);
  EXPECT_EQ(Scintilla_ConvertBytePos2CharacterBytePos(m_editor, 3), 4);
  SetClock(nullptr);
}

TEST_F(EditorTest, TextInAndOutAndMargins) {
  Scintilla_SetText(m_editor, "");
  EXPECT_EQ(Scintilla_GetText(m_editor), "");
  EXPECT_EQ(Scintilla_GetTextLength(m_editor), 0);
  EXPECT_EQ(ScintillaSendMessage(m_editor, Sci::SCI_GETMARGINWIDTHN, 1), 0);
  Scintilla_InitGadget(m_editor, 5);
  intptr_t five = ScintillaSendMessage(m_editor, Sci::SCI_TEXTWIDTH, Sci::STYLE_LINENUMBER,
                                       reinterpret_cast<intptr_t>("_____"));
  EXPECT_EQ(ScintillaSendMessage(m_editor, Sci::SCI_GETMARGINWIDTHN, 1), five);
  Scintilla_SetText(m_editor,
                    "gr\xC3\xBC\xC3\x9F"
                    "e\n\xF0\x9F\x98\x80");
  EXPECT_EQ(Scintilla_GetText(m_editor),
            "gr\xC3\xBC\xC3\x9F"
            "e\n\xF0\x9F\x98\x80");
  Scintilla_EnableLineWrapping(m_editor, Sci::SC_WRAP_CHAR, true);
  Scintilla_EnableLineWrapping(m_editor, Sci::SC_WRAP_WORD, false);
  EXPECT_EQ(ScintillaSendMessage(m_editor, Sci::SCI_GETWRAPVISUALFLAGS),
            Sci::SC_WRAPVISUALFLAG_END);
  EXPECT_EQ(ScintillaSendMessage(m_editor, Sci::SCI_GETWRAPMODE), Sci::SC_WRAP_WORD);
}

TEST_F(EditorTest, IndicatorsAreNumberedPerGadget) {
  int other = ScintillaGadget(kNewNumber, 0, 0, 10, 10);
  EXPECT_EQ(Scintilla_CreateIndicatorStyle(m_editor, 8, kYellow, 220, 128), 0);
  EXPECT_EQ(Scintilla_CreateIndicatorStyle(other, 8, kYellow, 220, 128), 0);
  EXPECT_EQ(Scintilla_CreateIndicatorStyle(m_editor, 8, kOrange, 220, 128), 1);
  EXPECT_EQ(Scintilla_CountIndicatorStyles(m_editor), 2);
  Scintilla_InitGadget(m_editor, 0);
  EXPECT_EQ(Scintilla_CountIndicatorStyles(m_editor), 0);
  EXPECT_EQ(Scintilla_CountIndicatorStyles(other), 1);
  EXPECT_EQ(Scintilla_CreateIndicatorStyle(m_editor, 8, kYellow, 220, 128), 0);
}

TEST_F(EditorTest, StylesCoverExactlyTheGivenCharacters) {
  Scintilla_SetText(m_editor, "\xC3\xA9t\xC3\xA9");  // é t é
  Scintilla_StyleChars(m_editor, -1, 2, 5);
  Scintilla_StyleChars(m_editor, 0, -2, 5);
  EXPECT_EQ(ScintillaSendMessage(m_editor, Sci::SCI_GETSTYLEAT, 0), 0);
  Scintilla_StyleChars(m_editor, 1, 1, 7);
  EXPECT_EQ(ScintillaSendMessage(m_editor, Sci::SCI_GETSTYLEAT, 1), 0);
  EXPECT_EQ(ScintillaSendMessage(m_editor, Sci::SCI_GETSTYLEAT, 2), 7);
  EXPECT_EQ(ScintillaSendMessage(m_editor, Sci::SCI_GETSTYLEAT, 3), 0);
  Scintilla_StyleAll(m_editor, 9);
  for (int b = 0; b < 5; ++b) EXPECT_EQ(ScintillaSendMessage(m_editor, Sci::SCI_GETSTYLEAT, b), 9);
  Scintilla_SetText(m_editor, "x");
  EXPECT_EQ(ScintillaSendMessage(m_editor, Sci::SCI_GETSTYLEAT, 0), 0);
}

TEST_F(EditorTest, IndicateStringMarksOverlappingOccurrences) {
  int i = Scintilla_CreateIndicatorStyle(m_editor, 8, kYellow, 220, 128);
  Scintilla_SetText(m_editor, "aaa");
  // The clearing before each mark would eat the overlap; the find turns it off, so do we.
  Scintilla_IndicateString(m_editor, "", i);
  EXPECT_TRUE(Marks(i).empty());
  Scintilla_IndicateChars(m_editor, -1, 2, i);
  EXPECT_TRUE(Marks(i).empty());
  Scintilla_FindString(m_editor, "aa", 0, kNoIndicator, i);
  EXPECT_EQ(Marks(i), (std::vector<std::string>{"0+3"}));  // 0+2 and 1+2 joined
}

TEST_F(EditorTest, FindStringIsCaseInsensitiveAndMarksTheHitApart) {
  int hit = Scintilla_CreateIndicatorStyle(m_editor, 8, kYellow, 220, 128);
  int all = Scintilla_CreateIndicatorStyle(m_editor, 8, kOrange, 220, 128);
  Scintilla_SetText(m_editor, "xAByab");
  EXPECT_EQ(Scintilla_FindString(m_editor, "ab", 0, hit, all), 1);
  EXPECT_EQ(Marks(hit), (std::vector<std::string>{"1+2"}));
  EXPECT_EQ(Marks(all), (std::vector<std::string>{"4+2"}));
  EXPECT_EQ(ScintillaSendMessage(m_editor, Sci::SCI_GETCURRENTPOS), 3);
  EXPECT_EQ(Scintilla_FindString(m_editor, "ab", 2, hit, all), 4);
  EXPECT_EQ(Marks(hit), (std::vector<std::string>{"4+2"}));
  EXPECT_EQ(Marks(all), (std::vector<std::string>{"1+2"}));
  EXPECT_EQ(Scintilla_FindString(m_editor, "ab", 5, hit, all), -1);
  EXPECT_TRUE(Marks(hit).empty());
  EXPECT_EQ(Scintilla_FindString(m_editor, "", 0, hit, all), -1);
  // Only a hit indicator, with several indicators on the gadget.
  EXPECT_EQ(Scintilla_FindString(m_editor, "AB", 2, all, kNoIndicator), 4);
  EXPECT_EQ(Marks(all), (std::vector<std::string>{"4+2"}));
  Scintilla_Unfind(m_editor);
  EXPECT_TRUE(Marks(all).empty());
}

TEST_F(EditorTest, ExpressionsMarkGroupsAndAlternate) {
  int one = Scintilla_CreateIndicatorStyle(m_editor, 8, kYellow, 220, 128);
  int two = Scintilla_CreateIndicatorStyle(m_editor, 8, kOrange, 220, 128);
  Scintilla_SetText(m_editor, "\xC3\xA9k1 k2 k3");  // é k1 k2 k3
  struct Case {
    const char* pattern;
    int group;
    std::vector<std::string> marks;
  } cases[] = {
      {"k(\\d)", -1, {"2+1", "5+1", "8+1"}},    // one group: the group
      {"(k)(\\d)", -1, {"1+2", "4+2", "7+2"}},  // two groups: whole matches
      {"k(\\d)", 5, {"1+2", "4+2", "7+2"}},     // beyond the groups: whole matches
      {"k(x)?\\d", 1, {}},                      // a group that took no part marks nothing
      {"x*", 0, {}},                            // empty matches: the walk still ends
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    auto regex = tolvek::CreateRegularExpression(c.pattern);
    ASSERT_TRUE(regex);
    Scintilla_FindRegularExpression(m_editor, *regex, 0, kNoIndicator, one, c.group);
    EXPECT_EQ(Marks(one), c.marks);
  }
  Scintilla_Unfind(m_editor);
  auto regex = tolvek::CreateRegularExpression("k\\d");
  Scintilla_IndicateRegularExpression(m_editor, *regex, one, two, 0);
  EXPECT_EQ(Marks(one), (std::vector<std::string>{"1+2", "7+2"}));
  EXPECT_EQ(Marks(two), (std::vector<std::string>{"4+2"}));
  EXPECT_EQ(Scintilla_FindRegularExpression(m_editor, *regex, 2, one, kNoIndicator), 4);
  EXPECT_EQ(Marks(one), (std::vector<std::string>{"4+2"}));
}

TEST_F(EditorTest, StylesMapShowsMarksWhereTheirLinesAre) {
  int hit = Scintilla_CreateIndicatorStyle(m_editor, 8, kYellow, 220, 128);
  int all = Scintilla_CreateIndicatorStyle(m_editor, 8, kOrange, 220, 128);
  std::string text;
  for (int i = 0; i < 10; ++i) text += (i ? "\nline " : "line ") + std::to_string(i);
  Scintilla_SetText(m_editor, text);
  ScintillaSendMessage(m_editor, Sci::SCI_SETHSCROLLBAR, 0);  // bands of 25 at both ends
  // Gadget 550 high: H = 500, 50 pixels per line.
  Scintilla_IndicateChars(m_editor, 0, 4, hit);
  Scintilla_IndicateChars(m_editor, int64_t(text.size()) - 4, 4, all);
  int image = Scintilla_RenderStylesMap(m_editor, 3, true, nullptr, false);
  ASSERT_TRUE(IsImage(image));
  EXPECT_EQ(ImageWidth(image), 20);
  EXPECT_EQ(ImageHeight(image), 550);
  auto rgb = [&](int x, int y) { return ImagePixel(image, x, y) & 0xFFFFFF; };
  EXPECT_EQ(rgb(10, 10), Rgb(200, 200, 200));
  EXPECT_EQ(rgb(0, 25), kYellow);
  EXPECT_EQ(rgb(19, 74), kYellow);
  EXPECT_EQ(rgb(10, 75), Rgb(255, 255, 255));
  EXPECT_EQ(rgb(10, 474), Rgb(255, 255, 255));
  EXPECT_EQ(rgb(10, 475), kOrange);
  EXPECT_EQ(rgb(10, 524), kOrange);
  EXPECT_EQ(rgb(10, 530), Rgb(200, 200, 200));

  // Two marks on one line share it in two columns; a styled run shows its stripe. (Runs
  // of neighbouring lines touch and would share the columns too.)
  Scintilla_Unfind(m_editor);
  Scintilla_IndicateChars(m_editor, 0, 1, hit);
  Scintilla_IndicateChars(m_editor, 2, 1, all);
  ScintillaSendMessage(m_editor, Sci::SCI_STYLESETFORE, 5, 0x0000FF);  // red
  ScintillaSendMessage(m_editor, Sci::SCI_STYLESETBACK, 5, 0xFF0000);  // blue
  Scintilla_StyleChars(m_editor, 21, 4, 5);                            // line 3
  int previous = image;
  image = Scintilla_RenderStylesMap(m_editor, 3, true, nullptr, false);
  EXPECT_FALSE(IsImage(previous));

  EXPECT_EQ(rgb(5, 50), kYellow);
  EXPECT_EQ(rgb(15, 50), kOrange);
  EXPECT_EQ(rgb(3, 200), Rgb(0, 0, 255));
  EXPECT_EQ(rgb(7, 200), Rgb(255, 0, 0));
  EXPECT_EQ(rgb(13, 200), Rgb(255, 0, 0));
  EXPECT_EQ(rgb(14, 200), Rgb(0, 0, 255));

  // Style 5 skipped; the orange mark gives way to the yellow one where both meet.
  std::vector<StylesMapEntry> entries{{5, 0, true, false}, {-1, 0, false, true}};
  image = Scintilla_RenderStylesMap(m_editor, 3, true, &entries, false);
  EXPECT_EQ(rgb(7, 200), Rgb(255, 255, 255));
  EXPECT_EQ(rgb(15, 50), kYellow);
}

TEST_F(EditorTest, TinyGadgetStillGetsAMap) {
  ResizeGadget(m_editor, kKeepValue, kKeepValue, kKeepValue, 0);
  int image = Scintilla_RenderStylesMap(m_editor, 3, true, nullptr, true);
  ASSERT_TRUE(IsImage(image));
  EXPECT_GE(ImageHeight(image), 1);
}

TEST(GadgetScreenshot, CapturesExactlyTheGadget) {
  int window = OpenWindow(kNewNumber, 40, 30, 300, 200, "shot");
  int panel = TextGadget(kNewNumber, 20, 10, 120, 80, "");
  SetGadgetColor(panel, kBackColor, Rgb(10, 120, 200));
  WindowEvent();
  int image = MakeScreenshotFromGadget(kNewNumber, panel, 0, 0, 0, 0);
  ASSERT_NE(image, 0);
  EXPECT_EQ(ImageWidth(image), 120);
  EXPECT_EQ(ImageHeight(image), 80);
  EXPECT_EQ(ImagePixel(image, 60, 40) & 0xFFFFFF, Rgb(10, 120, 200));
  EXPECT_EQ(ImagePixel(image, 0, 0) & 0xFFFFFF, Rgb(10, 120, 200));
  // Pushed partly off every screen: only what is on a screen comes back.
  ResizeWindow(window, -60 - GadgetX(panel), kKeepValue, kKeepValue, kKeepValue);
  WindowEvent();
  int left = GadgetScreenX(panel);
  ASSERT_LT(left, 0);
  int cut = MakeScreenshotFromGadget(kNewNumber, panel, 0, 0, 0, 0);
  ASSERT_NE(cut, 0);
  EXPECT_EQ(ImageWidth(cut), 120 + left);
  EXPECT_EQ(ImagePixel(cut, 0, 0) & 0xFFFFFF, Rgb(10, 120, 200));
  ResetLayer();
}

}  // namespace
