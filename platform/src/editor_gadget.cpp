#include "platform/editor_gadget.h"

#include <Qsci/qsciscintillabase.h>

#include "gadget_widgets.h"
#include "layer_state.h"
#include "tolvek/callstack.h"

namespace platform {
using namespace detail;

namespace {

class EditorControl : public QsciScintillaBase {
 public:
  EditorControl() {
    SendScintilla(SCI_SETCODEPAGE, SC_CP_UTF8);
    SendScintilla(SCI_USEPOPUP, 0UL);
    QObject::connect(this, &QsciScintillaBase::SCN_MODIFIED,
                     [this](int, int type, const char*, int, int, int, int, int, int, int) {
                       if (type & (SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT)) ++m_changes;
                     });
  }
  int64_t Changes() const { return m_changes; }

 private:
  int64_t m_changes = 0;
};

EditorControl* Control(int gadget) {
  auto& gadgets = Layer().gadgets;
  auto it = gadgets.find(gadget);
  if (it == gadgets.end() || it->second.kind != kGadgetScintilla || !it->second.widget)
    return nullptr;
  return static_cast<EditorControl*>(it->second.widget.data());
}

}  // namespace

int ScintillaGadget(int gadget, int x, int y, int w, int h) {
  TOLVEK_TRACE("ScintillaGadget");
  int window = -1;
  QWidget* parent = CurrentGadgetParent(&window);
  if (!parent) return 0;
  if (gadget == kNewNumber) gadget = NewNumber();
  if (IsGadget(gadget)) FreeGadget(gadget);
  auto* control = new EditorControl();
  control->setParent(parent);
  control->setGeometry(x, y, std::max(w, 0), std::max(h, 0));
  control->show();
  GadgetRec rec;
  rec.widget = control;
  rec.window = window;
  rec.kind = kGadgetScintilla;
  Layer().gadgets[gadget] = rec;
  // Clicks land on the viewport; only right clicks are reported, the control keeps the rest.
  auto* filter = new GadgetInputFilter(gadget, control, false, false, control->viewport());
  control->viewport()->installEventFilter(filter);
  return gadget;
}

intptr_t ScintillaSendMessage(int gadget, unsigned message, uintptr_t wParam, intptr_t lParam) {
  EditorControl* control = Control(gadget);
  if (!control) return 0;
  return control->SendScintilla(message, static_cast<unsigned long>(wParam),
                                static_cast<long>(lParam));
}

int64_t ScintillaChangeCount(int gadget) {
  EditorControl* control = Control(gadget);
  return control ? control->Changes() : -1;
}

}  // namespace platform
