// Reading and checking window descriptions: plain text in, elements out, no window touched.
#include <expat.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "box_layout_tree.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace platform::detail {

namespace {

struct FlagName {
  const char* name;
  unsigned value;
};

enum class Children { kNone, kOne, kAtMostOne, kAny, kAtLeastOne };

struct ElementRule {
  const char* name;
  const char* attributes;  // blank-separated; "id width height" are added for gadgets
  Children children;
  std::vector<FlagName> flags;
  bool gadget;
};

const std::vector<ElementRule>& Rules() {
  static const std::vector<ElementRule> kRules = {
      {"window",
       "name title width height minwidth minheight x y flags",
       Children::kOne,
       {{"closebox", kWindowCloseBox},
        {"titlebar", kWindowTitleBar},
        {"tool", kWindowTool},
        {"sizable", kWindowSizable},
        {"maximizebox", kWindowMaximizeBox},
        {"minimizebox", kWindowMinimizeBox},
        {"borderless", kWindowBorderless},
        {"screencentered", kWindowScreenCentered},
        {"parentcentered", kWindowParentCentered},
        {"invisible", kWindowInvisible},
        {"stayontop", kWindowStayOnTop}},
       false},
      {"vbox", "expand", Children::kAny, {}, false},
      {"hbox", "expand", Children::kAny, {}, false},
      {"singlebox", "margin align", Children::kOne, {}, false},
      {"stack", "", Children::kAtLeastOne, {}, false},
      {"empty", "width height", Children::kNone, {}, false},
      {"frame", "text", Children::kAtMostOne, {}, true},
      {"text",
       "text flags",
       Children::kNone,
       {{"center", kTextCenter}, {"right", kTextRight}, {"border", kTextBorder}},
       true},
      {"string",
       "text flags",
       Children::kNone,
       {{"readonly", kStringReadOnly}, {"password", kStringPassword}, {"numeric", kStringNumeric}},
       true},
      {"button",
       "text flags",
       Children::kNone,
       {{"toggle", kButtonToggle}, {"default", kButtonDefault}},
       true},
      {"buttonimage", "flags", Children::kNone, {{"toggle", kButtonToggle}}, true},
      {"checkbox", "text", Children::kNone, {}, true},
      {"option", "text", Children::kNone, {}, true},
      {"combobox", "flags", Children::kNone, {{"editable", kComboEditable}}, true},
      {"spin", "min max", Children::kNone, {}, true},
      {"trackbar", "min max", Children::kNone, {}, true},
      {"progressbar", "min max", Children::kNone, {}, true},
      {"listicon",
       "title titlewidth flags",
       Children::kNone,
       {{"checkboxes", kListIconCheckBoxes},
        {"multiselect", kListIconMultiSelect},
        {"fullrowselect", kListIconFullRowSelect},
        {"alwaysshowselection", kListIconAlwaysShowSelection},
        {"gridlines", kListIconGridLines}},
       true},
      {"tree", "", Children::kNone, {}, true},
      {"editor",
       "flags",
       Children::kNone,
       {{"readonly", kEditorReadOnly}, {"wordwrap", kEditorWordWrap}},
       true},
      {"image", "", Children::kNone, {}, true},
      {"canvas",
       "flags",
       Children::kNone,
       {{"border", kCanvasBorder}, {"keyboard", kCanvasKeyboard}},
       true},
  };
  return kRules;
}

const ElementRule* RuleOf(const std::string& name) {
  for (const auto& rule : Rules())
    if (name == rule.name) return &rule;
  return nullptr;
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    std::string_view part = text.substr(start, end == std::string_view::npos ? end : end - start);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    parts.emplace_back(part);
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::optional<int> ParseInt(const std::string& text) {
  if (text.empty() || text.size() > 9 + (text[0] == '-')) return std::nullopt;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  int value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return text[0] == '-' ? -value : value;
}

// ------------------------------------------------------------------------------ XML reading
struct Reader {
  XML_Parser parser = nullptr;
  std::vector<LayoutElement> open;  // the path from the root to the element being read
  LayoutElement root;
  bool haveRoot = false;
  std::string error;
};

void StartElement(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* r = static_cast<Reader*>(data);
  LayoutElement element;
  element.name = name;
  element.line = int(XML_GetCurrentLineNumber(r->parser));
  for (int i = 0; attributes[i]; i += 2) element.attributes[attributes[i]] = attributes[i + 1];
  r->open.push_back(std::move(element));
}

void EndElement(void* data, const XML_Char*) {
  auto* r = static_cast<Reader*>(data);
  LayoutElement done = std::move(r->open.back());
  r->open.pop_back();
  if (r->open.empty()) {
    r->root = std::move(done);
    r->haveRoot = true;
  } else {
    r->open.back().children.push_back(std::move(done));
  }
}

void Characters(void* data, const XML_Char* text, int length) {
  auto* r = static_cast<Reader*>(data);
  for (int i = 0; i < length; ++i) {
    if (!std::strchr(" \t\r\n", text[i])) {
      if (r->error.empty())
        r->error = "line " + std::to_string(XML_GetCurrentLineNumber(r->parser)) +
                   ": text outside an attribute";
      XML_StopParser(r->parser, XML_FALSE);
      return;
    }
  }
}

// -------------------------------------------------------------------------------- checking
std::string Where(const LayoutElement& element) {
  return "line " + std::to_string(element.line) + ", <" + element.name + ">: ";
}

bool CheckFlags(const LayoutElement& element, const ElementRule& rule, std::string& error) {
  const std::string* flags = element.Attribute("flags");
  if (!flags || flags->empty()) return true;
  for (const auto& flag : Split(*flags, '|')) {
    bool known = false;
    for (const auto& name : rule.flags) known = known || flag == name.name;
    if (!known) {
      error = Where(element) + "unknown flag '" + flag + "'";
      return false;
    }
  }
  return true;
}

bool CheckMargin(const LayoutElement& element, std::string& error) {
  const std::string* margin = element.Attribute("margin");
  if (!margin) return true;
  auto parts = Split(*margin, ',');
  bool good = parts.size() == 1 || parts.size() == 4;
  for (const auto& part : parts) {
    auto value = ParseInt(part);
    good = good && value && *value >= 0;
  }
  if (!good) error = Where(element) + "margin must be one or four numbers (l,t,r,b)";
  return good;
}

bool CheckAlign(const LayoutElement& element, std::string& error) {
  const std::string* align = element.Attribute("align");
  if (!align) return true;
  bool horizontal = false, vertical = false;
  for (const auto& part : Split(*align, ',')) {
    bool isH = part == "left" || part == "center" || part == "right";
    bool isV = part == "top" || part == "vcenter" || part == "bottom";
    if ((!isH && !isV) || (isH && horizontal) || (isV && vertical)) {
      error = Where(element) + "bad align '" + *align + "'";
      return false;
    }
    horizontal = horizontal || isH;
    vertical = vertical || isV;
  }
  return true;
}

bool CheckElement(const LayoutElement& element, std::string& error) {
  const ElementRule* rule = RuleOf(element.name);
  if (!rule) {
    error = Where(element) + "unknown element";
    return false;
  }
  std::string allowed = std::string(" ") + rule->attributes + " ";
  if (rule->gadget) allowed += "id width height ";
  for (const auto& [key, value] : element.attributes) {
    if (allowed.find(" " + key + " ") == std::string::npos) {
      error = Where(element) + "unknown attribute '" + key + "'";
      return false;
    }
  }
  for (const char* key : {"width", "height", "minwidth", "minheight", "x", "y", "expand", "min",
                          "max", "titlewidth"}) {
    const std::string* value = element.Attribute(key);
    if (!value) continue;
    auto number = ParseInt(*value);
    bool mayBeNegative = !std::strcmp(key, "min") || !std::strcmp(key, "max") ||
                         !std::strcmp(key, "x") || !std::strcmp(key, "y");
    if (!number || (*number < 0 && !mayBeNegative)) {
      error = Where(element) + key + "=\"" + *value + "\" is not a number it can take";
      return false;
    }
  }
  if (!CheckFlags(element, *rule, error) || !CheckMargin(element, error) ||
      !CheckAlign(element, error))
    return false;

  size_t count = element.children.size();
  bool countGood = true;
  switch (rule->children) {
    case Children::kNone:
      countGood = count == 0;
      break;
    case Children::kOne:
      countGood = count == 1;
      break;
    case Children::kAtMostOne:
      countGood = count <= 1;
      break;
    case Children::kAny:
      break;
    case Children::kAtLeastOne:
      countGood = count >= 1;
      break;
  }
  if (!countGood) {
    static const char* const kWanted[] = {"no children", "exactly one child", "at most one child",
                                          "", "at least one child"};
    error =
        Where(element) + "takes " + kWanted[int(rule->children)] + ", not " + std::to_string(count);
    return false;
  }
  if (IntAttribute(element, "expand", 0) > int(count)) {
    error = Where(element) + "expand item " + *element.Attribute("expand") + " but only " +
            std::to_string(count) + " children";
    return false;
  }
  for (const auto& child : element.children) {
    if (child.name == "window") {
      error = Where(child) + "a window inside a window";
      return false;
    }
    if (!CheckElement(child, error)) return false;
  }
  return true;
}

bool CheckIds(const LayoutElement& element, std::map<std::string, int>& seen, std::string& error) {
  if (const std::string* id = element.Attribute("id")) {
    if (id->empty()) {
      error = Where(element) + "empty id";
      return false;
    }
    if (!seen.emplace(*id, element.line).second) {
      error = Where(element) + "id '" + *id + "' already used on line " + std::to_string(seen[*id]);
      return false;
    }
  }
  for (const auto& child : element.children)
    if (!CheckIds(child, seen, error)) return false;
  return true;
}

}  // namespace

bool ReadLayoutXml(const std::string& text, LayoutElement& root, std::string& error) {
  TOLVEK_TRACE("ReadLayoutXml");
  Reader reader;
  std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser(
      XML_ParserCreate("UTF-8"), &XML_ParserFree);
  if (!parser) {
    error = "cannot create an XML parser";
    return false;
  }
  reader.parser = parser.get();
  XML_SetUserData(parser.get(), &reader);
  XML_SetElementHandler(parser.get(), StartElement, EndElement);
  XML_SetCharacterDataHandler(parser.get(), Characters);
  if (XML_Parse(parser.get(), text.data(), int(text.size()), XML_TRUE) != XML_STATUS_OK) {
    if (reader.error.empty())
      error = "line " + std::to_string(XML_GetCurrentLineNumber(parser.get())) + ", column " +
              std::to_string(XML_GetCurrentColumnNumber(parser.get())) + ": " +
              XML_ErrorString(XML_GetErrorCode(parser.get()));
    else
      error = reader.error;
    return false;
  }
  root = std::move(reader.root);
  return reader.haveRoot;
}

const LayoutElement* FindLayoutWindow(const LayoutElement& root, const std::string& name,
                                      std::string& error) {
  TOLVEK_TRACE("FindLayoutWindow");
  const LayoutElement* found = nullptr;
  if (root.name == "window") {
    if (root.Attribute("name") && *root.Attribute("name") == name) found = &root;
  } else {
    for (const auto& child : root.children)
      if (child.name == "window" && child.Attribute("name") && *child.Attribute("name") == name)
        found = &child;
  }
  if (!found) {
    error = "no window named '" + name + "' in the description";
    return nullptr;
  }
  std::map<std::string, int> ids;
  if (!CheckElement(*found, error) || !CheckIds(*found, ids, error)) return nullptr;
  return found;
}

int IntAttribute(const LayoutElement& element, const std::string& key, int fallback) {
  const std::string* text = element.Attribute(key);
  if (!text) return fallback;
  auto value = ParseInt(*text);
  return value ? *value : fallback;
}

unsigned FlagsAttribute(const LayoutElement& element) {
  const ElementRule* rule = RuleOf(element.name);
  const std::string* flags = element.Attribute("flags");
  if (!rule || !flags) return 0;
  unsigned value = 0;
  for (const auto& flag : Split(*flags, '|'))
    for (const auto& name : rule->flags)
      if (flag == name.name) value |= name.value;
  return value;
}

void MarginAttribute(const LayoutElement& element, int margins[4]) {
  std::fill(margins, margins + 4, 0);
  const std::string* margin = element.Attribute("margin");
  if (!margin) return;
  auto parts = Split(*margin, ',');
  for (int i = 0; i < 4; ++i) margins[i] = ParseInt(parts[parts.size() == 4 ? i : 0]).value_or(0);
}

void AlignAttribute(const LayoutElement& element, int& horizontal, int& vertical) {
  horizontal = vertical = 0;
  const std::string* align = element.Attribute("align");
  if (!align) return;
  for (const auto& part : Split(*align, ',')) {
    if (part == "left") horizontal = 1;
    if (part == "center") horizontal = 2;
    if (part == "right") horizontal = 3;
    if (part == "top") vertical = 1;
    if (part == "vcenter") vertical = 2;
    if (part == "bottom") vertical = 3;
  }
}

}  // namespace platform::detail
