#include "platform/text_case.h"

#include <QChar>
#include <QList>
#include <QString>

namespace platform {

char32_t LowerCodePoint(char32_t codePoint) {
  return QChar::toLower(codePoint);
}

std::u32string LowerCaseCodePoints(std::string_view utf8) {
  std::u32string out;
  for (char32_t cp : QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toUcs4())
    out.push_back(QChar::toLower(cp));
  return out;
}

int CompareIgnoringCase(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive);
}

}  // namespace platform
