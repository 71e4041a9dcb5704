// Changes made to gadgets after their creation: scroll areas, pictures and ranges.
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

#include "layer_state.h"
#include "tolvek/callstack.h"

namespace platform {
using namespace detail;

namespace {

template <class W>
W* WidgetOf(int gadget) {
  auto& gadgets = Layer().gadgets;
  auto it = gadgets.find(gadget);
  if (it == gadgets.end() || !it->second.widget) return nullptr;
  return qobject_cast<W*>(it->second.widget.data());
}

}  // namespace

void SetGadgetImage(int gadget, int image) {
  TOLVEK_TRACE("SetGadgetImage");
  auto& gadgets = Layer().gadgets;
  auto it = gadgets.find(gadget);
  if (it == gadgets.end() || !it->second.widget) return;
  GadgetRec& rec = it->second;
  QImage* data = ImageData(image);
  if (auto* label = WidgetOf<QLabel>(gadget); label && rec.kind == kGadgetImage) {
    rec.image = image;
    label->setPixmap(data ? QPixmap::fromImage(*data) : QPixmap());
  } else if (auto* button = WidgetOf<QToolButton>(gadget)) {
    rec.image = image;
    // While pressed, a button keeps showing its pressed picture when it has one.
    if (button->isChecked() && rec.pressedImage) return;
    button->setIcon(data ? QIcon(QPixmap::fromImage(*data)) : QIcon());
  }
}

void SetGadgetRange(int gadget, int minimum, int maximum) {
  TOLVEK_TRACE("SetGadgetRange");
  SilentChange silent;
  if (auto* spin = WidgetOf<QSpinBox>(gadget))
    spin->setRange(minimum, maximum);
  else if (auto* slider = WidgetOf<QSlider>(gadget))
    slider->setRange(minimum, maximum);
}

void SetScrollAreaInnerSize(int gadget, int innerW, int innerH) {
  TOLVEK_TRACE("SetScrollAreaInnerSize");
  auto* area = WidgetOf<QScrollArea>(gadget);
  if (!area || !area->widget()) return;
  area->widget()->resize(std::max(innerW, 0), std::max(innerH, 0));
}

int GetScrollAreaX(int gadget) {
  auto* area = WidgetOf<QScrollArea>(gadget);
  return area ? area->horizontalScrollBar()->value() : 0;
}

int GetScrollAreaY(int gadget) {
  auto* area = WidgetOf<QScrollArea>(gadget);
  return area ? area->verticalScrollBar()->value() : 0;
}

void SetScrollAreaPosition(int gadget, int x, int y) {
  TOLVEK_TRACE("SetScrollAreaPosition");
  auto* area = WidgetOf<QScrollArea>(gadget);
  if (!area) return;
  SilentChange silent;
  if (x != kKeepValue) area->horizontalScrollBar()->setValue(x);
  if (y != kKeepValue) area->verticalScrollBar()->setValue(y);
}

}  // namespace platform
