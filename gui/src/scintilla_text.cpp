// Loading the editor control, its text, and character positions as the control's bytes.
#include <algorithm>

#include "gui/scintilla_wrapper.h"
#include "platform/scintilla_codes.h"
#include "platform/window_system.h"
#include "scintilla_module.h"
#include "tolvek/callstack.h"
#include "tolvek/text_codec.h"

namespace gui {

using Sci = platform::ScintillaCodes;
using detail::Send;

namespace detail {

ScintillaModule& Module() {
  static ScintillaModule module;
  return module;
}

std::string_view TextView(int gadget) {
  auto length = static_cast<size_t>(Send(gadget, Sci::SCI_GETLENGTH));
  if (length == 0) return {};
  auto* text = reinterpret_cast<const char*>(Send(gadget, Sci::SCI_GETCHARACTERPOINTER));
  return text ? std::string_view(text, length) : std::string_view();
}

void RefreshTextCache(int gadget) {
  TOLVEK_TRACE("_Scintilla_RefreshTextCache");
  auto& m = Module();
  int64_t now = platform::ElapsedMilliseconds();
  int64_t changes = platform::ScintillaChangeCount(gadget);
  // Any change of the text invalidates the cache at once, also one that keeps its length.
  bool fresh = m.cacheGadget == gadget && now - m.cacheLastUse < 50 &&
               Scintilla_GetTextLength(gadget) == m.cacheByteLength && changes == m.cacheChanges;
  m.cacheLastUse = now;
  if (fresh) return;
  m.cacheGadget = gadget;
  m.cacheChanges = changes;
  std::string_view text = TextView(gadget);
  m.cacheByteLength = Scintilla_GetTextLength(gadget);
  m.runChar.clear();
  m.runByte.clear();
  m.runExtraSum.clear();
  if (!m.nonAsciiRegex) m.nonAsciiRegex = tolvek::CreateRegularExpression("[^[:ascii:]]");
  if (!m.nonAsciiRegex) return;
  int64_t extra = 0;
  tolvek::ForEachMatch(*m.nonAsciiRegex, text, [&](const tolvek::Regex::Match& match) {
    int64_t byte = match.offsets[0];
    int64_t bytes = match.offsets[1] - match.offsets[0];
    m.runChar.push_back(byte - extra);
    m.runByte.push_back(byte);
    extra += bytes - 1;
    m.runExtraSum.push_back(extra);
    return true;
  });
}

std::vector<int64_t> DisplayLineStarts(int gadget) {
  int64_t lines = Send(gadget, Sci::SCI_GETLINECOUNT);
  std::vector<int64_t> starts(size_t(std::max<int64_t>(lines, 0)) + 1);
  bool wraps = Send(gadget, Sci::SCI_GETWRAPMODE) != Sci::SC_WRAP_NONE;
  for (int64_t i = 0; i < lines; ++i)
    starts[size_t(i)] = wraps ? Send(gadget, Sci::SCI_VISIBLEFROMDOCLINE, uintptr_t(i)) : i;
  starts[size_t(lines)] =
      lines > 0 ? starts[size_t(lines - 1)] +
                      (wraps ? Send(gadget, Sci::SCI_WRAPCOUNT, uintptr_t(lines - 1)) : 1)
                : 0;
  return starts;
}

int64_t ByteToCharacterPosition(int gadget, int64_t bytePosition) {
  RefreshTextCache(gadget);
  auto& m = Module();
  // Characters that start before the byte count with their extra bytes.
  auto k = std::lower_bound(m.runByte.begin(), m.runByte.end(), bytePosition) - m.runByte.begin();
  return bytePosition - (k > 0 ? m.runExtraSum[k - 1] : 0);
}

void ResetScintillaWrapper() {
  auto& m = Module();
  if (m.stylesMapImage && platform::IsImage(m.stylesMapImage))
    platform::FreeImage(m.stylesMapImage);
  bool started = m.started;
  auto regex = std::move(m.nonAsciiRegex);
  m = ScintillaModule{};
  m.started = started;
  m.nonAsciiRegex = std::move(regex);
}

int StylesMapImageNumber() {
  return Module().stylesMapImage;
}

}  // namespace detail

void ScintillaFinalizer() {
  TOLVEK_TRACE("ScintillaFinalizer");
  // The control is linked into the program; closing the windows is all that is left to do.
  platform::CloseAllWindows();
}

void Scintilla_Startup() {
  TOLVEK_TRACE("Scintilla_Startup");
  auto& m = detail::Module();
  if (m.started) return;
  m.started = true;
  tolvek::RegisterFinalizer(ScintillaFinalizer, true);
  m.indicatorList.clear();
  m.clearIndicatorsOnMark = true;
  m.nonAsciiRegex = tolvek::CreateRegularExpression("[^[:ascii:]]");
}

void Scintilla_InitGadget(int gadget, int lineNumberDigits) {
  TOLVEK_TRACE("Scintilla_InitGadget");
  Send(gadget, Sci::SCI_SETMARGINTYPEN, 1, Sci::SC_MARGIN_NUMBER);
  std::string digits(static_cast<size_t>(std::max(lineNumberDigits, 0)), '_');
  intptr_t width = Send(gadget, Sci::SCI_TEXTWIDTH, Sci::STYLE_LINENUMBER,
                        reinterpret_cast<intptr_t>(digits.c_str()));
  Send(gadget, Sci::SCI_SETMARGINWIDTHN, 1, digits.empty() ? 0 : width);
  Send(gadget, Sci::SCI_SETCODEPAGE, Sci::SC_CP_UTF8);
  std::erase(detail::Module().indicatorList, gadget);
}

void Scintilla_SetText(int gadget, const std::string& text) {
  TOLVEK_TRACE("Scintilla_SetText");
  // The control must hold valid UTF-8, or character and byte positions stop agreeing.
  std::string utf8 = tolvek::SanitizeUtf8(text);
  Scintilla_UnstyleAll(gadget);
  Scintilla_Unfind(gadget);
  Send(gadget, Sci::SCI_SETTEXT, 0, reinterpret_cast<intptr_t>(utf8.c_str()));
  detail::Module().cacheGadget = 0;
}

std::string Scintilla_GetText(int gadget, bool ascii) {
  TOLVEK_TRACE("Scintilla_GetText");
  std::string_view view = detail::TextView(gadget);
  std::string text(view.substr(0, view.find('\0')));
  return ascii ? tolvek::AnsiToUtf8(text) : text;
}

int64_t Scintilla_GetTextLength(int gadget) {
  TOLVEK_TRACE("Scintilla_GetTextLength");
  return Send(gadget, Sci::SCI_GETLENGTH);
}

void Scintilla_SetReadonly(int gadget, int readOnly) {
  TOLVEK_TRACE("Scintilla_SetReadonly");
  Send(gadget, Sci::SCI_SETREADONLY, static_cast<uintptr_t>(readOnly));
}

void Scintilla_EnableLineWrapping(int gadget, int wrapMode, bool showMarker) {
  TOLVEK_TRACE("Scintilla_EnableLineWrapping");
  if (showMarker) Send(gadget, Sci::SCI_SETWRAPVISUALFLAGS, Sci::SC_WRAPVISUALFLAG_END);
  Send(gadget, Sci::SCI_SETWRAPMODE, static_cast<uintptr_t>(wrapMode));
}

void Scintilla_DisableLineWrapping(int gadget) {
  TOLVEK_TRACE("Scintilla_DisableLineWrapping");
  Send(gadget, Sci::SCI_SETWRAPMODE, Sci::SC_WRAP_NONE);
  Send(gadget, Sci::SCI_SETWRAPVISUALFLAGS, Sci::SC_WRAPVISUALFLAG_NONE);
}

int64_t Scintilla_ConvertBytePos2CharacterBytePos(int gadget, int64_t characterPosition) {
  TOLVEK_TRACE("Scintilla_ConvertBytePos2CharacterBytePos");
  detail::RefreshTextCache(gadget);
  auto& m = detail::Module();
  auto k =
      std::lower_bound(m.runChar.begin(), m.runChar.end(), characterPosition) - m.runChar.begin();
  return characterPosition + (k > 0 ? m.runExtraSum[k - 1] : 0);
}

}  // namespace gui
