#include "workbench/filter_rules.h"

#include <algorithm>

#include "gui/pick_list_markup.h"
#include "tolvek/memory_string.h"
#include "tolvek/text_codec.h"
#include "tolvek/text_utils.h"
#include "workbench/preference_text.h"

namespace workbench {
namespace {

using namespace preference_text;

struct TypeName {
  MatchType type;
  const char* name;
};
constexpr TypeName kTypeNames[] = {
    {MatchType::kFull, "Full String Match"},         {MatchType::kHeading, "Heading String Match"},
    {MatchType::kTrailing, "Trailing String Match"}, {MatchType::kSub, "Sub String Match"},
    {MatchType::kRegex, "Regular Expression"},
};

struct Kind {
  const char* name;
  const char* word;
};
constexpr Kind kKinds[] = {{"FILE", "file"}, {"REGISTRYKEY", "registrykey"}, {"SERVER", "server"}};

constexpr std::string_view kRegexPrefix = "REGEX:";
constexpr std::string_view kEqualsWord = "{equ}";

using tolvek::ReplaceAll;

// The lines of normalised global text (LF-separated); none for "".
std::vector<std::string_view> GlobalLines(std::string_view normalised) {
  std::vector<std::string_view> lines;
  if (normalised.empty()) return lines;
  size_t start = 0;
  for (size_t lf; (lf = normalised.find('\n', start)) != std::string_view::npos; start = lf + 1) {
    lines.push_back(normalised.substr(start, lf - start));
  }
  lines.push_back(normalised.substr(start));
  return lines;
}

// A global line as a rule: pattern up to the first TAB, access up to the second.
FilterRule GlobalRuleOf(std::string_view line) {
  FilterRule rule;
  size_t tab = line.find('\t');
  std::string_view pattern = line.substr(0, tab);
  if (tab != std::string_view::npos) {
    std::string_view rest = line.substr(tab + 1);
    rule.access = std::string(rest.substr(0, rest.find('\t')));
  }
  if (!pattern.empty() && pattern.front() == '#') {
    pattern.remove_prefix(1);
    rule.enabled = false;
  }
  rule.pattern = std::string(pattern);
  return rule;
}

bool Listed(const std::vector<ListedRule>& rules, const FilterRule& rule) {
  return std::find(rules.begin(), rules.end(), ListedForm(rule)) != rules.end();
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out.append(line).append("\n");
  return out;
}

// A session file as owned lines, with the groups of one name found in it.
class SessionLines {
 public:
  SessionLines(std::string_view text, std::string_view group) : m_group(group) {
    for (std::string_view line : SplitLines(text)) m_lines.emplace_back(line);
  }
  // Lines [first, end) of the group's body; the first group of the name counts, as the
  // preference reader takes it. nullopt when the file has no such group.
  std::optional<std::pair<size_t, size_t>> Body() const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
      if (!IsGroupLine(m_lines[i]) || !EqualFolded(GroupNameOf(m_lines[i]), m_group)) continue;
      size_t end = i + 1;
      while (end < m_lines.size() && !IsGroupLine(m_lines[end])) ++end;
      return std::make_pair(i + 1, end);
    }
    return std::nullopt;
  }
  std::vector<FilterRule> Rules() const {
    std::vector<FilterRule> rules;
    auto body = Body();
    if (!body) return rules;
    for (size_t i = body->first; i < body->second; ++i) {
      std::optional<std::string_view> key = KeyOf(m_lines[i]);
      if (!key) continue;
      FilterRule rule;
      std::string pattern = ReplaceAll(*key, kEqualsWord, "=");
      if (!pattern.empty() && pattern.front() == '>') {
        pattern.erase(0, 1);
        rule.enabled = false;
      }
      rule.pattern = std::move(pattern);
      rule.access = std::string(ValueOf(m_lines[i]));
      rules.push_back(std::move(rule));
    }
    return rules;
  }
  void Set(std::string_view key, std::string_view value) {
    std::string line = std::string(key) + " = " + std::string(value);
    auto body = Body();
    if (!body) {
      m_lines.push_back("[" + m_group + "]");
      m_lines.push_back(line);
      return;
    }
    for (size_t i = body->first; i < body->second; ++i) {
      std::optional<std::string_view> existing = KeyOf(m_lines[i]);
      if (existing && EqualFolded(*existing, key)) {
        m_lines[i] = line;
        return;
      }
    }
    m_lines.insert(m_lines.begin() + static_cast<ptrdiff_t>(body->second), line);
  }
  // Removes the group's key lines for which drop(rule) holds; the rules removed.
  template <class Drop>
  std::vector<FilterRule> RemoveIf(Drop drop) {
    std::vector<FilterRule> removed;
    auto body = Body();
    if (!body) return removed;
    std::vector<FilterRule> rules = Rules();
    size_t next = 0;
    std::vector<std::string> kept(m_lines.begin(), m_lines.begin() + body->first);
    for (size_t i = body->first; i < body->second; ++i) {
      if (KeyOf(m_lines[i]) && drop(rules[next++])) {
        removed.push_back(rules[next - 1]);
        continue;
      }
      kept.push_back(m_lines[i]);
    }
    kept.insert(kept.end(), m_lines.begin() + body->second, m_lines.end());
    m_lines = std::move(kept);
    return removed;
  }
  // Removes every group of the name, with its lines.
  void RemoveGroups() {
    std::vector<std::string> kept;
    bool inGroup = false;
    for (std::string& line : m_lines) {
      if (IsGroupLine(line)) inGroup = EqualFolded(GroupNameOf(line), m_group);
      if (!inGroup) kept.push_back(std::move(line));
    }
    m_lines = std::move(kept);
  }
  std::string Text() const { return JoinLines(m_lines); }

 private:
  std::string m_group;
  std::vector<std::string> m_lines;
};

}  // namespace

const char* MatchTypeName(MatchType type) {
  for (const TypeName& t : kTypeNames) {
    if (t.type == type) return t.name;
  }
  return kTypeNames[0].name;
}

std::optional<MatchType> MatchTypeNamed(std::string_view name) {
  for (const TypeName& t : kTypeNames) {
    if (name == t.name) return t.type;
  }
  return std::nullopt;
}

ListedRule ListedForm(std::string_view pattern, std::string_view access) {
  ListedRule rule;
  rule.access = std::string(access);
  if (pattern.substr(0, kRegexPrefix.size()) == kRegexPrefix) {
    rule.type = MatchType::kRegex;
    rule.text = std::string(pattern.substr(kRegexPrefix.size()));
    return rule;
  }
  bool leading = !pattern.empty() && pattern.front() == '*';
  bool trailing = !pattern.empty() && pattern.back() == '*';
  rule.type = leading && trailing ? MatchType::kSub
              : leading           ? MatchType::kTrailing
              : trailing          ? MatchType::kHeading
                                  : MatchType::kFull;
  size_t first = pattern.find_first_not_of('*');
  if (first != std::string_view::npos) {
    rule.text = std::string(pattern.substr(first, pattern.find_last_not_of('*') - first + 1));
  }
  return rule;
}

std::string CanonicalPattern(MatchType type, std::string_view text) {
  std::string t(text);
  switch (type) {
    case MatchType::kHeading:
      return t + "*";
    case MatchType::kTrailing:
      return "*" + t;
    case MatchType::kSub:
      return "*" + t + "*";
    case MatchType::kRegex:
      return std::string(kRegexPrefix) + t;
    case MatchType::kFull:
      break;
  }
  return t;
}

std::optional<std::string> FilterKindWord(std::string_view kind) {
  for (const Kind& k : kKinds) {
    if (kind == k.name) return std::string(k.word);
  }
  return std::nullopt;
}

std::string SessionFilterGroup(std::string_view word) {
  return "evtweave_" + std::string(word) + "ignores.session";
}

bool PatternFitsOneLine(std::string_view pattern) {
  return pattern.find_first_of("\t\r\n") == std::string_view::npos;
}

bool SessionKeyReadsBack(std::string_view pattern) {
  return PatternFitsOneLine(pattern) && TrimBlanks(pattern).size() == pattern.size() &&
         pattern.find_first_of("[;") == std::string_view::npos;
}

bool RegexReadAsHeading(std::string_view pattern) {
  std::string_view trimmed = TrimBlanks(pattern, " ");
  return pattern.substr(0, 6) == "REGEX:" && trimmed.back() == '*';
}

std::string DecodeStoredText(std::string_view bytes) {
  std::string text;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    text = tolvek::SanitizeUtf8(bytes.substr(3));
  } else if (bytes.substr(0, 2) == "\xFF\xFE") {
    text = tolvek::Utf16LeToUtf8(bytes.data() + 2, (bytes.size() - 2) / 2);
  } else if (tolvek::IsValidUtf8(bytes)) {
    text = std::string(bytes);
  } else {
    text = tolvek::AnsiToUtf8(bytes);
  }
  // A zero byte ends a text for the converter's reader: every rule after it would be lost.
  std::erase(text, '\0');
  return text;
}

std::string NormaliseGlobalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r') out += c;
  }
  size_t first = out.find_first_not_of('\n');
  if (first == std::string::npos) return "";
  return out.substr(first, out.find_last_not_of('\n') - first + 1);
}

std::vector<FilterRule> ParseGlobalRules(std::string_view text) {
  std::vector<FilterRule> rules;
  if (text.empty()) return rules;
  // The shared line reader takes every line end the converter takes (LF CR too).
  if (!tolvek::OpenMemoryString(text.data(), static_cast<int64_t>(text.size()),
                                tolvek::kFormatUtf8)) {
    return rules;
  }
  while (!tolvek::EOM(text.data())) {
    rules.push_back(GlobalRuleOf(tolvek::ReadMemoryString(text.data())));
  }
  tolvek::CloseMemoryString(text.data());
  return rules;
}

std::string GlobalFileBytes(std::string_view lines) {
  std::string normalised = NormaliseGlobalText(lines);
  // An empty store is an empty file: a lone line end would read back as an empty rule.
  return normalised.empty() ? "" : normalised + "\r\n";
}

std::string GlobalLine(const FilterRule& rule) {
  return (rule.enabled ? "" : "#") + rule.pattern + "\t" + rule.access;
}

std::string AddGlobalRule(std::string_view text, const FilterRule& rule) {
  std::string lines = NormaliseGlobalText(text);
  if (!lines.empty()) lines += '\n';
  return GlobalFileBytes(lines + GlobalLine(rule));
}

std::string EditGlobalRule(std::string_view text, const ListedRule& old, std::string_view pattern,
                           std::string_view access) {
  std::string normalised = NormaliseGlobalText(text);
  std::string out;
  for (std::string_view line : GlobalLines(normalised)) {
    FilterRule rule = GlobalRuleOf(line);
    if (ListedForm(rule) == old) {
      out += GlobalLine({std::string(pattern), std::string(access), rule.enabled});
    } else {
      out += line;
    }
    out += '\n';
  }
  return GlobalFileBytes(out);
}

std::string DeleteGlobalRules(std::string_view text, const std::vector<ListedRule>& rules) {
  std::string normalised = NormaliseGlobalText(text);
  std::string out;
  for (std::string_view line : GlobalLines(normalised)) {
    if (Listed(rules, GlobalRuleOf(line))) continue;
    out.append(line).append("\n");
  }
  return GlobalFileBytes(out);
}

std::string RewriteGlobalRules(const std::vector<FilterRule>& rules,
                               const std::vector<ListedRule>& enabled) {
  std::string out;
  for (const FilterRule& rule : rules) {
    ListedRule listed = ListedForm(rule);
    bool on = std::find(enabled.begin(), enabled.end(), listed) != enabled.end();
    out += GlobalLine({CanonicalPattern(listed), rule.access, on}) + "\n";
  }
  return GlobalFileBytes(out);
}

std::string SessionRuleKey(const FilterRule& rule) {
  return (rule.enabled ? "" : ">") + ReplaceAll(rule.pattern, "=", kEqualsWord);
}

std::vector<FilterRule> ParseSessionRules(std::string_view sessionText, std::string_view group) {
  return SessionLines(sessionText, group).Rules();
}

std::string SetSessionRule(std::string_view sessionText, std::string_view group,
                           const FilterRule& rule) {
  SessionLines lines(sessionText, group);
  lines.Set(SessionRuleKey(rule), rule.access);
  return lines.Text();
}

std::string EditSessionRule(std::string_view sessionText, std::string_view group,
                            const ListedRule& old, std::string_view pattern,
                            std::string_view access) {
  SessionLines lines(sessionText, group);
  std::vector<FilterRule> removed =
      lines.RemoveIf([&](const FilterRule& rule) { return ListedForm(rule) == old; });
  bool disabled = std::any_of(removed.begin(), removed.end(),
                              [](const FilterRule& rule) { return !rule.enabled; });
  lines.Set(SessionRuleKey({std::string(pattern), "", !disabled}), access);
  return lines.Text();
}

std::string DeleteSessionRules(std::string_view sessionText, std::string_view group,
                               const std::vector<ListedRule>& rules) {
  SessionLines lines(sessionText, group);
  lines.RemoveIf([&](const FilterRule& rule) { return Listed(rules, rule); });
  return lines.Text();
}

std::string RewriteSessionRules(std::string_view sessionText, std::string_view group,
                                const std::vector<FilterRule>& rules,
                                const std::vector<ListedRule>& enabled) {
  if (rules.empty()) return std::string(sessionText);
  SessionLines lines(sessionText, group);
  lines.RemoveGroups();
  for (const FilterRule& rule : rules) {
    lines.Set(SessionRuleKey({CanonicalPattern(ListedForm(rule)), "", false}), rule.access);
  }
  for (const ListedRule& rule : enabled) {
    std::string pattern = CanonicalPattern(rule);
    lines.RemoveIf(
        [&](const FilterRule& r) { return !r.enabled && EqualFolded(r.pattern, pattern); });
    lines.Set(SessionRuleKey({pattern, "", true}), rule.access);
  }
  return lines.Text();
}

std::string IgnoreListText(std::string_view globalText, std::string_view sessionText,
                           std::string_view group) {
  std::string out = NormaliseGlobalText(globalText) + "\n";
  for (const FilterRule& rule : ParseSessionRules(sessionText, group)) {
    out += (rule.enabled ? "" : "#") + rule.pattern + "\t" + std::string(TrimBlanks(rule.access)) +
           "\r\n";
  }
  std::erase(out, '\0');
  return out;
}

std::string ListedRow(const ListedRule& rule) {
  return std::string(MatchTypeName(rule.type)) + "|" + gui::ListIconCell(rule.text) + "|" +
         gui::ListIconCell(rule.access);
}

std::vector<ListedRule> DecodeListedRows(std::string_view answer) {
  std::vector<ListedRule> rules;
  for (const std::string& row : gui::detail::SplitItemRows(answer)) {
    std::vector<std::string> cells = gui::ResolveRowEscapes(row);
    if (cells.size() < 3) continue;
    std::optional<MatchType> type = MatchTypeNamed(cells[0]);
    if (!type) continue;
    rules.push_back({*type, cells[1], cells[2]});
  }
  return rules;
}

}  // namespace workbench
