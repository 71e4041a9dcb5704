#include "platform/editor_gadget.h"

#include <Qsci/qsciscintillabase.h>

#include "gadget_widgets.h"
#include "layer_state.h"
#include "platform/scintilla_codes.h"
#include "tolvek/callstack.h"

// The codes callers send are the control's own.
#define PLATFORM_CHECK_SCINTILLA_CODE(name, value) \
  static_assert(QsciScintillaBase::name == value, #name);
PLATFORM_SCINTILLA_CODES(PLATFORM_CHECK_SCINTILLA_CODE)
#undef PLATFORM_CHECK_SCINTILLA_CODE

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
  auto* control = static_cast<EditorControl*>(
      PlaceGadget(gadget, kGadgetScintilla, x, y, w, h, new EditorControl()));
  if (!control) return 0;
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
