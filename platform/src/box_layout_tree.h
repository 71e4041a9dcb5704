// A window description as read from its text, before any window exists.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace platform::detail {

struct LayoutElement {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::vector<LayoutElement> children;
  int line = 0;

  const std::string* Attribute(const std::string& key) const {
    auto it = attributes.find(key);
    return it == attributes.end() ? nullptr : &it->second;
  }
};

// Reads the XML into elements; false with `error` naming the line when it is not well formed.
bool ReadLayoutXml(const std::string& text, LayoutElement& root, std::string& error);

// The <window> element named `name`, checked whole (elements, attributes, numbers, flags,
// child counts); null with `error` set otherwise.
const LayoutElement* FindLayoutWindow(const LayoutElement& root, const std::string& name,
                                      std::string& error);

// Attribute readers for elements that passed the check above, so they cannot fail.
int IntAttribute(const LayoutElement& element, const std::string& key, int fallback);
// "a|b|c" mapped through the element's flag names; unknown names were refused by the check.
unsigned FlagsAttribute(const LayoutElement& element);
// l,t,r,b of a singlebox.
void MarginAttribute(const LayoutElement& element, int margins[4]);
// 0 fill, 1 start, 2 centre, 3 end, across and along the horizontal and vertical directions.
void AlignAttribute(const LayoutElement& element, int& horizontal, int& vertical);

// Places a described window's tree again after the program resized it: a hidden window gets
// no resize event until it is shown, yet its gadgets' positions are read before that.
void RelayoutWindow(int window);

}  // namespace platform::detail
