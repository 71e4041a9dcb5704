// Outside text shown as it is: labels, tool tips and window titles.
#include <QLabel>
#include <QTextDocument>

#include "layer_state.h"

namespace platform::detail {

namespace {
const QString kPlaceholder = QStringLiteral("[*]");
const QString kDoubledPlaceholder = QStringLiteral("[*][*]");
}  // namespace

void ShowPlainText(QLabel* label) {
  label->setTextFormat(Qt::PlainText);
  label->setOpenExternalLinks(false);
  label->setTextInteractionFlags(label->textInteractionFlags() &
                                 ~(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard));
}

QString ToolTipAsIs(const QString& text) {
  return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

QString TitleAsIs(const QString& title) {
  return QString(title).replace(kPlaceholder, kDoubledPlaceholder);
}

QString TitleOf(const QWidget* window) {
  return window->windowTitle().replace(kDoubledPlaceholder, kPlaceholder);
}

QString AmpersandsAsIs(const QString& text) {
  return QString(text).replace('&', QStringLiteral("&&"));
}

QString AmpersandsBack(const QString& text) {
  return QString(text).replace(QStringLiteral("&&"), QStringLiteral("&"));
}

}  // namespace platform::detail
