// Who gets a key that is both a window shortcut and something the focused widget could use:
// the window, unless the focus is in a text field that edits with that key.
#include "shortcut_rule.h"

#include <Qsci/qsciscintillabase.h>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QShortcut>
#include <QTextEdit>

#include "layer_state.h"

namespace platform::detail {

namespace {

enum class Field { kNone, kReadOnly, kSingleLine, kMultiLine };

Field FieldOf(QWidget* widget) {
  // Scrolled text views keep the focus on their viewport.
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget->parentWidget());
      area && area->viewport() == widget)
    widget = area;
  if (auto* edit = qobject_cast<QLineEdit*>(widget))
    return edit->isReadOnly() ? Field::kReadOnly : Field::kSingleLine;
  if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget))
    return spin->isReadOnly() ? Field::kReadOnly : Field::kSingleLine;
  if (auto* combo = qobject_cast<QComboBox*>(widget))
    return combo->isEditable() ? Field::kSingleLine : Field::kNone;
  if (auto* plain = qobject_cast<QPlainTextEdit*>(widget))
    return plain->isReadOnly() ? Field::kReadOnly : Field::kMultiLine;
  if (auto* rich = qobject_cast<QTextEdit*>(widget))
    return rich->isReadOnly() ? Field::kReadOnly : Field::kMultiLine;
  if (auto* editor = qobject_cast<QsciScintillaBase*>(widget))
    return editor->SendScintilla(QsciScintillaBase::SCI_GETREADONLY) ? Field::kReadOnly
                                                                     : Field::kMultiLine;
  return Field::kNone;
}

bool FieldKeeps(Field field, const QKeyEvent* key, bool keepConfirmKeys) {
  if (field == Field::kNone) return false;
  if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) return true;
  if (field == Field::kReadOnly) return false;
  for (auto edit : {QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo, QKeySequence::Redo})
    if (key->matches(edit)) return true;
  Qt::KeyboardModifiers held = key->modifiers() & ~Qt::KeypadModifier;
  bool plain = (held & ~Qt::ShiftModifier) == Qt::NoModifier;
  bool moving = (held & ~(Qt::ShiftModifier | Qt::ControlModifier)) == Qt::NoModifier;
  switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
      return moving;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      return moving && field == Field::kMultiLine;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return plain && (field == Field::kMultiLine || keepConfirmKeys);
    case Qt::Key_Escape:
      return plain && keepConfirmKeys;
    case Qt::Key_Space:
      return plain;
    default:
      break;
  }
  return plain && !key->text().isEmpty() && key->text().at(0).isPrint();
}

const WindowRec* LayerWindowOf(QWidget* widget) {
  QWidget* top = widget->window();
  for (const auto& [number, rec] : Layer().windows)
    if (rec.widget == top) return &rec;
  return nullptr;
}

bool IsWindowShortcut(const WindowRec& window, const QKeyEvent* key) {
  QKeySequence pressed(
      QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
  for (const auto& [text, shortcut] : window.shortcuts)
    if (shortcut->isEnabled() && shortcut->key() == pressed) return true;
  return false;
}

class ShortcutRule : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) return false;
    const WindowRec* window = LayerWindowOf(widget);
    auto* key = static_cast<QKeyEvent*>(event);
    if (!window || !IsWindowShortcut(*window, key)) return false;
    // The override travels from the focus widget up to the window; every step answers for the
    // focus widget, so no container on the way claims the key for itself.
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != widget->window()) focus = widget;
    event->setAccepted(FieldKeeps(FieldOf(focus), key, window->fieldsKeepConfirmKeys));
    return true;
  }
};

}  // namespace

}  // namespace platform::detail

namespace platform {

void KeepFieldConfirmKeys(int window, bool keep) {
  auto found = detail::Layer().windows.find(window);
  if (found != detail::Layer().windows.end()) found->second.fieldsKeepConfirmKeys = keep;
}

}  // namespace platform

namespace platform::detail {

void InstallShortcutRule() {
  static QPointer<ShortcutRule> rule;
  if (rule || !qApp) return;
  rule = new ShortcutRule(qApp);
  qApp->installEventFilter(rule);
}

}  // namespace platform::detail
