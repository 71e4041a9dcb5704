// Reading and writing the filter stores: every change reads the file afresh and writes it
// whole, so a rule is on disk the moment the analyst stores it.
#include "workbench/filter_stores.h"

#include <cerrno>
#include <cstring>

#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/file_write.h"
#include "workbench/preference_text.h"
#include "workbench/settings.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

std::string StorePath(const FilterStore& store) {
  return store.global ? GlobalFilterFilePath(store.word) : State().sessionFile;
}

}  // namespace

std::optional<FilterStore> FilterStoreOf(const std::string& kind, bool global) {
  std::optional<std::string> word = FilterKindWord(kind);
  if (!word) return std::nullopt;
  return FilterStore{kind, *word, global};
}

std::vector<FilterRule> ReadStoreRules(const FilterStore& store) {
  std::string text = preference_text::ReadTextFile(StorePath(store)).value_or("");
  if (store.global) return ParseGlobalRules(DecodeStoredText(text));
  return ParseSessionRules(text, SessionFilterGroup(store.word));
}

bool ChangeStore(const FilterStore& store, const std::function<std::string(std::string)>& change) {
  TOLVEK_TRACE("ChangeStore");
  std::string path = StorePath(store);
  std::optional<std::string> old = preference_text::ReadTextFile(path);
  if (old && tolvek::WriteFileWhole(path, change(store.global ? DecodeStoredText(*old) : *old))) {
    return true;
  }
  const std::string cause = std::strerror(errno);
  platform::MessageRequester(
      "LumiVEX", "Error: The filter rules could not be saved to \"" + path + "\" (" + cause + ")!");
  return false;
}

}  // namespace workbench
