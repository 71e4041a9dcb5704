// Filter rules: what tells the converter to leave files, registry keys or servers out of the
// graph. Each kind has two stores: a global file in the settings folder (one rule per line,
// pattern TAB access, "#" in front of a disabled rule) and a group of the session file (one
// key per rule, "=" written as "{equ}", ">" in front of a disabled rule, the access as value).
// Pure functions over the stores' text; the managers and the add-filter dialog read and
// write the files around them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace workbench {

enum class MatchType { kFull, kHeading, kTrailing, kSub, kRegex };
// "Full String Match", ..., "Regular Expression": the names the managers show.
const char* MatchTypeName(MatchType type);
std::optional<MatchType> MatchTypeNamed(std::string_view name);

// A rule as its store holds it: the pattern without the disabled mark and with "=" as typed.
struct FilterRule {
  std::string pattern;
  std::string access;
  bool enabled = true;
};

// A rule as the managers show it. Rules that show alike are one rule to the analyst, so
// editing and deleting find rules by this form, also hand-edited ones whose stars differ.
struct ListedRule {
  MatchType type = MatchType::kFull;
  std::string text;
  std::string access;
  bool operator==(const ListedRule&) const = default;
};
ListedRule ListedForm(std::string_view pattern, std::string_view access);
inline ListedRule ListedForm(const FilterRule& rule) {
  return ListedForm(rule.pattern, rule.access);
}
// The pattern a type and a text are stored as: "abc*", "*abc", "*abc*", "REGEX:abc", "abc".
std::string CanonicalPattern(MatchType type, std::string_view text);
inline std::string CanonicalPattern(const ListedRule& rule) {
  return CanonicalPattern(rule.type, rule.text);
}

// What a server node's label offers for a rule: an IPv4 address anywhere, or a whole line
// that is a domain name (matched caseless and per line).
inline constexpr const char* kIpAddressPattern = "\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}";
inline constexpr const char* kDomainNamePattern =
    "(*ANYCRLF)^[a-z0-9\\-_+]+\\.([a-z0-9\\-_+]+\\.)*[a-z]+$";

// "FILE", "REGISTRYKEY", "SERVER" to "file", "registrykey", "server"; nullopt for others.
std::optional<std::string> FilterKindWord(std::string_view kind);
// The session file's group of a kind word: "evtweave_<word>ignores.session".
std::string SessionFilterGroup(std::string_view word);

// A pattern with a TAB or a line break would be split into other rules when read back.
bool PatternFitsOneLine(std::string_view pattern);
// A session key is a line of the session file: it must not begin or end with a blank, nor
// hold "[" or ";", which the file's readers take for groups and comments.
bool SessionKeyReadsBack(std::string_view pattern);

// A rule the managers list as a regular expression that the converter takes for "begins
// with": it tests for a final "*" (blanks aside) before it looks for "REGEX:", as stored
// lists have always been read, so such a rule filters only names that begin with "REGEX:".
bool RegexReadAsHeading(std::string_view pattern);

// ---------------------------------------------------------------------------- global store
// A global file's bytes as text: a byte-order mark decides, else UTF-8 when the bytes are
// valid UTF-8, else the ANSI code page, so hand-edited files of either kind keep their
// letters.
std::string DecodeStoredText(std::string_view bytes);
// CRs removed and LFs stripped from both ends: the lines of the rules joined by LF.
std::string NormaliseGlobalText(std::string_view text);
// One rule per line in file order, every line counted (an empty one too); any line end.
std::vector<FilterRule> ParseGlobalRules(std::string_view text);
// The bytes of a global file holding these lines (joined by LF): LF-separated lines and one
// CR LF at the end; an empty file when there are none.
std::string GlobalFileBytes(std::string_view lines);
std::string GlobalLine(const FilterRule& rule);
// New file bytes for each change of a global file whose current text is given.
std::string AddGlobalRule(std::string_view text, const FilterRule& rule);
// Every rule of old's form becomes pattern and access, keeping its disabled mark.
std::string EditGlobalRule(std::string_view text, const ListedRule& old, std::string_view pattern,
                           std::string_view access);
std::string DeleteGlobalRules(std::string_view text, const std::vector<ListedRule>& rules);
// The listed rules in their order and canonical form, enabled when their form was checked.
std::string RewriteGlobalRules(const std::vector<FilterRule>& rules,
                               const std::vector<ListedRule>& enabled);

// --------------------------------------------------------------------------- session store
// The key a rule is stored under in its session group.
std::string SessionRuleKey(const FilterRule& rule);
// The rules of a group of the session text, in group order.
std::vector<FilterRule> ParseSessionRules(std::string_view sessionText, std::string_view group);
// New session text for each change of a group. Keys compare without regard to letter case:
// a key that exists is replaced in place, a new one goes to the end of its group, and a
// missing group is added at the end of the file.
std::string SetSessionRule(std::string_view sessionText, std::string_view group,
                           const FilterRule& rule);
std::string EditSessionRule(std::string_view sessionText, std::string_view group,
                            const ListedRule& old, std::string_view pattern,
                            std::string_view access);
std::string DeleteSessionRules(std::string_view sessionText, std::string_view group,
                               const std::vector<ListedRule>& rules);
// The group made anew at the end of the file: every listed rule disabled in list order, then
// the checked ones enabled. A store without rules is left as it is.
std::string RewriteSessionRules(std::string_view sessionText, std::string_view group,
                                const std::vector<FilterRule>& rules,
                                const std::vector<ListedRule>& enabled);

// ---------------------------------------------------------------------------- ignore lists
// The list the converter reads for one kind: the global rules, each ended by LF, then the
// session group's keys as "pattern TAB access" lines ended by CR LF ("#" for a disabled one).
std::string IgnoreListText(std::string_view globalText, std::string_view sessionText,
                           std::string_view group);

// ------------------------------------------------------------------------- manager's lists
// "type|text|access" of a rule, each cell through gui::ListIconCell: the form the pick lists
// show and answer.
std::string ListedRow(const ListedRule& rule);
// The rows of a check-box answer (type, text, access each); rows that do not decode are left
// out.
std::vector<ListedRule> DecodeListedRows(std::string_view answer);

}  // namespace workbench
