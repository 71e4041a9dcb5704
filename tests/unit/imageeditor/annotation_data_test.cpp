// The annotation objects' data: what each kind starts with, how property values read, what
// the annotations file keeps, the clipboard text and the picture rectangle of a region.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "imageeditor/annotation_object.h"
#include "imageeditor/annotation_render.h"
#include "imageeditor/annotation_store.h"
#include "imageeditor/clipboard_region.h"

using namespace imageeditor;

namespace {

TEST(AnnotationDefaults, EachKindStartsWithItsColumn) {
  struct Case {
    int64_t kind;
    const char* corner;  // nullptr: no key
    const char* fill;
    const char* line;
    const char* thickness;
    const char* text;
    const char* alignH;
    const char* arrow;
    const char* shadow;
  };
  const Case cases[] = {
      {kKindRectangle, "0", "0", "-16776961", "5", "", "Left", "None", "0"},
      {kKindRoundedRectangle, "15", "0", "-16776961", "5", "", "Left", "None", "0"},
      {kKindEllipse, nullptr, "0", "-16776961", "5", "", "Center", "None", "0"},
      {kKindHighlighter, "0", "$FF00FFFF", "$FF00FFFF", "1", "", "Left", "None", "0"},
      {kKindText, "0", "16777216", "16777216", "5", "Enter some text ...", "Left", "None", "0"},
      {kKindNote, "5", "$DCC1F8FF", "-9868951", "2", "Enter some text ...", "Left", "None", "1"},
      {kKindBalloon, "5", "$DCC1F8FF", "-9868951", "5", "Enter some text ...", "Left", "Left", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    PropertyMap p = CreationDefaults(c.kind);
    EXPECT_EQ(p.size(), c.corner ? 17u : 16u);
    if (c.corner) {
      EXPECT_EQ(p["CornerRadius"], c.corner);
    } else {
      EXPECT_EQ(p.count("CornerRadius"), 0u);
    }
    EXPECT_EQ(p["FillColor"], c.fill);
    EXPECT_EQ(p["LineColor"], c.line);
    EXPECT_EQ(p["LineThickness"], c.thickness);
    EXPECT_EQ(p["Text"], c.text);
    EXPECT_EQ(p["TextAlignH"], c.alignH);
    EXPECT_EQ(p["TextAlignV"], c.kind == kKindEllipse ? "Middle" : "Top");
    EXPECT_EQ(p["Arrow"], c.arrow);
    EXPECT_EQ(p["Shadow"], c.shadow);
    EXPECT_EQ(p["FontColor"], "-16777216");
    EXPECT_EQ(p["ArrowPos"], "-1");
    EXPECT_EQ(p["ArrowLength"], "100");
    EXPECT_EQ(p["ArrowFill"], "Fill");
    EXPECT_EQ(p["Font"], "");
  }
  EXPECT_TRUE(CreationDefaults(20).empty());
  EXPECT_EQ(ShapeOfKind(kKindEllipse), kShapeEllipse);
  EXPECT_EQ(ShapeOfKind(kKindBalloon), kShapeBox);
  EXPECT_EQ(KindListName(kKindRoundedRectangle), "RoundedRectangle");
}

TEST(AnnotationDefaults, ColoursReadAndWriteAsTheFileHoldsThem) {
  struct Case {
    const char* text;
    uint32_t colour;
  };
  const Case cases[] = {
      {"-16776961", 0xFF0000FFu},  // opaque red
      {"-16777216", 0xFF000000u},  // opaque black
      {"$FF00FFFF", 0xFF00FFFFu},  // opaque yellow
      {"$DCC1F8FF", 0xDCC1F8FFu},
      {"  $ff", 0xFFu},
      {"%101", 5u},
      {"12abc", 12u},
      {"", 0u},
      {"junk", 0u},
      {"4294967297", 1u},  // only the low 32 bits count
  };
  for (const Case& c : cases) EXPECT_EQ(ReadColour(c.text), c.colour) << c.text;
  EXPECT_EQ(ColourText(0xFF0000FFu), "-16776961");
  EXPECT_EQ(ColourText(0x80000000u), "-2147483648");
  EXPECT_EQ(ReadInteger("-1"), -1);
  EXPECT_EQ(ReadInteger(" +42x"), 42);
}

class AnnotationFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::path(::testing::TempDir()) /
            ("annotations-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
    m_file.path = (m_dir / "EditImageRequesterAnnotations").string();
    m_file.programPath = "/opt/lumivex/lumivex";
    m_file.id = "";
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }
  std::string FileText() const {
    std::ifstream in(m_file.path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static void Make(AnnotationObject& o, int64_t kind) {
    o.inittype = kind;
    o.type = ShapeOfKind(kind);
    o.properties = CreationDefaults(kind);
    o.x = 50, o.y = 50, o.width = 200, o.height = 100;
  }
  std::filesystem::path m_dir;
  AnnotationFile m_file;
};

TEST_F(AnnotationFileTest, TheFirstObjectOfAKindStoresItsDefaultsAndLaterOnesTakeThem) {
  AnnotationObject balloon;
  Make(balloon, kKindBalloon);
  ApplyStoredDefaults(m_file, balloon);
  PreferenceDocument doc = LoadPreferenceDocument(m_file.path);
  ASSERT_EQ(doc.groups.size(), 1u);
  EXPECT_EQ(doc.groups[0].first, "/opt/lumivex/lumivex--defaults");
  // The kind key and one key per property except the text.
  EXPECT_EQ(doc.groups[0].second.size(), 17u);
  EXPECT_EQ(PreferenceDocument::Read(doc.groups[0].second, "24"), "1");
  EXPECT_EQ(PreferenceDocument::Read(doc.groups[0].second, "24.LineColor"), "-9868951");
  EXPECT_EQ(balloon.Property("FillColor"), "$DCC1F8FF");

  AnnotationObject ellipse;
  Make(ellipse, kKindEllipse);
  ApplyStoredDefaults(m_file, ellipse);
  doc = LoadPreferenceDocument(m_file.path);
  EXPECT_EQ(doc.groups[0].second.size(), 17u + 16u);  // fifteen keys and the kind key

  // Set as default on a changed balloon: the next balloon has its fill, not its text.
  balloon.properties["FillColor"] = "-16711936";
  balloon.properties["Text"] = "changed";
  ASSERT_TRUE(SetAsDefault(m_file, balloon));
  AnnotationObject next;
  Make(next, kKindBalloon);
  ApplyStoredDefaults(m_file, next);
  EXPECT_EQ(next.Property("FillColor"), "-16711936");
  EXPECT_EQ(next.Property("Text"), "Enter some text ...");

  // Reset to default takes the stored values back.
  next.properties["LineThickness"] = "40";
  ASSERT_TRUE(ResetToDefault(m_file, next));
  EXPECT_EQ(next.Property("LineThickness"), "5");
  AnnotationObject note;
  Make(note, kKindNote);
  EXPECT_FALSE(ResetToDefault(m_file, note));  // nothing stored for notes yet
}

TEST_F(AnnotationFileTest, TemplatesRoundTripWithHostileNamesAndTexts) {
  struct Case {
    const char* name;
    const char* stored;
  };
  const Case cases[] = {
      {"  my [big]=note|x  ", "my__big__note_x"},
      {"back\\slash", "back\\slash"},
      {"{color:red}styled", "{color:red}styled"},
      {"Ünïcödé name", "Ünïcödé_name"},
      {"two\nlines", "two_lines"},
  };
  AnnotationObject note;
  Make(note, kKindNote);
  note.properties["Text"] = "first line\r\nsecond | \\ line";
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TemplateGroupName(c.name), c.stored);
    note.properties["LineThickness"] = std::to_string(++n);  // each template differs
    ASSERT_TRUE(StoreTemplate(m_file, c.name, note));
    TemplateRecord record;
    ASSERT_TRUE(ReadTemplate(m_file, c.stored, record));
    EXPECT_EQ(record.inittype, kKindNote);
    EXPECT_EQ(record.type, kShapeBox);
    EXPECT_EQ(record.width, 200);
    EXPECT_EQ(record.properties["Text"], "first line\nsecond | \\ line");
    EXPECT_EQ(record.properties["LineThickness"], std::to_string(n));
  }
  EXPECT_FALSE(StoreTemplate(m_file, "   ", note));
  // The pick list's rows are escaped; the third cell gives the name back.
  const std::string items = TemplateListItems(m_file);
  EXPECT_NE(items.find("26|Note|my__big__note_x|first line{lf}second \\| \\\\ line"),
            std::string::npos)
      << items;
  EXPECT_NE(items.find("|back\\\\slash|"), std::string::npos);
  EXPECT_EQ(items.back(), 'e');  // no trailing line feed

  // The last stored one matches; a changed property stops the match; line ends do not.
  EXPECT_TRUE(HasMatchingTemplate(m_file, note));
  note.properties["Text"] = "first linesecond | \\ line";
  EXPECT_TRUE(HasMatchingTemplate(m_file, note));
  note.x = 999;
  EXPECT_TRUE(HasMatchingTemplate(m_file, note));
  note.properties["FillColor"] = "0";
  EXPECT_FALSE(HasMatchingTemplate(m_file, note));
  note.properties["FillColor"] = "$DCC1F8FF";
  // Storing under an existing name replaces it; removing takes every match.
  ASSERT_TRUE(StoreTemplate(m_file, "copy", note));
  EXPECT_EQ(RemoveFromTemplates(m_file, note), 2);
  EXPECT_FALSE(HasMatchingTemplate(m_file, note));
  EXPECT_EQ(LoadPreferenceDocument(m_file.path).groups.size(), 4u);
}

TEST_F(AnnotationFileTest, AMissingFileReadsAsEmptyAndAnUnwritableOneLosesOnlyTheChange) {
  EXPECT_EQ(TemplateListItems(m_file), "");
  AnnotationObject o;
  Make(o, kKindRectangle);
  EXPECT_FALSE(HasMatchingTemplate(m_file, o));
  m_file.path = (m_dir / "no" / "such" / "folder" / "file").string();
  ApplyStoredDefaults(m_file, o);  // defaults stay the creation ones
  EXPECT_EQ(o.Property("LineColor"), "-16776961");
  EXPECT_FALSE(StoreTemplate(m_file, "x", o));
}

TEST(AnnotationClipboard, TheTextRoundTripsAndDamagedTextIsIgnored) {
  ClipboardAnnotation a;
  a.scale = 1.0, a.width = 200, a.height = 100, a.inittype = 21, a.type = 21;
  a.properties = {{"LineColor", "-16776961"}, {"Text", "two\nlines"}};
  const std::string text = AnnotationClipboardText(a);
  EXPECT_EQ(text, std::string("ImageEditorRequester.AnnotationObject:1,200,100,21,21;") +
                      "LineColor\1-16776961\2Text\1two\nlines");
  auto back = ParseAnnotationClipboardText(text);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->width, 200);
  EXPECT_EQ(back->properties, a.properties);
  a.scale = 0.125, a.width = 33.3333333333333, a.height = -2;
  back = ParseAnnotationClipboardText(AnnotationClipboardText(a));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->scale, 0.125);
  EXPECT_NEAR(back->width, 33.3333333333, 1e-9);
  EXPECT_EQ(ShortNumber(2.5), "2.5");
  EXPECT_EQ(ShortNumber(100), "100");

  const std::string m = kAnnotationClipboardMarker;
  const std::string hostile[] = {
      "/home/user/picture.png",
      m,
      m + "1,200,100,21;",       // too few fields
      m + "nan,200,100,21,21;",  // not finite
      m + "1,inf,100,21,21;",
      m + "1,1e300,100,21,21;",  // beyond any picture
      m + "1,20000,20000,21,21;",
      m + "0,200,100,21,21;",  // no scale
      m + "1,200,100,x,21;",
      m + "1,200,100,21,21;\1novalue",  // a property without a key
      m + "1,200,100,21,21;Text\1" + std::string(kMaxPastedValue + 1, 'a'),
  };
  for (const std::string& h : hostile)
    EXPECT_FALSE(ParseAnnotationClipboardText(h)) << h.substr(0, 80);
  std::string many = m + "1,200,100,21,21;";
  for (size_t i = 0; i <= kMaxPastedProperties; ++i) many += "k" + std::to_string(i) + "\1v\2";
  EXPECT_FALSE(ParseAnnotationClipboardText(many));
  // A property without a value is kept empty, as pasting sets it.
  auto empty = ParseAnnotationClipboardText(m + "1,10,10,25,21;Text");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->properties.at("Text"), "");
}

TEST(RegionRect, RegionsAreMadePositiveScaledAndClipped) {
  struct Case {
    double x, y, w, h, zoom;
    PixelRect expected;
  };
  const Case cases[] = {
      {10, 20, 30, 40, 1.0, {10, 20, 30, 40}},
      {200, 150, -100, -100, 1.0, {100, 50, 100, 100}},  // drawn up and left
      {0, 0, 100, 50, 0.5, {0, 0, 200, 100}},
      {-20, -10, 50, 30, 1.0, {0, 0, 30, 20}},  // partly off the picture
      {350, 250, 100, 100, 1.0, {350, 250, 50, 50}},
      {500, 10, 20, 20, 1.0, {}},  // wholly outside
      {10, 10, 0, 20, 1.0, {}},
      {10, 10, 0.2, 20, 1.0, {}},  // rounds to nothing
  };
  for (const Case& c : cases) {
    PixelRect r = RegionImageRect(c.x, c.y, c.w, c.h, c.zoom, 400, 300);
    EXPECT_EQ(r, c.expected) << c.x << "," << c.y << "," << c.w << "," << c.h;
  }
}

TEST(AnnotationText, TokensAndLines) {
  EXPECT_EQ(TextTokens("Hello, big world"),
            (std::vector<std::string>{"Hello,", " ", "big ", "world", ""}));
  EXPECT_EQ(TextTokens("a\nb"), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(TextTokens("Grüße!"), (std::vector<std::string>{"Grüße!", ""}));
  auto width = [](const std::string& s) { return int(s.size()) * 10; };
  EXPECT_EQ(WrapTextLines(TextTokens("a\n\nb"), 100, width),
            (std::vector<std::string>{"a", "", "b"}));
  // A word too wide stands alone; the next word starts a new line.
  EXPECT_EQ(WrapTextLines(TextTokens("hi enormousword next"), 60, width),
            (std::vector<std::string>{"hi", "enormousword", "next"}));
  EXPECT_EQ(WrapTextLines(TextTokens("one two three"), 80, width),
            (std::vector<std::string>{"one two", "three"}));
  // A line closed by a line feed keeps its trailing blanks.
  EXPECT_EQ(WrapTextLines(TextTokens("ab  \ncd"), 100, width),
            (std::vector<std::string>{"ab  ", "cd"}));
}

}  // namespace
