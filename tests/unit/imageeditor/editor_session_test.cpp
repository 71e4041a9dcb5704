// The editor driven as a user drives it, offscreen: menus, the mouse on the canvas, the popup
// menu and the tool windows, the clipboard, crop, saving, keeping and discarding.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "gui_script.h"
#include "imageeditor/editor_state.h"
#include "imageeditor/image_editor.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "scoped_env.h"
#include "tolvek/temp_files.h"

using namespace imageeditor;
using namespace platform;
using guitest::Do;
using guitest::Script;

namespace {

constexpr const char* kTitle = "Edit picture";
constexpr int64_t kFlags = EIR_RememberGeometry | EIR_MenuSave | EIR_KeepDiscard | EIR_MenuBar |
                           EIR_ToolBar | EIR_StatusBar | EIR_AnnotationMenu;

EditorState& S() {
  return *RunningEditor();
}
QWidget* Canvas() {
  return GadgetWidget(S().canvas);
}
void Mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(p), Canvas()->mapToGlobal(QPointF(p)), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(Canvas(), &event);
}
void Hover(QPoint p) {
  Mouse(QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton);
}
// Hover (which finds the handle), press, move, release: one drag of the left button.
void Drag(QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton) {
  Hover(from);
  Mouse(QEvent::MouseButtonPress, from, button, button);
  Mouse(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button);
  Mouse(QEvent::MouseMove, to, Qt::NoButton, button);
  Mouse(QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}
void Menu(int id) {
  PostEvent(kEventMenu, S().window, 0, 0, id);
}
CanvasItem& Item(size_t i) {
  return *S().items.at(i);
}
bool Running() {
  return RunningEditor() != nullptr && S().canvas;
}
template <class T>
T* Widget(int window, const char* name) {
  return static_cast<T*>(GadgetWidget(FindGadgetByName(window, name)));
}

class EditorSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::path(::testing::TempDir()) /
            ("editor-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir / "home");
    m_home.emplace("HOME", (m_dir / "home").string());
    m_appdata.emplace("APPDATA", (m_dir / "home").string());
    m_tmp.emplace("TMPDIR", m_dir.string());
    tolvek::detail::InitPrivateTempDir("lumivex_tests");
    ClearScriptedAnswers();
  }
  void TearDown() override {
    ClearScriptedAnswers();
    tolvek::detail::ResetTempFilesForTest();
    std::filesystem::remove_all(m_dir);
  }
  // A white picture with a black square at (100, 100) to (149, 149).
  std::string Picture(int w = 400, int h = 300, const char* name = "picture.png",
                      int format = kImagePng) {
    int image = CreateImage(kNewNumber, w, h, Rgba(255, 255, 255, 255));
    StartDrawing(ImageOutput(image));
    Box(100, 100, 50, 50, Rgb(0, 0, 0));
    StopDrawing();
    std::string path = (m_dir / name).string();
    EXPECT_TRUE(SaveImage(image, path, format));
    FreeImage(image);
    return path;
  }
  int Run(const std::string& path, std::vector<Script::Step> steps, int64_t flags = kFlags) {
    Script script(std::move(steps), kTitle);
    int result = detail::EditImageRequester(kTitle, path, kNoParent, flags, "test");
    EXPECT_TRUE(script.Finished());
    return result;
  }
  std::filesystem::path m_dir;
  std::optional<lumivex_testing::ScopedEnv> m_home, m_appdata, m_tmp;
};

TEST_F(EditorSessionTest, ObjectsAreMadeSelectedMovedAndResizedByEachHandle) {
  const std::string path = Picture();
  struct HandleCase {
    QPoint from;  // on the selection (50, 50, 200, 100)
    double x, y, w, h;
  };
  const HandleCase handles[] = {
      {{150, 100}, 60, 60, 200, 100},  // move
      {{50, 100}, 60, 50, 190, 100},   // left edge
      {{50, 50}, 60, 60, 190, 90},     // top left
      {{150, 50}, 50, 60, 200, 90},    // top edge
      {{250, 50}, 50, 60, 210, 90},    // top right
      {{250, 100}, 50, 50, 210, 100},  // right edge
      {{250, 150}, 50, 50, 210, 110},  // bottom right
      {{150, 150}, 50, 50, 200, 110},  // bottom edge
      {{50, 150}, 60, 50, 190, 110},   // bottom left
  };
  std::vector<Script::Step> steps = {Running, Do([] {
                                       for (int kind = 21; kind <= 27; ++kind) Menu(kind);
                                     })};
  steps.push_back([] {
    if (S().items.size() != 7) return false;
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(Item(i).object->inittype, int64_t(21 + i));
    EXPECT_EQ(S().selection, &Item(6));
    EXPECT_EQ(Item(6).x, 50);
    EXPECT_EQ(Item(6).width, 200);
    // The topmost object at a point is chosen by a press.
    Mouse(QEvent::MouseButtonPress, {60, 60}, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, {60, 60}, Qt::LeftButton, Qt::NoButton);
    return true;
  });
  steps.push_back(Do([] {
    EXPECT_EQ(S().selection, &Item(6));
    // Only the top object is kept for the handles.
    while (S().items.size() > 1) S().items.erase(S().items.begin());
    S().selection = &Item(0);
  }));
  for (const HandleCase& c : handles) {
    steps.push_back(Do([c] {
      CanvasItem& item = Item(0);
      item.x = 50, item.y = 50, item.width = 200, item.height = 100;
      S().selection = &item;
      Drag(c.from, c.from + QPoint(10, 10));
    }));
    steps.push_back(Do([c] {
      CanvasItem& item = Item(0);
      EXPECT_EQ(item.x, c.x) << c.from.x() << "," << c.from.y();
      EXPECT_EQ(item.y, c.y) << c.from.x() << "," << c.from.y();
      EXPECT_EQ(item.width, c.w) << c.from.x() << "," << c.from.y();
      EXPECT_EQ(item.height, c.h) << c.from.x() << "," << c.from.y();
    }));
  }
  steps.push_back(Do([] {
    // A resize past the picture's left border stops there; a move does not.
    CanvasItem& item = Item(0);
    item.x = 50, item.y = 50, item.width = 200, item.height = 100;
    Drag({50, 100}, {-40, 100});
  }));
  steps.push_back(Do([] {
    EXPECT_EQ(Item(0).x, 0);
    EXPECT_EQ(Item(0).width, 250);
    Drag({100, 100}, {-100, 100});
  }));
  steps.push_back(Do([] {
    EXPECT_EQ(Item(0).x, -200);
    // Pressing on empty canvas selects nothing; dragging there draws a region up and left.
    Drag({350, 280}, {300, 250});
  }));
  steps.push_back(Do([] {
    EXPECT_TRUE(S().RegionSelected());
    EXPECT_EQ(S().region.width, -50);
    EXPECT_EQ(S().region.height, -30);
    // Arrow keys move and, with Shift, resize.
    QTest::keyClick(Canvas(), Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(Canvas(), Qt::Key_Down, Qt::ShiftModifier);
  }));
  steps.push_back(Do([] {
    EXPECT_EQ(S().region.x, 355);
    EXPECT_EQ(S().region.height, -29);
    PostEvent(kEventCloseWindow, S().window, -1);
  }));
  EXPECT_EQ(Run(path, steps), 0);
}

TEST_F(EditorSessionTest, ThePopupMenuAndTheToolWindowsEditTheObject) {
  const std::string path = Picture();
  AnnotationObject* note = nullptr;
  Run(path,
      {
          Running,
          Do([] { Menu(kKindNote); }),
          Do([&] {
            note = Item(0).object.get();
            // Right press and release over the object opens its menu.
            Hover({100, 80});
            Mouse(QEvent::MouseButtonPress, {100, 80}, Qt::RightButton, Qt::RightButton);
            Mouse(QEvent::MouseButtonRelease, {100, 80}, Qt::RightButton, Qt::NoButton);
          }),
          [&] {
            if (LastShownPopupMenu() < 0) return false;
            auto items = MenuItemTexts(LastShownPopupMenu());
            EXPECT_EQ(items.front(), "100:Line-Color ...");
            EXPECT_EQ(items.back(), "112:Store as template");
            EXPECT_EQ(S().current, note);
            TriggerMenuItem(LastShownPopupMenu(), kMenuLineColor);
            return true;
          },
          [&] {
            int w = FindWindowByTitle("Line-Color");
            if (w < 0) return false;
            EXPECT_EQ(GetGadgetState(FindGadgetByName(w, "spin_r")), 105);
            EXPECT_EQ(GetGadgetText(FindGadgetByName(w, "hex")), "FF696969");
            auto* hex = Widget<QLineEdit>(w, "hex");
            hex->selectAll();
            QTest::keyClicks(hex, "80000000");
            // The field keeps its width, and all eight digits show with the cursor at the end.
            EXPECT_EQ(hex->width(), 60);
            EXPECT_EQ(hex->cursorPosition(), 8);
            EXPECT_EQ(hex->cursorPositionAt(hex->contentsRect().topLeft() + QPoint(3, 10)), 0);
            return true;
          },
          [&] {
            if (note->Property("LineColor") != "-2147483648") return false;
            int w = FindWindowByTitle("Line-Color");
            EXPECT_EQ(GetGadgetState(FindGadgetByName(w, "spin_a")), 128);
            // A cancelled colour dialog changes nothing; a chosen colour keeps the alpha.
            ScriptColourAnswer(-1);
            QTest::mouseClick(GadgetWidget(FindGadgetByName(w, "basic")), Qt::LeftButton);
            return true;
          },
          [&] {
            EXPECT_EQ(note->Property("LineColor"), "-2147483648");
            ScriptColourAnswer(Rgb(0, 255, 0));
            QTest::mouseClick(
                GadgetWidget(FindGadgetByName(FindWindowByTitle("Line-Color"), "basic")),
                Qt::LeftButton);
            return true;
          },
          [&] {
            if (note->Property("LineColor") != ColourText(Rgba(0, 255, 0, 128))) return false;
            Menu(kMenuLineThickness);
            return true;
          },
          [&] {
            int w = FindWindowByTitle("Line-Thickness");
            if (w < 0) return false;
            auto* spin = Widget<QSpinBox>(w, "spin");
            EXPECT_EQ(spin->value(), 2);
            spin->setValue(12);  // as the arrows do
            return true;
          },
          [&] {
            if (note->Property("LineThickness") != "12") return false;
            EXPECT_EQ(
                GetGadgetState(FindGadgetByName(FindWindowByTitle("Line-Thickness"), "track")), 12);
            Menu(kMenuArrowRight);
            Menu(kMenuSetAsDefault);
            // Double click inside the object: the text window.
            Hover({100, 80});
            Mouse(QEvent::MouseButtonDblClick, {100, 80}, Qt::LeftButton, Qt::LeftButton);
            return true;
          },
          [&] {
            int w = FindWindowByTitle("Text");
            if (w < 0) return false;
            EXPECT_EQ(note->Property("Arrow"), "Right");
            EXPECT_EQ(GetGadgetState(FindGadgetByName(w, "Left")), 1);
            auto* editor = Widget<QPlainTextEdit>(w, "editor");
            editor->selectAll();
            QTest::keyClicks(editor, "Look here");
            QTest::mouseClick(GadgetWidget(FindGadgetByName(w, "Right")), Qt::LeftButton);
            QTest::mouseClick(GadgetWidget(FindGadgetByName(w, "Right")), Qt::LeftButton);
            return true;
          },
          [&] {
            if (note->Property("Text") != "Look here") return false;
            int w = FindWindowByTitle("Text");
            EXPECT_EQ(note->Property("TextAlignH"), "Right");
            EXPECT_EQ(GetGadgetState(FindGadgetByName(w, "Right")), 1);  // stays pressed
            EXPECT_EQ(GetGadgetState(FindGadgetByName(w, "Left")), 0);
            Menu(kMenuStoreTemplate);
            return true;
          },
          [&] {
            int box = FindWindowByTitle("Store as template ...");
            if (box < 0) return false;
            // Over the editor, not at the screen's corner.
            EXPECT_NEAR(WindowX(box) + WindowWidth(box) / 2,
                        WindowX(S().window) + WindowWidth(S().window) / 2, 2);
            EXPECT_NEAR(WindowY(box) + WindowHeight(box) / 2,
                        WindowY(S().window) + WindowHeight(S().window) / 2, 2);
            auto* field = GadgetWidget(FindGadgetByName(box, "field"))->findChild<QLineEdit*>();
            QTest::keyClicks(field, " my note ");
            QTest::keyClick(field, Qt::Key_Return);
            return true;
          },
          [&] {
            if (FindWindowByTitle("Store as template ...") >= 0) return false;
            EXPECT_TRUE(HasMatchingTemplate(S().annotations, *note));
            Mouse(QEvent::MouseButtonPress, {100, 80}, Qt::RightButton, Qt::RightButton);
            Mouse(QEvent::MouseButtonRelease, {100, 80}, Qt::RightButton, Qt::NoButton);
            return true;
          },
          [&] {
            EXPECT_EQ(MenuItemTexts(LastShownPopupMenu()).back(), "113:Remove from templates");
            TriggerMenuItem(LastShownPopupMenu(), kMenuRemoveTemplate);
            return true;
          },
          [&] {
            EXPECT_FALSE(HasMatchingTemplate(S().annotations, *note));
            // The object goes: its tool windows close with it.
            Menu(kMenuDelete);
            return true;
          },
          [&] {
            EXPECT_TRUE(S().items.empty());
            EXPECT_EQ(FindWindowByTitle("Text"), -1);
            EXPECT_EQ(FindWindowByTitle("Line-Thickness"), -1);
            EXPECT_EQ(FindWindowByTitle("Line-Color"), -1);
            EXPECT_EQ(S().current, nullptr);
            // A new note takes the stored defaults.
            Menu(kKindNote);
            return true;
          },
          [&] {
            EXPECT_EQ(Item(0).object->Property("LineThickness"), "12");
            EXPECT_EQ(Item(0).object->Property("Arrow"), "Right");
            Menu(kMenuDiscard);
            return true;
          },
      });
}

// The colour window's preview: 5 x 5 checkerboard squares (white at the top left), and the
// colour blended over them in a box three pixels in from each side.
TEST_F(EditorSessionTest, TheColourPreviewShowsTheColourOverTheCheckerboard) {
  const std::string path = Picture();
  auto checkerboard = [](int x, int y) {
    return ((x / 5) + (y / 5)) % 2 ? qRgb(9, 10, 1) : qRgb(255, 255, 255);
  };
  // Every pixel of the preview against the one expected; the first that differs.
  auto expectPreview = [&](uint32_t colour, bool withBox) {
    QImage* buffer = CanvasBuffer(FindGadgetByName(FindWindowByTitle("Fill-Color"), "preview"));
    ASSERT_NE(buffer, nullptr);
    const int w = buffer->width(), h = buffer->height();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool inBox = withBox && x >= 3 && y >= 3 && x <= w - 4 && y <= h - 4;
        const QRgb want =
            inBox ? qRgb(Red(colour), Green(colour), Blue(colour)) : checkerboard(x, y);
        ASSERT_EQ(buffer->pixel(x, y), want) << "at " << x << "," << y;
      }
  };
  const uint32_t opaque = Rgba(200, 30, 60, 255);
  Run(path, {
                Running,
                Do([] { Menu(kKindRectangle); }),
                Do([&] {
                  S().current = Item(0).object.get();
                  S().current->properties["FillColor"] = ColourText(opaque);
                  Menu(kMenuFillColor);
                }),
                [&] {
                  if (FindWindowByTitle("Fill-Color") < 0) return false;
                  // Shown as the window opens, before any change.
                  expectPreview(opaque, true);
                  auto* hex = Widget<QLineEdit>(FindWindowByTitle("Fill-Color"), "hex");
                  hex->selectAll();
                  QTest::keyClicks(hex, "003C1EC8");  // the same colour, fully transparent
                  return true;
                },
                [&] {
                  if (Item(0).object->Property("FillColor") != ColourText(Rgba(200, 30, 60, 0)))
                    return false;
                  expectPreview(0, false);
                  Menu(kMenuDiscard);
                  return true;
                },
            });
}

// Escape closes each tool window whichever of its controls has the focus, as its close box
// does; the editor stays open.
TEST_F(EditorSessionTest, EscapeClosesEachToolWindowWhateverHasTheFocus) {
  const std::string path = Picture();
  struct FocusCase {
    int menu;
    const char* title;
    const char* gadget;
  };
  const FocusCase cases[] = {
      {kMenuLineColor, "Line-Color", "hex"},
      {kMenuLineColor, "Line-Color", "spin_g"},
      {kMenuLineColor, "Line-Color", "track_a"},
      {kMenuLineColor, "Line-Color", "basic"},
      {kMenuLineThickness, "Line-Thickness", "spin"},
      {kMenuLineThickness, "Line-Thickness", "track"},
      {kMenuText, "Text", "editor"},
      {kMenuText, "Text", "Center"},
  };
  std::vector<Script::Step> steps = {Running, Do([] { Menu(kKindNote); })};
  for (const FocusCase& c : cases) {
    steps.push_back(Do([c] {
      S().current = Item(0).object.get();
      Menu(c.menu);
    }));
    steps.push_back([c] {
      const int w = FindWindowByTitle(c.title);
      if (w < 0) return false;
      QWidget* focus = GadgetWidget(FindGadgetByName(w, c.gadget));
      focus->window()->activateWindow();
      focus->setFocus();
      return true;
    });
    steps.push_back([c] {
      QWidget* focus = GadgetWidget(FindGadgetByName(FindWindowByTitle(c.title), c.gadget));
      if (QApplication::activeWindow() != focus->window() || !focus->hasFocus()) return false;
      QTest::keyClick(focus, Qt::Key_Escape);
      return true;
    });
    steps.push_back([c] {
      if (FindWindowByTitle(c.title) >= 0) return false;
      EXPECT_TRUE(Running()) << c.title << " " << c.gadget;
      EXPECT_EQ(S().items.size(), 1u);
      return true;
    });
  }
  steps.push_back(Do([] { Menu(kMenuDiscard); }));
  EXPECT_EQ(Run(path, steps), 0);
}

// A tool window opens with the keyboard in its main control: what the user types next edits
// the object without a click first.
TEST_F(EditorSessionTest, EachToolWindowOpensWithTheKeyboardInItsMainControl) {
  const std::string path = Picture();
  struct KeyboardCase {
    int menu;
    const char* title;
    const char* gadget;
    std::function<void(QWidget*)> type;
    const char* property;
    std::string stored;
  };
  const KeyboardCase cases[] = {
      {kMenuText, "Text", "editor", [](QWidget* w) { QTest::keyClicks(w, "Look"); }, "Text",
       "Look"},
      {kMenuLineColor, "Line-Color", "hex",
       [](QWidget* w) {
         QTest::keyClick(w, Qt::Key_End);
         for (int i = 0; i < 8; ++i) QTest::keyClick(w, Qt::Key_Backspace);
         QTest::keyClicks(w, "FF0000FF");
       },
       "LineColor", ColourText(Rgba(255, 0, 0, 255))},
      {kMenuLineThickness, "Line-Thickness", "spin",
       [](QWidget* w) { QTest::keyClick(w, Qt::Key_Up); }, "LineThickness", "3"},
  };
  std::vector<Script::Step> steps = {Running, Do([] { Menu(kKindNote); })};
  for (const KeyboardCase& c : cases) {
    steps.push_back(Do([&c] {
      S().current = Item(0).object.get();
      S().current->properties["Text"] = "";
      S().current->properties["LineThickness"] = "2";
      // The editor window has the keyboard, as after the click that opened the menu.
      QWidget* editor = WindowWidget(S().window);
      editor->activateWindow();
      Canvas()->setFocus();
      Menu(c.menu);
    }));
    // The window system activates a window in its own time: wait for it.
    steps.push_back([&c] {
      const int w = FindWindowByTitle(c.title);
      return w >= 0 && QApplication::activeWindow() == WindowWidget(w);
    });
    steps.push_back(Do([&c] {
      QWidget* control = GadgetWidget(FindGadgetByName(FindWindowByTitle(c.title), c.gadget));
      QWidget* focus = QApplication::focusWidget();
      if (focus && (focus == control || control->isAncestorOf(focus))) return c.type(focus);
      ADD_FAILURE() << "the keyboard is not in the " << c.title << " window's " << c.gadget;
      Menu(kMenuDiscard);
    }));
    steps.push_back([&c] {
      if (Item(0).object->Property(c.property) != c.stored) return false;
      PostEvent(kEventCloseWindow, FindWindowByTitle(c.title), -1);
      return true;
    });
  }
  steps.push_back(Do([] { Menu(kMenuDiscard); }));
  EXPECT_EQ(Run(path, steps), 0);
}

// Fit shows the whole picture without scroll bars, whichever side limits it: the canvas's
// last row and column lie inside the area the user sees.
TEST_F(EditorSessionTest, FitShowsTheWholePictureWithoutScrollBars) {
  const std::string path = Picture(800, 600);
  struct SizeCase {
    int width, height;  // the window's inner size; 0 keeps the opening size
  };
  const SizeCase cases[] = {{0, 0}, {700, 360}, {300, 640}, {820, 720}};
  std::vector<Script::Step> steps = {Running};
  for (const SizeCase& c : cases) {
    steps.push_back(Do([c] {
      if (c.width) ResizeWindow(S().window, kKeepValue, kKeepValue, c.width, c.height);
      Menu(kMenuFit);
    }));
    // The new size and the fit it asks for arrive in their own time.
    steps.push_back([c] {
      if (c.width && WindowWidth(S().window) != c.width) return false;
      if (GadgetWidth(S().scroll) != WindowWidth(S().window)) return false;
      const double sw = GadgetWidth(S().scroll), sh = GadgetHeight(S().scroll);
      return S().zoomMode == kZoomFit && S().zoom == std::min({sw / 800, sh / 600, 1.0});
    });
    steps.push_back(Do([c] {
      auto* area = static_cast<QScrollArea*>(GadgetWidget(S().scroll));
      const QString size = QString("%1 x %2").arg(c.width).arg(c.height);
      EXPECT_FALSE(area->horizontalScrollBar()->isVisible()) << size.toStdString();
      EXPECT_FALSE(area->verticalScrollBar()->isVisible()) << size.toStdString();
      QWidget* view = area->viewport();
      const QPoint last =
          Canvas()->mapTo(view, QPoint(Canvas()->width() - 1, Canvas()->height() - 1));
      EXPECT_TRUE(view->rect().contains(last)) << size.toStdString();
      EXPECT_TRUE(view->rect().contains(Canvas()->mapTo(view, QPoint(0, 0))));
      // The picture fills the view on its limiting side.
      EXPECT_TRUE(Canvas()->width() == view->width() || Canvas()->height() == view->height() ||
                  S().zoom == 1.0)
          << size.toStdString();
    }));
  }
  steps.push_back(Do([] { Menu(kMenuDiscard); }));
  EXPECT_EQ(Run(path, steps), 0);
}

// A region at (40, 30), 100 x 60 on the 400 x 300 picture at zoom 1: x and y differ, so a
// side that takes the other axis's value shows.
TEST_F(EditorSessionTest, ADoubleClickOnAHandleStretchesThatSideToThePictureBorder) {
  const std::string path = Picture();
  struct HandleCase {
    QPoint at;
    double x, y, w, h;
  };
  const HandleCase cases[] = {
      {{40, 60}, 0, 30, 140, 60},     // left edge
      {{40, 30}, 0, 0, 140, 90},      // top left
      {{90, 30}, 40, 0, 100, 90},     // top edge
      {{140, 30}, 40, 0, 360, 90},    // top right
      {{140, 60}, 40, 30, 360, 60},   // right edge
      {{140, 90}, 40, 30, 360, 270},  // bottom right
      {{90, 90}, 40, 30, 100, 270},   // bottom edge
      {{40, 90}, 0, 30, 140, 270},    // bottom left
  };
  auto setRegion = [] {
    S().selection = &S().region;
    S().region.x = 40, S().region.y = 30, S().region.width = 100, S().region.height = 60;
  };
  std::vector<Script::Step> steps = {Running};
  for (const HandleCase& c : cases) {
    steps.push_back(Do([c, setRegion] {
      setRegion();
      Hover(c.at);
      Mouse(QEvent::MouseButtonDblClick, c.at, Qt::LeftButton, Qt::LeftButton);
      Mouse(QEvent::MouseButtonRelease, c.at, Qt::LeftButton, Qt::NoButton);
    }));
    steps.push_back(Do([c] {
      const CanvasItem& r = S().region;
      EXPECT_EQ(std::vector<double>({r.x, r.y, r.width, r.height}),
                std::vector<double>({c.x, c.y, c.w, c.h}))
          << "at " << c.at.x() << "," << c.at.y();
    }));
  }
  // Dragged past the opposite side, an edge leaves the region one pixel wide or high.
  steps.push_back(Do([setRegion] {
    setRegion();
    Drag({140, 60}, {10, 60});
  }));
  steps.push_back(Do([setRegion] {
    EXPECT_EQ(S().region.width, 1);
    EXPECT_EQ(S().region.x, 40);
    setRegion();
    Drag({90, 30}, {90, 200});
  }));
  steps.push_back(Do([] {
    EXPECT_EQ(S().region.height, 1);
    // Cropped from (30, 70): the picture's pixel (100, 100) moves to (70, 30), and so do the
    // objects.
    Menu(kKindRectangle);
  }));
  steps.push_back(Do([] {
    Item(0).x = 200, Item(0).y = 150;
    S().selection = &S().region;
    S().region.x = 30, S().region.y = 70, S().region.width = 100, S().region.height = 50;
    Menu(kMenuCrop);
  }));
  steps.push_back([] {
    if (S().Width() != 100) return false;
    EXPECT_EQ(S().Height(), 50);
    EXPECT_EQ(ImagePixel(S().working, 70, 30), Rgba(0, 0, 0, 255));
    EXPECT_EQ(ImagePixel(S().working, 69, 30), Rgba(255, 255, 255, 255));
    EXPECT_EQ(ImagePixel(S().working, 70, 29), Rgba(255, 255, 255, 255));
    EXPECT_EQ(Item(0).x, 170);
    EXPECT_EQ(Item(0).y, 80);
    Menu(kMenuDiscard);
    return true;
  });
  EXPECT_EQ(Run(path, steps), 0);
}

TEST_F(EditorSessionTest, RegionsAndObjectsGoThroughTheClipboard) {
  const std::string path = Picture();
  Run(path, {
                Running,
                Do([] {
                  // A region drawn up and left over the black square.
                  Drag({160, 160}, {90, 90});
                }),
                Do([] {
                  SetClipboardText("");
                  Menu(kMenuCopy);
                }),
                Do([] {
                  int copied = GetClipboardImage(kNewNumber);
                  ASSERT_NE(copied, 0);
                  EXPECT_EQ(ImageWidth(copied), 70);
                  EXPECT_EQ(ImagePixel(copied, 0, 0), Rgba(255, 255, 255, 255));
                  EXPECT_EQ(ImagePixel(copied, 20, 20), Rgba(0, 0, 0, 255));
                  FreeImage(copied);
                  SetClipboardText("");
                  // Cut of a region: the area turns black at once.
                  Drag({10, 10}, {60, 40});
                  Menu(kMenuCut);
                }),
                Do([] {
                  EXPECT_EQ(S().selection, nullptr);
                  EXPECT_EQ(ImagePixel(S().working, 30, 20), Rgba(0, 0, 0, 255));
                  EXPECT_EQ(ImagePixel(S().working, 70, 20), Rgba(255, 255, 255, 255));
                  Menu(kMenuPaste);
                }),
                Do([] {
                  ASSERT_EQ(S().items.size(), 1u);
                  EXPECT_EQ(Item(0).kind, kItemImage);
                  EXPECT_EQ(Item(0).x, 50);
                  EXPECT_EQ(Item(0).width, 50);
                  // An object copied and pasted keeps its properties and view size.
                  Menu(kKindEllipse);
                }),
                Do([] {
                  Item(1).object->properties["LineColor"] = "-16711936";
                  Menu(kMenuCopy);
                  Menu(kMenuPaste);
                }),
                Do([] {
                  ASSERT_EQ(S().items.size(), 3u);
                  EXPECT_EQ(Item(2).object->Property("LineColor"), "-16711936");
                  EXPECT_EQ(Item(2).object->inittype, kKindEllipse);
                  EXPECT_EQ(Item(2).width, 200);
                  // Cut of an object: its text on the clipboard, the object gone.
                  Menu(kMenuCut);
                }),
                Do([] {
                  EXPECT_EQ(S().items.size(), 2u);
                  EXPECT_EQ(GetClipboardText().rfind(kAnnotationClipboardMarker, 0), 0u);
                  // Plain text on the clipboard: paste does nothing.
                  SetClipboardText("/home/user/picture.png");
                  Menu(kMenuPaste);
                  Menu(kMenuSelectNone);
                  Menu(kMenuCut);  // nothing selected: nothing happens
                }),
                Do([] {
                  EXPECT_EQ(S().items.size(), 2u);
                  SetClipboardText(std::string(kAnnotationClipboardMarker) + "nan,1,1,21,21;");
                  Menu(kMenuPaste);
                }),
                Do([] {
                  EXPECT_EQ(S().items.size(), 2u);
                  PostEvent(kEventCloseWindow, S().window, -1);
                }),
            });
}

TEST_F(EditorSessionTest, CropAtHalfZoomKeepsTheItemsOnTheirPartOfThePicture) {
  const std::string path = Picture(800, 600);
  Run(path, {
                Running,
                Do([] {
                  // A scroll area 400 wide and at least 300 high fits the picture at 0.5.
                  ResizeWindow(S().window, kKeepValue, kKeepValue, 400, 520);
                }),
                Do([] { Menu(kMenuFit); }),
                Do([] {
                  EXPECT_EQ(S().zoom, 0.5);
                  Menu(kKindRectangle);
                }),
                Do([] {
                  Item(0).x = 60, Item(0).y = 60;
                  S().selection = nullptr;
                  Drag({40, 40}, {140, 90});
                }),
                Do([] {
                  EXPECT_TRUE(S().RegionSelected());
                  Menu(kMenuCrop);
                }),
                [] {
                  if (S().Width() != 200) return false;
                  EXPECT_EQ(S().Height(), 100);
                  // The picture's pixel (100, 100) is now at (20, 20).
                  EXPECT_EQ(ImagePixel(S().working, 20, 20), Rgba(0, 0, 0, 255));
                  EXPECT_EQ(ImagePixel(S().working, 19, 19), Rgba(255, 255, 255, 255));
                  EXPECT_EQ(S().selection, nullptr);
                  return true;
                },
                [] {
                  if (S().zoom != 1.0) return false;  // refitted: the small picture shows at 1:1
                  EXPECT_EQ(Item(0).x, 40);
                  EXPECT_EQ(Item(0).y, 40);
                  PostEvent(kEventCloseWindow, S().window, -1);
                  return true;
                },
            });
}

TEST_F(EditorSessionTest, SavingFlattensAndKeepingWritesBackWhileDiscardingLeavesTheFile) {
  // A blank transparent picture (0 bytes) with three objects.
  const std::string path = (m_dir / "blank.bmp").string();
  std::ofstream(path).close();
  const std::string png = (m_dir / "out.png").string(), bmp = (m_dir / "out").string(),
                    jpg = (m_dir / "out.jpg").string(), gif = (m_dir / "out.gif").string();
  const int kept = Run(path, {
                                 Running,
                                 Do([] {
                                   Menu(kKindRectangle);
                                   Menu(kKindHighlighter);
                                   Menu(kKindNote);
                                 }),
                                 Do([&] {
                                   Item(0).x = 10, Item(0).y = 10;
                                   Item(1).x = 300, Item(1).y = 10;
                                   Item(2).x = 10, Item(2).y = 200;
                                   ScriptFileAnswer(png, 0);
                                   Menu(kMenuSave);
                                 }),
                                 Do([&] {
                                   ScriptFileAnswer(bmp, 1);  // no extension: the pattern's
                                   Menu(kMenuSave);
                                 }),
                                 Do([&] {
                                   ScriptFileAnswer(jpg, 2);
                                   Menu(kMenuSave);
                                 }),
                                 Do([&] {
                                   ScriptMessageAnswer(kResultOk);
                                   ScriptFileAnswer(gif, 0);
                                   Menu(kMenuSave);
                                 }),
                                 Do([] { Menu(kMenuKeep); }),
                             });
  EXPECT_EQ(kept, 1);
  EXPECT_FALSE(std::filesystem::exists(gif));
  // Four save dialogs and the message about the extension.
  ASSERT_EQ(ShownMessages().size(), 5u);
  EXPECT_NE(ShownMessages().back().text.find("PNG, BMP or JPG"), std::string::npos);
  for (const std::string& file : {png, bmp + ".bmp", path}) {
    SCOPED_TRACE(file);
    int image = LoadImage(kNewNumber, file);
    ASSERT_NE(image, 0);
    EXPECT_EQ(ImageWidth(image), 640);
    EXPECT_EQ(ImagePixel(image, 10, 10), Rgba(255, 0, 0, 255));  // the frame
    EXPECT_EQ(ImagePixel(image, 100, 50), 0u);                   // alpha kept
    EXPECT_EQ(ImagePixel(image, 400, 50), 0u);  // the highlighter colours only light pixels
    EXPECT_EQ(ImagePixel(image, 211, 248), Rgba(0, 0, 0, 200));  // the note's shadow
    FreeImage(image);
  }
  int image = LoadImage(kNewNumber, jpg);
  ASSERT_NE(image, 0);
  const uint32_t white = ImagePixel(image, 100, 50);
  EXPECT_GT(Red(white) + Green(white) + Blue(white), 740u);  // over white
  FreeImage(image);

  // Discarding leaves the file as it was.
  const auto before = std::filesystem::file_size(path);
  EXPECT_EQ(Run(path, {Running, Do([] { Menu(kKindEllipse); }), Do([] { Menu(kMenuDiscard); })}),
            0);
  EXPECT_EQ(std::filesystem::file_size(path), before);
}

TEST_F(EditorSessionTest, SavingKeepsAFilesPermissionsAndLeavesAReadOnlyFileAlone) {
  const std::string own = Picture(400, 300, "own.png"), locked = Picture(400, 300, "locked.png");
  namespace fs = std::filesystem;
  fs::permissions(own, fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  auto bytesOf = [](const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };
  const std::string ownBefore = bytesOf(own), lockedBefore = bytesOf(locked);
  Run(own, {Running, Do([] { Menu(kKindRectangle); }), Do([&] {
              ScriptFileAnswer(own, 0);
              Menu(kMenuSave);
            }),
            Do([&] {
              ScriptMessageAnswer(kResultOk);
              ScriptFileAnswer(locked, 0);
              Menu(kMenuSave);
            }),
            Do([] { Menu(kMenuDiscard); })});
  EXPECT_NE(bytesOf(own), ownBefore);
  EXPECT_EQ(fs::status(own).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(bytesOf(locked), lockedBefore);
  ASSERT_FALSE(ShownMessages().empty());
  EXPECT_NE(ShownMessages().back().text.find("Couldn't save"), std::string::npos);

  // Kept over a read-only file: refused with a message, the file as it was.
  ScriptMessageAnswer(kResultOk);
  {
    Script script({Running, Do([] { Menu(kKindEllipse); }), Do([] { Menu(kMenuKeep); })}, kTitle);
    EXPECT_EQ(EditImageRequesterFromPath(kTitle, locked, kNoParent, kFlags, "t"), 0);
  }
  EXPECT_EQ(bytesOf(locked), lockedBefore);
  EXPECT_NE(ShownMessages().back().text.find("Couldn't write"), std::string::npos);
}

TEST_F(EditorSessionTest, PastesStayWithinThePictureAndAPastedPictureIsOpaque) {
  const std::string path = Picture();
  const std::string m = kAnnotationClipboardMarker;
  Run(path,
      {
          Running,
          Do([&] {
            // Taller and wider than the 400 x 300 picture, with a pointer head far out.
            SetClipboardText(m + "1,5000,-9000,21,21;Arrow\1Left\2ArrowHeadHeight\1-2000000000");
            Menu(kMenuPaste);
          }),
          Do([] {
            ASSERT_EQ(S().items.size(), 1u);
            EXPECT_EQ(Item(0).width, 400);
            EXPECT_EQ(Item(0).height, -300);
            Menu(kMenuDelete);
            // A picture with a transparent left half.
            int picture = CreateImage(kNewNumber, 20, 10, Rgba(0, 0, 255, 255));
            StartDrawing(ImageOutput(picture));
            DrawingMode(kDrawAllChannels);
            Box(0, 0, 10, 10, Rgba(0, 0, 0, 0));
            StopDrawing();
            SetClipboardImage(picture);  // and no text
            FreeImage(picture);
            Menu(kMenuPaste);
          }),
          Do([] {
            ASSERT_EQ(S().items.size(), 1u);
            ASSERT_EQ(Item(0).kind, kItemImage);
            EXPECT_EQ(ImagePixel(Item(0).image, 2, 2) >> 24, 255u);
            EXPECT_EQ(ImagePixel(Item(0).image, 15, 5), Rgba(0, 0, 255, 255));
            Menu(kMenuKeep);
          }),
      });
  // Over the picture's white the kept picture has no hole.
  int kept = LoadImage(kNewNumber, path);
  ASSERT_NE(kept, 0);
  EXPECT_EQ(ImagePixel(kept, 52, 52) >> 24, 255u);
  EXPECT_EQ(ImagePixel(kept, 65, 55), Rgba(0, 0, 255, 255));
  FreeImage(kept);
}

TEST_F(EditorSessionTest, EntryPointsKeepTheFormatAndRefuseWhatTheyCannotOpen) {
  const std::string jpg = Picture(400, 300, "photo.JPG", kImageJpeg);
  {
    Script script({Running, Do([] { Menu(kKindRectangle); }), Do([] { Menu(kMenuKeep); })}, kTitle);
    EXPECT_EQ(EditImageRequesterFromPath(kTitle, jpg, kNoParent, kFlags, "t"), 1);
  }
  std::ifstream in(jpg, std::ios::binary);
  unsigned char magic[2] = {};
  in.read(reinterpret_cast<char*>(magic), 2);
  EXPECT_EQ(magic[0], 0xFF);  // JPEG data under the capital extension
  EXPECT_EQ(magic[1], 0xD8);

  // The formats the extension names, each as its own readers know it.
  struct WriteBack {
    const char* name;
    std::string magic;
  };
  const WriteBack formats[] = {{"shot.tga", "TRUEVISION-XFILE."},
                               {"shot.ICO", std::string("\0\0\1\0", 4)},
                               {"shot.tif", "II*"},
                               {"shot.tiff", "II*"}};
  for (const WriteBack& f : formats) {
    SCOPED_TRACE(f.name);
    const std::string file = Picture(200, 100, f.name);  // PNG data to begin with
    {
      Script script({Running, Do([] { Menu(kKindRectangle); }), Do([] { Menu(kMenuKeep); })},
                    kTitle);
      EXPECT_EQ(EditImageRequesterFromPath(kTitle, file, kNoParent, kFlags, "t"), 1);
    }
    std::ifstream written(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(written)), {});
    const bool atEnd = f.magic.size() > 4;
    ASSERT_GT(bytes.size(), f.magic.size());
    EXPECT_EQ(atEnd ? bytes.substr(bytes.size() - 18, 17) : bytes.substr(0, f.magic.size()),
              f.magic);
    QImage back(QString::fromStdString(file));
    EXPECT_EQ(back.size(), QSize(200, 100));
    EXPECT_EQ(back.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(back.pixel(52, 60), qRgb(255, 0, 0));  // the new object's frame
  }

  // A missing file: a blank picture and a message; the picture is kept as BMP.
  const std::string missing = (m_dir / "missing.gif").string();
  ScriptMessageAnswer(kResultOk);
  {
    Script script({Running,
                   [] {
                     EXPECT_EQ(S().Width(), 640);
                     Menu(kMenuKeep);
                     return true;
                   }},
                  kTitle);
    EXPECT_EQ(EditImageRequesterFromPath(kTitle, missing, kNoParent, kFlags, "t"), 1);
  }
  EXPECT_EQ(ShownMessages().size(), 1u);
  std::ifstream gif(missing, std::ios::binary);
  char bm[2] = {};
  gif.read(bm, 2);
  EXPECT_EQ(std::string(bm, 2), "BM");

  // A picture too large is refused with a message, without an editor.
  const std::string large = Picture(kMaxPictureSide + 1, 2, "large.png");
  ScriptMessageAnswer(kResultOk);
  EXPECT_EQ(EditImageRequesterFromPath(kTitle, large, kNoParent, kFlags, "t"), 0);
  EXPECT_EQ(ShownMessages().size(), 2u);

  // The in-memory entry point gives back the very picture when nothing was kept.
  int picture = CreateImage(kNewNumber, 20, 10);
  {
    Script script({Running, Do([] { Menu(kMenuDiscard); })}, kTitle);
    EXPECT_EQ(EditImageRequesterFromZemId(kTitle, picture, kNoParent, kFlags, "t", true), picture);
  }
  EXPECT_TRUE(IsImage(picture));
}

}  // namespace
