// Find, find next and the list of find results of the text requester.
#include <cstdlib>

#include "gui/edit_text_requester.h"
#include "gui/input_requester_with_history.h"
#include "gui/list_icon_requester.h"
#include "platform/editor_gadget.h"
#include "platform/scintilla_codes.h"
#include "platform/text_case.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/regex.h"

namespace gui {

using Sci = platform::ScintillaCodes;

namespace {

constexpr const char* kFindTitle = "Find ...";

bool IsExpression(const std::string& text) {
  if (text.size() < 6) return false;
  std::string prefix = text.substr(0, 6);
  for (char& c : prefix) c = char(std::tolower(static_cast<unsigned char>(c)));
  return prefix == "regex:";
}

std::unique_ptr<tolvek::Regex> Compile(const std::string& pattern) {
  // Lines end at CR, LF or CR LF alike, whatever the text came with.
  return tolvek::CreateRegularExpression("(*ANYCRLF)" + pattern, tolvek::kRegexCaseless |
                                                                     tolvek::kRegexMultiline |
                                                                     tolvek::kRegexDotAll);
}

void Search(EditTextRequesterState& state, detail::TextFind& find, int64_t start) {
  if (IsExpression(find.text)) {
    std::string pattern = find.text.substr(6);
    auto regex = Compile(pattern);
    if (!regex) {
      platform::MessageRequester(kFindTitle, "Error in regular expression '" + pattern + "'!");
      return;
    }
    find.position = Scintilla_FindRegularExpression(state.gadget, *regex, start, find.hitIndicator,
                                                    find.allIndicator, -1);
  } else {
    find.position =
        Scintilla_FindString(state.gadget, find.text, start, find.hitIndicator, find.allIndicator);
  }
}

// Case-folded code points of a text, for the literal occurrences of the results list.
std::u32string Folded(const std::string& utf8) {
  return platform::LowerCaseCodePoints(utf8);
}

}  // namespace

namespace detail {

std::string& LastFindText() {
  static std::string text;
  return text;
}

std::string FindResultRow(int64_t line, const std::string& shown) {
  std::string escaped;
  for (char c : shown) {
    if (c == '\\')
      escaped += "\\\\";
    else if (c == '|')
      escaped += "\\|";
    else if (c == '\n')
      escaped += "\\\\n";
    else
      escaped += c;
  }
  return std::to_string(line) + "|" + escaped;
}

void FindAction(EditTextRequesterState& state, TextFind& find) {
  TOLVEK_TRACE("EditTextRequester_Find");
  std::string text = InputRequesterWithHistory(
      kFindTitle, "String to search for (prepend with 'REGEX:' for regex):", LastFindText(), "",
      state.window, 0x15F, "Tolvek", kNoHistoryLimit);
  find.text = text;
  state.findText = text;
  LastFindText() = text;
  platform::SetActiveGadget(state.gadget);
  if (!text.empty()) {
    find.position = 0;
    Search(state, find, 0);
  } else {
    Scintilla_Unfind(state.gadget);
  }
  state.refreshStylesMap = true;
}

void FindNextAction(EditTextRequesterState& state, TextFind& find) {
  TOLVEK_TRACE("EditTextRequester_FindNext");
  if (find.text.empty() || find.position < 0) return;
  Search(state, find, find.position + 1);
  if (find.position == -1) {
    int answer = platform::MessageRequester(
        kFindTitle,
        "No more occurrences found.\nDo you want to start searching at the beginning of the "
        "text?",
        platform::kMessageYesNoCancel);
    if (answer == platform::kResultYes) Search(state, find, find.position + 1);
  }
  state.refreshStylesMap = true;
}

void FindResultsAction(EditTextRequesterState& state, TextFind& find) {
  TOLVEK_TRACE("EditTextRequester_FindResults");
  if (find.text.empty()) return;
  int gadget = state.gadget;
  std::string text = Scintilla_GetText(gadget);
  std::string rows;
  auto lineOf = [&](int64_t characterPosition) {
    int64_t byte = Scintilla_ConvertBytePos2CharacterBytePos(gadget, characterPosition);
    return int64_t(
        platform::ScintillaSendMessage(gadget, Sci::SCI_LINEFROMPOSITION, uintptr_t(byte)));
  };
  if (IsExpression(find.text)) {
    if (auto regex = Compile(find.text.substr(6))) {
      tolvek::ForEachMatch(*regex, text, [&](const tolvek::Regex::Match& match) {
        int begin = match.offsets[0], end = match.offsets[1];
        // The line comes straight from the byte offset: no conversion back and forth.
        auto line =
            platform::ScintillaSendMessage(gadget, Sci::SCI_LINEFROMPOSITION, uintptr_t(begin));
        rows += FindResultRow(line, text.substr(size_t(begin), size_t(end - begin))) + "\n";
        return true;
      });
    }
  } else {
    std::u32string haystack = Folded(text), needle = Folded(find.text);
    if (!needle.empty()) {
      for (size_t at = haystack.find(needle); at != std::u32string::npos;
           at = haystack.find(needle, at + 1))
        rows += FindResultRow(lineOf(int64_t(at)), find.text) + "\n";
    }
  }
  while (!rows.empty() && rows.front() == '\n') rows.erase(0, 1);
  while (!rows.empty() && rows.back() == '\n') rows.pop_back();
  std::string chosen = ListIconRequester(
      "Find results", "", "Doubleclick item to jump to according line", "Line|String", "50|*", rows,
      "", state.window, 0x2BC, "TextEditorRequester");
  if (chosen.empty() || chosen == "***CANCEL***") return;
  int64_t line = std::strtoll(chosen.substr(0, chosen.find('|')).c_str(), nullptr, 10);
  platform::ScintillaSendMessage(gadget, Sci::SCI_GOTOLINE, uintptr_t(line));
}

}  // namespace detail

}  // namespace gui
