// The editor control driven by character positions: text in and out, read-only mode and
// wrapping, styles, indicators, finds and the styles map beside the editor. Positions and
// lengths count characters (Unicode code points), 0-based; the wrapper converts them into
// the control's UTF-8 byte positions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tolvek/regex.h"

namespace gui {

// "No indicator" for the indicator arguments.
constexpr int kNoIndicator = -65535;

// Start-up step of the workbench, after the library's start-up: the indicator list, the
// expression the position cache uses, and the finalizer at the head of the finalizer list
// (it closes every window before the temporary files go). Later calls do nothing.
void Scintilla_Startup();
void ScintillaFinalizer();

void Scintilla_InitGadget(int gadget, int lineNumberDigits);
void Scintilla_SetText(int gadget, const std::string& text);
std::string Scintilla_GetText(int gadget, bool ascii = false);
int64_t Scintilla_GetTextLength(int gadget);  // bytes
void Scintilla_SetReadonly(int gadget, int readOnly);
void Scintilla_EnableLineWrapping(int gadget, int wrapMode, bool showMarker);
void Scintilla_DisableLineWrapping(int gadget);
int64_t Scintilla_ConvertBytePos2CharacterBytePos(int gadget, int64_t characterPosition);

int Scintilla_CreateIndicatorStyle(int gadget, int style, uint32_t colour, int outlineAlpha,
                                   int alpha);
int Scintilla_CountIndicatorStyles(int gadget);
void Scintilla_StyleChars(int gadget, int64_t position, int64_t length, int style);
void Scintilla_StyleAll(int gadget, int style);
void Scintilla_UnstyleAll(int gadget);
void Scintilla_IndicateChars(int gadget, int64_t position, int64_t length, int indicator);
void Scintilla_IndicateString(int gadget, const std::string& search, int indicator);
void Scintilla_IndicateRegularExpression(int gadget, const tolvek::Regex& regex, int indicator,
                                         int secondIndicator = kNoIndicator, int group = -1);
int64_t Scintilla_FindString(int gadget, const std::string& search, int64_t startPosition,
                             int hitIndicator = kNoIndicator, int allIndicator = kNoIndicator);
int64_t Scintilla_FindRegularExpression(int gadget, const tolvek::Regex& regex,
                                        int64_t startPosition, int hitIndicator = kNoIndicator,
                                        int allIndicator = kNoIndicator, int group = -1);
void Scintilla_Unfind(int gadget);

// Steers the styles map: id is a style number, or minus an indicator number.
struct StylesMapEntry {
  int64_t id = 0;
  int64_t priority = 0;
  bool skip = false;       // styles only: not shown at all
  bool exclusive = false;  // gives way where a key without this flag shares the height
};
// A 20-pixel-wide image as high as the editor, showing where styles and indicators lie in
// the whole text. The image of the previous rendering is freed with freePrevious.
int Scintilla_RenderStylesMap(int gadget, int minimumHeight, bool freePrevious,
                              const std::vector<StylesMapEntry>* entries, bool pixelMode);

namespace detail {
// The first display line of every text line, and the number of display lines at the end:
// wrapped line parts count separately. Read from the control's own line index, so it costs
// one message per line and lays nothing out.
std::vector<int64_t> DisplayLineStarts(int gadget);
void RefreshTextCache(int gadget);
// Byte position -> character position, through the same cache.
int64_t ByteToCharacterPosition(int gadget, int64_t bytePosition);
// Forgets the indicator list, the cache and the map image (tests).
void ResetScintillaWrapper();
int StylesMapImageNumber();

// One vertical stretch of a style or indicator in the map.
struct StylesMapRun {
  double y = 0, height = 0;
  bool indicator = false;
  int number = 0;
};
struct StylesMapColour {
  uint32_t fore = 0, back = 0;
};
struct StylesMapBox {
  int x = 0, y = 0, w = 0, h = 0;
  uint32_t colour = 0;
};
// The boxes the map draws for runs in text order (y never falling), in drawing order.
std::vector<StylesMapBox> StylesMapBoxes(std::vector<StylesMapRun> runs,
                                         const std::vector<StylesMapEntry>& entries,
                                         const std::vector<StylesMapColour>& styleColours,
                                         const std::vector<StylesMapColour>& indicatorColours,
                                         bool pixelMode);
}  // namespace detail

}  // namespace gui
