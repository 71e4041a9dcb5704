// The six filter managers of the Filters menu: a pick list of one store's rules with rows to
// add, enable or disable, and delete rules; a double-clicked rule opens for editing. Every
// opening reads the store afresh and every action writes it at once.
#include <string>
#include <vector>

#include "gui/list_icon_requester.h"
#include "gui/pick_list_markup.h"
#include "tolvek/callstack.h"
#include "workbench/filter_rules.h"
#include "workbench/filter_stores.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr const char* kTitle = "Filter Manager";
constexpr const char* kGeometryName = "filtermanager";
constexpr const char* kCancel = "***CANCEL***";
constexpr const char* kAddRow = "Add new rule ...";
constexpr const char* kEnableRow = "Enable/disable rules ...";
constexpr const char* kDeleteRow = "Delete rules ...";
constexpr const char* kDisabledMarkup = "{{color:gray}}";
constexpr int64_t kListFlags =
    gui::LIR_DisableParent | gui::LIR_ExpandCell | gui::LIR_SearchField | gui::LIR_RememberGeometry;
constexpr int64_t kCheckFlags = kListFlags | gui::LIR_CheckBoxes;

struct Manager {
  int menuItem;
  const char* kind;
  bool global;
  const char* message;
};
constexpr Manager kManagers[] = {
    {MenuItem_SessionServers, "SERVER", false, "Manage session filters for servers ..."},
    {MenuItem_SessionRegistry, "REGISTRYKEY", false,
     "Manage session filters for registry keys ..."},
    {MenuItem_SessionFiles, "FILE", false, "Manage session filters for files ..."},
    {MenuItem_GlobalServers, "SERVER", true, "Manage global filters for servers ..."},
    {MenuItem_GlobalRegistry, "REGISTRYKEY", true, "Manage global filters for registry keys ..."},
    {MenuItem_GlobalFiles, "FILE", true, "Manage global filters for files ..."},
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The message of a follow-up list: "Manage" and "..." replaced.
std::string FollowUpMessage(const Manager& m, const std::string& verb, const std::string& tail) {
  return Replace(Replace(m.message, "Manage", verb), "...", tail);
}

std::string Joined(const std::vector<std::string>& rows) {
  std::string out;
  for (const std::string& row : rows) {
    if (!out.empty()) out += '\n';
    out += row;
  }
  return out;
}

std::string ManagerList(const std::vector<FilterRule>& rules) {
  std::vector<std::string> rows = {
      std::string("action|{color:blue}") + kAddRow + "||",
      std::string("action|{color:blue}") + kEnableRow + "||",
      std::string("action|{color:blue}") + kDeleteRow + "||",
      "{{disabled}}|||",
  };
  for (const FilterRule& rule : rules) {
    std::string marker = rule.enabled ? "enabled" : std::string(kDisabledMarkup) + "disabled";
    rows.push_back(marker + "|" + ListedRow(ListedForm(rule)));
  }
  return Joined(rows);
}

// Checked rows of a check-box list; nullopt when the list was cancelled.
std::optional<std::vector<ListedRule>> AskChecked(const std::string& message,
                                                  const std::string& items,
                                                  const std::string& preset) {
  std::string answer =
      gui::ListIconRequester(kTitle, message, "Ok", "Type|Rule|Access", "150|*|40", items, preset,
                             Window_Main, kCheckFlags, kGeometryName);
  if (answer == kCancel) return std::nullopt;
  return DecodeListedRows(answer);
}

void EnableOrDisable(const Manager& m, const FilterStore& store,
                     const std::vector<FilterRule>& rules) {
  std::vector<std::string> items, enabled;
  for (const FilterRule& rule : rules) {
    items.push_back(ListedRow(ListedForm(rule)));
    if (rule.enabled) enabled.push_back(items.back());
  }
  auto checked = AskChecked(FollowUpMessage(m, "Enable/disable", "by checking/unchecking ..."),
                            Joined(items), Joined(enabled));
  if (!checked) return;
  std::string group = SessionFilterGroup(store.word);
  ChangeStore(store, [&](std::string text) {
    return store.global ? RewriteGlobalRules(rules, *checked)
                        : RewriteSessionRules(text, group, rules, *checked);
  });
}

void Delete(const Manager& m, const FilterStore& store, const std::vector<FilterRule>& rules) {
  std::vector<std::string> items;
  for (const FilterRule& rule : rules) {
    items.push_back((rule.enabled ? "" : kDisabledMarkup) + ListedRow(ListedForm(rule)));
  }
  auto checked = AskChecked(FollowUpMessage(m, "Delete", "by checking ..."), Joined(items), "");
  if (!checked || rules.empty()) return;
  std::string group = SessionFilterGroup(store.word);
  ChangeStore(store, [&](std::string text) {
    return store.global ? DeleteGlobalRules(text, *checked)
                        : DeleteSessionRules(text, group, *checked);
  });
}

}  // namespace

void OpenFilterManager(int menuItem) {
  TOLVEK_TRACE("OpenFilterManager");
  const Manager* manager = nullptr;
  for (const Manager& m : kManagers) {
    if (m.menuItem == menuItem) manager = &m;
  }
  if (!manager) return;
  FilterStore store = *FilterStoreOf(manager->kind, manager->global);
  std::vector<FilterRule> rules = ReadStoreRules(store);
  std::string answer = gui::ListIconRequester(
      kTitle, manager->message, "Edit rule/act by doubleclicking ...", "|Type|Rule|Access",
      "0|150|*|40", ManagerList(rules), "", Window_Main, kListFlags, kGeometryName);
  if (answer == kCancel) return;
  std::vector<std::string> cells = gui::ResolveRowEscapes(answer);
  cells.resize(4);
  if (cells[0] != "action") {
    std::optional<MatchType> type = MatchTypeNamed(cells[1]);
    if (!cells[1].empty() && type) OpenEditFilterDialog(store, {*type, cells[2], cells[3]});
  } else if (cells[1] == kAddRow) {
    OpenAddFilterDialog(store);
  } else if (cells[1] == kEnableRow) {
    EnableOrDisable(*manager, store, rules);
  } else if (cells[1] == kDeleteRow) {
    Delete(*manager, store, rules);
  }
}

}  // namespace workbench
