// The filter stores on disk (the global files in the settings folder and the groups of the
// current session file), and the add-filter dialog as the filter managers open it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "workbench/filter_rules.h"

namespace workbench {

struct FilterStore {
  std::string kind;  // "FILE", "REGISTRYKEY" or "SERVER"
  std::string word;  // "file", "registrykey" or "server"
  bool global = false;
};
// The store of a kind; nullopt for a kind that has none.
std::optional<FilterStore> FilterStoreOf(const std::string& kind, bool global);

// Every rule of the store in store order; none when it cannot be read.
std::vector<FilterRule> ReadStoreRules(const FilterStore& store);
// Replaces the store's file by what change makes of its text (the global file as text, the
// session file as it is). A file that exists but cannot be read is never replaced; a failure
// is reported to the analyst. True when the file was written.
bool ChangeStore(const FilterStore& store, const std::function<std::string(std::string)>& change);

// The add-filter dialog for a new rule of the store's kind, its save-as-global box as the
// store says.
void OpenAddFilterDialog(const FilterStore& store);
// The dialog for changing a listed rule of the store, which it stays in.
void OpenEditFilterDialog(const FilterStore& store, const ListedRule& rule);

}  // namespace workbench
