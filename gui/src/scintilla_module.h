// State the editor-control wrapper's files share: the indicator list, the position cache
// and the styles-map image.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/editor_gadget.h"
#include "tolvek/regex.h"

namespace gui::detail {

struct ScintillaModule {
  bool started = false;
  // One entry per indicator created, holding its gadget, in creation order.
  std::vector<int> indicatorList;
  bool clearIndicatorsOnMark = true;
  std::unique_ptr<tolvek::Regex> nonAsciiRegex;

  // Position cache of one gadget's text.
  int cacheGadget = 0;
  int64_t cacheLastUse = 0;
  int64_t cacheByteLength = -1;
  int64_t cacheChanges = -1;
  // One entry per character outside ASCII: its character and byte positions and the extra
  // bytes of it and all before it, so a conversion is a search by halves.
  std::vector<int64_t> runChar, runByte, runExtraSum;

  int stylesMapImage = 0;
};

ScintillaModule& Module();

inline intptr_t Send(int gadget, unsigned message, uintptr_t wParam = 0, intptr_t lParam = 0) {
  return platform::ScintillaSendMessage(gadget, message, wParam, lParam);
}

// The control's text without a copy; valid until the text changes.
std::string_view TextView(int gadget);

}  // namespace gui::detail
