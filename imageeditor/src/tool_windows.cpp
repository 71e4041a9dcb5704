// The three tool windows beside the editor: colour, number and text. They write every change
// into the editor's current object at once; when that object goes, they close.
#include <algorithm>
#include <cstdio>

#include "editor_internal.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace imageeditor::detail {

namespace {

constexpr int kCloseId = 1;  // Escape in a tool window

struct ColourWindow {
  int window = 0;
  int track[4] = {}, spin[4] = {};
  int hex = 0, basic = 0, preview = 0;
  int checkerboard = 0, hexFont = 0;
};
struct TrackBarWindow {
  int window = 0, track = 0, spin = 0;
};
struct TextWindow {
  int window = 0, editor = 0;
  int alignH[3] = {}, alignV[3] = {};
};
struct ToolState {
  ColourWindow colour;
  TrackBarWindow number;
  TextWindow text;
};
ToolState& Tools() {
  static ToolState state;
  return state;
}

const char* const kAlignH[] = {"Left", "Center", "Right"};
const char* const kAlignV[] = {"Top", "Middle", "Bottom"};

int OpenToolWindow(EditorState& s, int w, int h) {
  using namespace platform;
  int window =
      OpenWindow(kNewNumber, 0, 0, w, h, "",
                 kWindowTool | kWindowTitleBar | kWindowCloseBox | kWindowInvisible, s.window);
  if (!window) return 0;
  ResizeWindow(window, int(s.current->x + s.current->width + 50), int(s.current->y), kKeepValue,
               kKeepValue);
  return window;
}

// A tool window shown is not yet the active one (window managers hold a utility window back,
// and nothing activates it without one): the user's next keys would still go to the editor.
void ShowToolWindow(int window, int keyboardGadget) {
  using namespace platform;
  StickyWindow(window, true);
  HideWindow(window, false);
  AddKeyboardShortcut(window, "Escape", kCloseId);
  SetActiveWindow(window);
  SetActiveGadget(keyboardGadget);
}

void Close(int& window) {
  if (window && platform::IsWindow(window)) platform::CloseWindow(window);
  window = 0;
}

// 5 x 5 squares, white at the top left, showing through transparent colours.
int Checkerboard() {
  using namespace platform;
  int& board = Tools().colour.checkerboard;
  if (board && IsImage(board)) return board;
  board = CreateImage(kNewNumber, 50, 20, Rgb(255, 255, 255) | 0xFF000000u);
  StartDrawing(ImageOutput(board));
  for (int y = 0; y < 20; y += 5)
    for (int x = 0; x < 50; x += 5)
      if (((x / 5) + (y / 5)) % 2) Box(x, y, 5, 5, Rgb(9, 10, 1));
  StopDrawing();
  return board;
}

// The largest font in which eight of the widest hex digits fit the hex field's 60 pixels,
// less its frame and margins; the standard font cuts off the first digit.
int HexFont() {
  using namespace platform;
  int& font = Tools().colour.hexFont;
  if (font && IsFont(font)) return font;
  constexpr int kRoom = 60 - 12;
  const int scratch = CreateImage(kNewNumber, 1, 1);
  if (!scratch) return 0;
  for (int points = 10; points >= 6; --points) {
    font = LoadFont(kNewNumber, "", points);
    int widest = 0;
    if (font && StartDrawing(ImageOutput(scratch))) {
      DrawingFont(font);
      for (char digit : std::string("0123456789ABCDEF"))
        widest = std::max(widest, TextWidth(std::string(1, digit)));
      StopDrawing();
    }
    if (font && 8 * widest <= kRoom) break;
    if (font && points > 6) FreeFont(font), font = 0;
  }
  FreeImage(scratch);
  return font;
}

uint32_t ColourOfFields() {
  const ColourWindow& c = Tools().colour;
  uint32_t colour = 0;
  for (int i = 0; i < 4; ++i)
    colour |= uint32_t(platform::GetGadgetState(c.spin[i]) & 0xFF) << (8 * i);
  return colour;
}

std::string HexText(uint32_t colour) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", colour);
  return buffer;
}

void ShowColour(uint32_t colour, bool hexToo) {
  using namespace platform;
  ColourWindow& c = Tools().colour;
  for (int i = 0; i < 4; ++i) {
    SetGadgetState(c.track[i], (colour >> (8 * i)) & 0xFF);
    SetGadgetState(c.spin[i], (colour >> (8 * i)) & 0xFF);
  }
  // Alpha first: the eight digits of the packed value.
  if (hexToo) SetGadgetText(c.hex, HexText(colour));
}

void DrawPreview(uint32_t colour) {
  using namespace platform;
  ColourWindow& c = Tools().colour;
  // Made before the canvas drawing starts: making it draws too, which would end that drawing.
  const int board = Checkerboard();
  if (!StartDrawing(CanvasOutput(c.preview))) return;
  DrawingMode(kDrawDefault);
  DrawImage(board, 0, 0);
  DrawingMode(kDrawAlphaBlend);
  Box(3, 3, OutputWidth() - 6, OutputHeight() - 6, colour);
  StopDrawing();
}

std::string ColourProperty() {
  return platform::GetWindowTitle(Tools().colour.window) == "Line-Color" ? "LineColor"
                                                                         : "FillColor";
}

bool ColourEvent(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_ManageWindowColorEvents");
  using namespace platform;
  ColourWindow& c = Tools().colour;
  if (EventKind() == kEventCloseWindow || (EventKind() == kEventMenu && EventMenu() == kCloseId)) {
    Close(c.window);
    return false;
  }
  if (EventKind() != kEventGadget) return false;
  const int g = EventGadget();
  bool changed = false;
  for (int i = 0; i < 4; ++i) {
    if (g == c.spin[i]) SetGadgetState(c.track[i], GetGadgetState(c.spin[i])), changed = true;
    if (g == c.track[i]) SetGadgetState(c.spin[i], GetGadgetState(c.track[i])), changed = true;
  }
  if (changed) SetGadgetText(c.hex, HexText(ColourOfFields()));
  if (g == c.hex) {
    ShowColour(ReadColour("$" + GetGadgetText(c.hex)), false);
    changed = true;
  }
  if (g == c.basic) {
    const std::string hex = GetGadgetText(c.hex);
    // The dialog speaks red | green << 8 | blue << 16; the field's last six digits.
    const int64_t answer = ColorRequester(ReadColour("$" + (hex.size() > 2 ? hex.substr(2) : "")));
    if (answer < 0) return false;  // cancelled: the colour stays
    const uint32_t alpha = ReadColour("$" + hex.substr(0, std::min<size_t>(2, hex.size()))) & 0xFF;
    const uint32_t colour = (uint32_t(answer) & 0xFFFFFFu) | (alpha << 24);
    ShowColour(colour, true);
    changed = true;
  }
  if (!changed || !s.current) return false;
  const uint32_t colour = ColourOfFields();
  DrawPreview(colour);
  s.current->properties[ColourProperty()] = ColourText(colour);
  return true;
}

bool TrackBarEvent(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_ManageWindowTrackBarEvents");
  using namespace platform;
  TrackBarWindow& n = Tools().number;
  if (EventKind() == kEventCloseWindow || (EventKind() == kEventMenu && EventMenu() == kCloseId)) {
    Close(n.window);
    return false;
  }
  if (EventKind() != kEventGadget) return false;
  if (EventGadget() == n.spin) {
    SetGadgetState(n.track, GetGadgetState(n.spin));
  } else if (EventGadget() == n.track) {
    SetGadgetState(n.spin, GetGadgetState(n.track));
  } else {
    return false;
  }
  if (!s.current) return false;
  const std::string title = GetWindowTitle(n.window);
  const std::string key = title == "Corner-Radius"    ? "CornerRadius"
                          : title == "Line-Thickness" ? "LineThickness"
                          : title == "Arrow-Offset"   ? "ArrowPos"
                                                      : "Shadow";
  s.current->properties[key] = std::to_string(GetGadgetState(n.spin));
  return true;
}

bool EditorEvent(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_ManageWindowEditorEvents");
  using namespace platform;
  TextWindow& t = Tools().text;
  if (EventKind() == kEventCloseWindow || (EventKind() == kEventMenu && EventMenu() == kCloseId)) {
    Close(t.window);
    return false;
  }
  if (EventKind() != kEventGadget) return false;
  const int g = EventGadget();
  bool changed = g == t.editor && EventSubtype() == kSubChange;
  for (int* group : {t.alignH, t.alignV}) {
    for (int i = 0; i < 3; ++i) {
      if (g != group[i]) continue;
      for (int j = 0; j < 3; ++j) SetGadgetState(group[j], j == i);
      changed = true;
    }
  }
  if (!changed || !s.current) return false;
  s.current->properties["Text"] = GetGadgetText(t.editor);
  for (int i = 0; i < 3; ++i) {
    if (GetGadgetState(t.alignH[i])) s.current->properties["TextAlignH"] = kAlignH[i];
    if (GetGadgetState(t.alignV[i])) s.current->properties["TextAlignV"] = kAlignV[i];
  }
  return true;
}

}  // namespace

void OpenWindowColor(EditorState& s, const std::string& property) {
  TOLVEK_TRACE("_EditImageRequester_OpenWindowColor");
  using namespace platform;
  if (!s.current) return;
  ColourWindow& c = Tools().colour;
  const int hexFont = HexFont();
  Close(c.window);
  c.window = OpenToolWindow(s, 300, 170);
  if (!c.window) return;
  UseGadgetList(c.window);
  const char* const names[] = {"Red:", "Green:", "Blue:", "Alpha:"};
  for (int i = 0; i < 4; ++i) {
    TextGadget(kNewNumber, 10, 20 + 30 * i, 40, 20, names[i]);
    c.track[i] = TrackBarGadget(kNewNumber, 60, 20 + 30 * i, 170, 20, 0, 255);
    c.spin[i] = SpinGadget(kNewNumber, 240, 15 + 30 * i, 50, 20, 0, 255);
  }
  TextGadget(kNewNumber, 10, 140, 40, 20, "Hex:");
  c.hex = StringGadget(kNewNumber, 60, 138, 60, 20, "FFFFFFFF");
  if (hexFont) SetGadgetFont(c.hex, hexFont);
  c.basic = ButtonGadget(kNewNumber, 130, 138, 100, 20, "Basic colors ...");
  c.preview = CanvasGadget(kNewNumber, 240, 138, 50, 20);
  for (int i = 0; i < 4; ++i) {
    SetGadgetName(c.track[i], std::string("track_") + "rgba"[i]);
    SetGadgetName(c.spin[i], std::string("spin_") + "rgba"[i]);
  }
  SetGadgetName(c.hex, "hex");
  SetGadgetName(c.basic, "basic");
  SetGadgetName(c.preview, "preview");
  SetWindowTitle(c.window, property == "LineColor" ? "Line-Color" : "Fill-Color");
  const uint32_t colour = ReadColour(s.current->Property(property));
  ShowColour(colour, true);
  DrawPreview(colour);
  // The hex field: the one control that takes a whole colour from the keyboard.
  ShowToolWindow(c.window, c.hex);
}

void OpenWindowTrackBar(EditorState& s, const std::string& key) {
  TOLVEK_TRACE("_EditImageRequester_OpenWindowTrackBar");
  using namespace platform;
  if (!s.current) return;
  TrackBarWindow& n = Tools().number;
  Close(n.window);
  n.window = OpenToolWindow(s, 250, 40);
  if (!n.window) return;
  UseGadgetList(n.window);
  n.track = TrackBarGadget(kNewNumber, 0, 0, 190, 40, 0, 100);
  n.spin = SpinGadget(kNewNumber, 190, 10, 60, 20, 0, 100);
  SetGadgetName(n.track, "track");
  SetGadgetName(n.spin, "spin");
  const std::string arrow = s.current->Property("Arrow");
  if (key == "CornerRadius") {
    SetWindowTitle(n.window, "Corner-Radius");
  } else if (key == "LineThickness") {
    SetWindowTitle(n.window, "Line-Thickness");
    SetGadgetRange(n.track, 1, 100), SetGadgetRange(n.spin, 1, 100);
  } else if (key == "Shadow") {
    SetWindowTitle(n.window, "Shadow");
    SetGadgetRange(n.track, 0, 1), SetGadgetRange(n.spin, 0, 1);
  } else if (key == "ArrowPos") {
    SetWindowTitle(n.window, "Arrow-Offset");
  }
  const int64_t value = ReadInteger(s.current->Property(key));
  SetGadgetState(n.track, value);
  SetGadgetState(n.spin, value);
  ShowToolWindow(n.window, n.spin);
}

void OpenWindowEditor(EditorState& s, const std::string& key) {
  TOLVEK_TRACE("_EditImageRequester_OpenWindowEditor");
  using namespace platform;
  if (!s.current) return;
  TextWindow& t = Tools().text;
  Close(t.window);
  t.window = OpenToolWindow(s, 300, 120);
  if (!t.window) return;
  UseGadgetList(t.window);
  t.editor = EditorGadget(kNewNumber, 0, 0, 300, 80, kEditorWordWrap);
  SetGadgetName(t.editor, "editor");
  for (int i = 0; i < 3; ++i) {
    t.alignH[i] = ButtonGadget(kNewNumber, 100 * i, 80, 100, 20, kAlignH[i], kButtonToggle);
    t.alignV[i] = ButtonGadget(kNewNumber, 100 * i, 100, 100, 20, kAlignV[i], kButtonToggle);
    SetGadgetName(t.alignH[i], kAlignH[i]);
    SetGadgetName(t.alignV[i], kAlignV[i]);
  }
  if (key == "Text") {
    SetWindowTitle(t.window, "Text");
    SetGadgetText(t.editor, s.current->Property("Text"));
    for (int i = 0; i < 3; ++i) {
      SetGadgetState(t.alignH[i], s.current->Property("TextAlignH") == kAlignH[i]);
      SetGadgetState(t.alignV[i], s.current->Property("TextAlignV") == kAlignV[i]);
    }
  }
  ShowToolWindow(t.window, t.editor);
}

bool IsToolWindow(int window) {
  const ToolState& t = Tools();
  return window > 0 &&
         (window == t.colour.window || window == t.number.window || window == t.text.window);
}

bool ManageToolWindowEvent(EditorState& s) {
  const int window = platform::EventWindow();
  ToolState& t = Tools();
  if (window == t.colour.window) return ColourEvent(s);
  if (window == t.number.window) return TrackBarEvent(s);
  if (window == t.text.window) return EditorEvent(s);
  return false;
}

void CloseToolWindows() {
  ToolState& t = Tools();
  Close(t.colour.window);
  Close(t.number.window);
  Close(t.text.window);
  if (t.colour.checkerboard && platform::IsImage(t.colour.checkerboard))
    platform::FreeImage(t.colour.checkerboard);
  t.colour.checkerboard = 0;
  if (t.colour.hexFont && platform::IsFont(t.colour.hexFont)) platform::FreeFont(t.colour.hexFont);
  t.colour.hexFont = 0;
}

}  // namespace imageeditor::detail
