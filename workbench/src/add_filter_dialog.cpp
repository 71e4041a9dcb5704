// The add-filter dialog: one rule typed or changed, and stored in the global file or the
// session group of its kind. Opened by the filter managers and by the graph's context menu;
// served by the main loop while the main window waits disabled.
#include <optional>
#include <string>
#include <utility>

#include "graphview/graph_drawing.h"
#include "platform/text_case.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/regex.h"
#include "tolvek/text_codec.h"
#include "tolvek/text_utils.h"
#include "workbench/filter_rules.h"
#include "workbench/filter_stores.h"
#include "workbench/gadgets.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr const char* kAddTitle = "Add filter ...";
constexpr int kWidth = 500;
constexpr int kHeight = 290;

// What the open dialog is for: the kind of rule ("FILE", "REGISTRYKEY", "SERVER" or a node's
// name beginning with one of them) and, for an edit, the rule being changed.
struct AddFilterTarget {
  std::string kind;
  std::optional<ListedRule> edited;
};

AddFilterTarget& Target() {
  static AddFilterTarget target;
  return target;
}

struct MatchOption {
  int gadget;
  MatchType type;
};
// In the order Ok tests them.
constexpr MatchOption kMatchOptions[] = {
    {Option_AddFilter_HeadingStringMatch, MatchType::kHeading},
    {Option_AddFilter_TrailingStringMatch, MatchType::kTrailing},
    {Option_AddFilter_SubStringMatch, MatchType::kSub},
    {Option_AddFilter_RegexMatch, MatchType::kRegex},
    {Option_AddFilter_FullStringMatch, MatchType::kFull},
};

void OpenWindow_AddFilter(int x, int y, int width, int height) {
  TOLVEK_TRACE("OpenWindow_AddFilter");
  using namespace platform;
  OpenWindow(
      Window_AddFilter, x, y, width, height, kAddTitle,
      kWindowCloseBox | kWindowTitleBar | kWindowTool | kWindowParentCentered | kWindowInvisible,
      Window_Main);
  OptionGadget(Option_AddFilter_FullStringMatch, 10, 10, 480, 20, "Full string match");
  OptionGadget(Option_AddFilter_HeadingStringMatch, 10, 30, 480, 20,
               "Heading string match (i.e.: 'blabla*')");
  OptionGadget(Option_AddFilter_TrailingStringMatch, 10, 50, 480, 20,
               "Trailing string match (i.e.: '*blabla')");
  OptionGadget(Option_AddFilter_SubStringMatch, 10, 70, 480, 20,
               "Sub string match (i.e.: '*blabla*')");
  OptionGadget(Option_AddFilter_RegexMatch, 10, 90, 480, 20,
               "Regex match (Note: Take care for control characters!)");
  TextGadget(Text_AddFilter_IsRelevant4, 10, 120, 480, 20, "Is relevant for ...");
  CheckBoxGadget(Checkbox_AddFilter_IsRelevant4Read, 10, 140, 480, 20, "Read, Get, Receive");
  SetGadgetState(Checkbox_AddFilter_IsRelevant4Read, 1);
  CheckBoxGadget(Checkbox_AddFilter_IsRelevant4Write, 10, 160, 480, 20, "Write, Set, Send");
  SetGadgetState(Checkbox_AddFilter_IsRelevant4Write, 1);
  TextGadget(Text_AddFilter_Filter, 10, 190, 480, 20, "Filter:");
  StringGadget(String_AddFilter_Filter, 10, 210, 480, 22, "");
  CheckBoxGadget(Checkbox_AddFilter_SaveAsGlobal, 10, 252, 320, 20, "Save as global filter rule");
  ButtonGadget(Button_AddFilter_Cancel, 340, 250, 70, 25, "Cancel");
  ButtonGadget(Button_AddFilter_Ok, 420, 250, 70, 25, "Ok");
  // Ok is the dialog's default: Return confirms from the text field and the boxes too.
  AddKeyboardShortcut(Window_AddFilter, "Return", MenuItem_AddFilterConfirm);
  AddKeyboardShortcut(Window_AddFilter, "Enter", MenuItem_AddFilterConfirm);
}

// A new dialog, hidden, with the full-string option selected.
void BuildDialog(AddFilterTarget target) {
  if (platform::IsWindow(Window_AddFilter)) platform::CloseWindow(Window_AddFilter);
  OpenWindow_AddFilter(0, 0, kWidth, kHeight);
  platform::SetGadgetState(Option_AddFilter_FullStringMatch, 1);
  Target() = std::move(target);
}

void ShowDialog() {
  platform::HideWindow(Window_AddFilter, false);
  platform::DisableWindow(Window_Main, true);
}

void CloseDialog() {
  platform::DisableWindow(Window_Main, false);
  platform::SetActiveWindow(Window_Main);
  platform::CloseWindow(Window_AddFilter);
}

MatchType SelectedType() {
  for (const MatchOption& option : kMatchOptions) {
    if (platform::GetGadgetState(option.gadget)) return option.type;
  }
  return MatchType::kFull;
}

std::string SelectedAccess() {
  bool read = platform::GetGadgetState(Checkbox_AddFilter_IsRelevant4Read) != 0;
  bool write = platform::GetGadgetState(Checkbox_AddFilter_IsRelevant4Write) != 0;
  return read == write ? "rw" : read ? "r" : "w";
}

// Why the pattern cannot go into the store; "" when it can.
std::string RefusalOf(const std::string& pattern, bool global) {
  if (!PatternFitsOneLine(pattern)) {
    return "A filter cannot contain a tab or a line break!";
  }
  if (!global && !SessionKeyReadsBack(pattern)) {
    return "A session filter cannot begin or end with a blank, nor contain \"[\" or \";\"!\n"
           "Please save it as a global filter rule.";
  }
  if (RegexReadAsHeading(pattern)) {
    const std::string expression(tolvek::TrimBlanks(pattern.substr(6), " "));
    std::string heading = expression;
    while (!heading.empty() && heading.back() == '*') heading.pop_back();
    return "This regular expression would not be used as one: a filter that ends with \"*\" is "
           "read as \"begins with\", so it would filter only names that begin with \"REGEX:" +
           heading + "\".\nPut the expression in parentheses, which matches the same names: (" +
           expression + ")";
  }
  return "";
}

// The pattern as the options say, the text as typed.
void StoreFilterRule() {
  TOLVEK_TRACE("StoreFilterRule");
  std::string text = platform::GetGadgetText(String_AddFilter_Filter);
  if (text.empty()) return;
  std::string pattern = CanonicalPattern(SelectedType(), text);
  std::string access = SelectedAccess();
  bool global = platform::GetGadgetState(Checkbox_AddFilter_SaveAsGlobal) != 0;
  std::string refusal = RefusalOf(pattern, global);
  if (!refusal.empty()) {
    platform::MessageRequester("LumiVEX", refusal);
    return;
  }

  const AddFilterTarget& target = Target();
  std::optional<FilterStore> store =
      FilterStoreOf(target.kind.substr(0, target.kind.find(':')), global);
  const bool edit = target.edited.has_value();
  if (store) {
    const ListedRule old = edit ? *target.edited : ListedRule{};
    std::string group = SessionFilterGroup(store->word);
    bool stored = ChangeStore(*store, [&](std::string old_text) {
      if (store->global) {
        return edit ? EditGlobalRule(old_text, old, pattern, access)
                    : AddGlobalRule(old_text, {pattern, access, true});
      }
      return edit ? EditSessionRule(old_text, group, old, pattern, access)
                  : SetSessionRule(old_text, group, {pattern, access, true});
    });
    // The dialog stays open when the rule could not be stored, so nothing typed is lost.
    if (!stored) return;
  }
  CloseDialog();
}

}  // namespace

void OpenAddFilterDialog(const FilterStore& store) {
  BuildDialog({store.kind, std::nullopt});
  platform::SetGadgetState(Checkbox_AddFilter_SaveAsGlobal, store.global);
  ShowDialog();
}

void OpenEditFilterDialog(const FilterStore& store, const ListedRule& rule) {
  // The rule as the store lists it, which is what the edit looks for there.
  BuildDialog({store.kind, ListedForm(CanonicalPattern(rule), rule.access)});
  platform::SetWindowTitle(Window_AddFilter, "Edit filter ...");
  platform::SetGadgetState(Checkbox_AddFilter_SaveAsGlobal, store.global);
  // An edited rule stays in its store.
  platform::HideGadget(Checkbox_AddFilter_SaveAsGlobal, true);
  for (const MatchOption& option : kMatchOptions) {
    if (option.type == rule.type) platform::SetGadgetState(option.gadget, 1);
  }
  bool read = rule.access.find('r') != std::string::npos;
  bool write = rule.access.find('w') != std::string::npos;
  if (write && !read) platform::SetGadgetState(Checkbox_AddFilter_IsRelevant4Read, 0);
  if (read && !write) platform::SetGadgetState(Checkbox_AddFilter_IsRelevant4Write, 0);
  platform::SetGadgetText(String_AddFilter_Filter, rule.text);
  ShowDialog();
}

void OpenAddFilterFromNode(int menuItem) {
  TOLVEK_TRACE("OpenAddFilterFromNode");
  const InteractionState& interaction = State().interaction;
  const std::string& name = interaction.contextNodeName;
  size_t colon = name.find(':');
  // Ids and labels are the layout's text: read once, as drawing reads them.
  std::string text =
      colon == std::string::npos ? "" : graphview::UnescapeLabel(name.substr(colon + 1));
  if (menuItem == MenuItem_AddFilterFirst + 1 || menuItem == MenuItem_AddFilterFirst + 2) {
    const std::string label = graphview::UnescapeLabel(interaction.contextNodeLabel);
    auto regex = menuItem == MenuItem_AddFilterFirst + 2
                     ? tolvek::CreateRegularExpression(kIpAddressPattern)
                     : tolvek::CreateRegularExpression(
                           kDomainNamePattern, tolvek::kRegexCaseless | tolvek::kRegexMultiline);
    text = regex ? tolvek::ExtractRegularExpression1(*regex, label, 0, true) : "";
  }
  std::string lower;
  for (char32_t c : platform::LowerCaseCodePoints(text)) tolvek::AppendCodePoint(lower, c);
  BuildDialog({name, std::nullopt});
  platform::SetGadgetText(String_AddFilter_Filter, lower);
  ShowDialog();
  platform::SetActiveGadget(Button_AddFilter_Ok);
}

void ConfirmAddFilter() {
  if (!platform::IsWindow(Window_AddFilter)) return;
  const bool onCancel = platform::GetActiveGadget() == Button_AddFilter_Cancel;
  HandleAddFilterGadget(onCancel ? Button_AddFilter_Cancel : Button_AddFilter_Ok);
}

void HandleAddFilterGadget(int gadget) {
  switch (gadget) {
    case Button_AddFilter_Ok:
      StoreFilterRule();
      break;
    case Button_AddFilter_Cancel:
      CloseDialog();
      break;
    default:
      break;
  }
}

}  // namespace workbench
