// Text kept for the lifetime of a graph, handed out as views that never move.
#pragma once
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>

namespace graphview {

class TextArena {
 public:
  // Keeps text and returns a view of the kept copy.
  std::string_view Keep(std::string text) {
    m_texts.push_back(std::move(text));
    return m_texts.back();
  }
  // One kept copy per distinct text: for the few words (styles, shapes, colours) that
  // thousands of records share.
  std::string_view Intern(std::string_view text) { return *m_words.emplace(text).first; }
  void Clear() {
    m_texts.clear();
    m_words.clear();
  }

 private:
  // A deque never relocates its elements, so short strings held inline stay put too.
  std::deque<std::string> m_texts;
  std::unordered_set<std::string> m_words;  // nodes of the set never move either
};

}  // namespace graphview
