// Creating gadgets and the calls every kind of gadget shares.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include <algorithm>

#include "gadget_widgets.h"
#include "layer_state.h"
#include "tolvek/callstack.h"

namespace platform {
using namespace detail;

namespace detail {

void PostGadgetEvent(int gadget, int subtype, int data, int x, int y, int modifiers, int buttons) {
  auto& s = Layer();
  if (s.suppressSignals > 0) return;
  auto it = s.gadgets.find(gadget);
  if (it == s.gadgets.end()) return;
  QueuedEvent e;
  e.type = kEventGadget;
  e.window = it->second.window;
  e.gadget = gadget;
  e.subtype = subtype;
  e.data = data;
  e.x = x;
  e.y = y;
  e.modifiers = modifiers;
  e.buttons = buttons;
  Enqueue(e);
}

namespace {
int HeldKeys(Qt::KeyboardModifiers keys) {
  return ((keys & Qt::ShiftModifier) ? kModifierShift : 0) |
         ((keys & Qt::ControlModifier) ? kModifierCtrl : 0) |
         ((keys & Qt::AltModifier) ? kModifierAlt : 0);
}
int HeldButtons(Qt::MouseButtons buttons) {
  return ((buttons & Qt::LeftButton) ? kMouseLeft : 0) |
         ((buttons & Qt::RightButton) ? kMouseRight : 0) |
         ((buttons & Qt::MiddleButton) ? kMouseMiddle : 0);
}
}  // namespace

bool GadgetInputFilter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::FocusIn:
      PostGadgetEvent(m_gadget, kSubFocus);
      break;
    case QEvent::FocusOut:
      PostGadgetEvent(m_gadget, kSubLostFocus);
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      bool dbl = event->type() == QEvent::MouseButtonDblClick;
      QPoint at = mouse->position().toPoint();
      if (auto* source = qobject_cast<QWidget*>(watched); source && m_widget && source != m_widget)
        at = source->mapTo(m_widget, at);
      if (mouse->button() == Qt::RightButton)
        PostGadgetEvent(m_gadget, dbl ? kSubRightDoubleClick : kSubRightClick, 0, at.x(), at.y());
      else if (mouse->button() == Qt::LeftButton && m_leftClicks)
        PostGadgetEvent(m_gadget, dbl ? kSubLeftDoubleClick : kSubLeftClick, 0, at.x(), at.y());
      else if (mouse->button() == Qt::LeftButton && dbl && m_leftDoubleClicks)
        PostGadgetEvent(m_gadget, kSubLeftDoubleClick, 0, at.x(), at.y());
      break;
    }
    default:
      break;
  }
  return false;
}

void CanvasWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (m_buffer) painter.drawImage(m_border, m_border, *m_buffer);
  if (m_border > 0) {
    painter.setPen(QPen(palette().color(QPalette::Mid), m_border));
    painter.setBrush(Qt::NoBrush);
    qreal half = m_border / 2.0;
    painter.drawRect(QRectF(half, half, width() - m_border, height() - m_border));
  }
}

void CanvasWidget::resizeEvent(QResizeEvent*) {
  QSize inner = (size() - QSize(2 * m_border, 2 * m_border)).expandedTo(QSize(1, 1));
  if (!m_buffer || m_buffer->size() == inner) return;
  QImage grown(inner, m_buffer->format());
  grown.fill(Qt::white);
  QPainter painter(&grown);
  painter.drawImage(0, 0, *m_buffer);
  painter.end();
  *m_buffer = grown;
}

void CanvasWidget::mouseMoveEvent(QMouseEvent* e) {
  Mouse(kSubMouseMove, e);
}
void CanvasWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton)
    Mouse(kSubLeftButtonDown, e);
  else if (e->button() == Qt::RightButton)
    Mouse(kSubRightButtonDown, e);
  else if (e->button() == Qt::MiddleButton)
    Mouse(kSubMiddleButtonDown, e);
}
void CanvasWidget::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    Mouse(kSubLeftButtonUp, e);
    Mouse(kSubLeftClick, e);
  } else if (e->button() == Qt::RightButton) {
    Mouse(kSubRightButtonUp, e);
    Mouse(kSubRightClick, e);
  } else if (e->button() == Qt::MiddleButton) {
    Mouse(kSubMiddleButtonUp, e);
  }
}
void CanvasWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton)
    Mouse(kSubLeftDoubleClick, e);
  else if (e->button() == Qt::RightButton)
    Mouse(kSubRightDoubleClick, e);
}
void CanvasWidget::wheelEvent(QWheelEvent* e) {
  QPoint at = e->position().toPoint() - QPoint(m_border, m_border);
  // Some platforms turn a vertical wheel into a horizontal one while Alt is held; Alt+wheel
  // is still the same wheel to the canvas.
  int delta = e->angleDelta().y();
  if (delta == 0 && (e->modifiers() & Qt::AltModifier)) delta = e->angleDelta().x();
  // Fine-grained wheels and touch pads send parts of a notch; they add up instead of each
  // counting as none.
  m_wheelRest += delta;
  int notches = m_wheelRest / 120;
  if (notches == 0) return;
  m_wheelRest -= notches * 120;
  PostGadgetEvent(m_gadget, kSubMouseWheel, notches, at.x(), at.y(), HeldKeys(e->modifiers()),
                  HeldButtons(e->buttons()));
}
void CanvasWidget::keyPressEvent(QKeyEvent* e) {
  int keys = HeldKeys(e->modifiers());
  int buttons = HeldButtons(QGuiApplication::mouseButtons());
  PostGadgetEvent(m_gadget, kSubKeyDown, e->key(), 0, 0, keys, buttons);
  if (!e->text().isEmpty())
    PostGadgetEvent(m_gadget, kSubInput, int(e->text().at(0).unicode()), 0, 0, keys, buttons);
}
void CanvasWidget::keyReleaseEvent(QKeyEvent* e) {
  PostGadgetEvent(m_gadget, kSubKeyUp, e->key(), 0, 0, HeldKeys(e->modifiers()),
                  HeldButtons(QGuiApplication::mouseButtons()));
}
void CanvasWidget::Mouse(int subtype, QMouseEvent* e) {
  QPoint at = e->position().toPoint() - QPoint(m_border, m_border);
  PostGadgetEvent(m_gadget, subtype, 0, at.x(), at.y(), HeldKeys(e->modifiers()),
                  HeldButtons(e->buttons()));
}

QWidget* CurrentGadgetParent(int* window) {
  auto& s = Layer();
  while (!s.gadgetListStack.empty()) {
    int top = s.gadgetListStack.back();
    if (top >= 0 || top == kNoParent) {
      auto it = s.windows.find(top);
      if (it != s.windows.end() && it->second.widget) {
        *window = top;
        return it->second.widget;
      }
    } else {
      int container = -top - 2;
      auto it = s.gadgets.find(container);
      if (it != s.gadgets.end() && it->second.widget) {
        *window = it->second.window;
        QWidget* w = it->second.widget;
        if (auto* scroll = qobject_cast<QScrollArea*>(w)) return scroll->widget();
        return w;
      }
    }
    s.gadgetListStack.pop_back();
  }
  return nullptr;
}

void FreeGadgetsOfWindow(int window) {
  auto& s = Layer();
  for (auto it = s.gadgets.begin(); it != s.gadgets.end();)
    it = it->second.window == window ? s.gadgets.erase(it) : std::next(it);
}

}  // namespace detail

QWidget* detail::PlaceGadget(int& gadget, int kind, int x, int y, int w, int h, QWidget* widget) {
  int window = -1;
  QWidget* parent = CurrentGadgetParent(&window);
  if (!parent) {
    delete widget;
    return nullptr;
  }
  if (gadget == kNewNumber) gadget = NewNumber();
  if (IsGadget(gadget)) FreeGadget(gadget);
  widget->setParent(parent);
  widget->setGeometry(x, y, std::max(w, 0), std::max(h, 0));
  widget->show();
  GadgetRec rec;
  rec.widget = widget;
  rec.window = window;
  rec.kind = kind;
  Layer().gadgets[gadget] = rec;
  return widget;
}

namespace {

GadgetRec* Rec(int gadget) {
  auto& s = Layer();
  auto it = s.gadgets.find(gadget);
  if (it == s.gadgets.end() || !it->second.widget) return nullptr;
  return &it->second;
}

template <class W>
W* Place(int& gadget, int kind, int x, int y, int w, int h, W* widget) {
  return static_cast<W*>(PlaceGadget(gadget, kind, x, y, w, h, widget));
}

void Filter(int gadget, QWidget* target, QWidget* reference, bool leftClicks,
            bool leftDoubleClicks = false) {
  auto* filter = new GadgetInputFilter(gadget, reference, leftClicks, leftDoubleClicks, target);
  target->installEventFilter(filter);
}

QIcon IconOf(int image) {
  auto& images = Layer().images;
  auto it = images.find(image);
  if (it == images.end() || !it->second) return QIcon();
  return QIcon(QPixmap::fromImage(*it->second));
}

}  // namespace

int TextGadget(int gadget, int x, int y, int w, int h, const std::string& text, uint32_t flags) {
  TOLVEK_TRACE("TextGadget");
  auto* label = Place(gadget, kGadgetText, x, y, w, h, new TextLabel(Q(text)));
  if (!label) return 0;
  ShowPlainText(label);
  label->setAlignment((flags & kTextCenter)  ? Qt::AlignHCenter | Qt::AlignVCenter
                      : (flags & kTextRight) ? Qt::AlignRight | Qt::AlignVCenter
                                             : Qt::AlignLeft | Qt::AlignVCenter);
  label->setWordWrap(true);
  if (flags & kTextBorder) label->setFrameShape(QFrame::Panel);
  return gadget;
}

int StringGadget(int gadget, int x, int y, int w, int h, const std::string& text, uint32_t flags) {
  TOLVEK_TRACE("StringGadget");
  auto* edit = Place(gadget, kGadgetString, x, y, w, h, new QLineEdit(Q(text)));
  if (!edit) return 0;
  edit->setReadOnly(flags & kStringReadOnly);
  if (flags & kStringPassword) edit->setEchoMode(QLineEdit::Password);
  if (flags & kStringNumeric) edit->setInputMask("");
  int number = gadget;
  // textEdited comes from the user only, never from setText.
  QObject::connect(edit, &QLineEdit::textEdited, [number] { PostGadgetEvent(number, kSubChange); });
  Filter(gadget, edit, edit, false);
  return gadget;
}

int ButtonGadget(int gadget, int x, int y, int w, int h, const std::string& text, uint32_t flags) {
  TOLVEK_TRACE("ButtonGadget");
  auto* button = Place(gadget, kGadgetButton, x, y, w, h, new QPushButton(AmpersandsAsIs(Q(text))));
  if (!button) return 0;
  button->setCheckable(flags & kButtonToggle);
  button->setAutoDefault(false);
  button->setDefault(flags & kButtonDefault);
  int number = gadget;
  QObject::connect(button, &QPushButton::clicked,
                   [number] { PostGadgetEvent(number, kSubLeftClick); });
  return gadget;
}

int ButtonImageGadget(int gadget, int x, int y, int w, int h, int image, uint32_t flags) {
  TOLVEK_TRACE("ButtonImageGadget");
  auto* button = Place(gadget, kGadgetButtonImage, x, y, w, h, new QToolButton());
  if (!button) return 0;
  button->setCheckable(flags & kButtonToggle);
  button->setIcon(IconOf(image));
  button->setIconSize(QSize(std::max(w - 6, 1), std::max(h - 6, 1)));
  Rec(gadget)->image = image;
  int number = gadget;
  QObject::connect(button, &QToolButton::clicked,
                   [number] { PostGadgetEvent(number, kSubLeftClick); });
  QObject::connect(button, &QToolButton::toggled, [number](bool on) {
    if (auto* rec = Rec(number); rec && rec->pressedImage)
      static_cast<QToolButton*>(rec->widget.data())
          ->setIcon(IconOf(on ? rec->pressedImage : rec->image));
  });
  return gadget;
}

void SetButtonPressedImage(int gadget, int image) {
  auto* rec = Rec(gadget);
  if (!rec) return;
  rec->pressedImage = image;
  // A button already pressed shows its new picture at once, not at the next toggle.
  if (auto* button = qobject_cast<QToolButton*>(rec->widget.data()); button && button->isChecked())
    button->setIcon(IconOf(image ? image : rec->image));
}

int CheckBoxGadget(int gadget, int x, int y, int w, int h, const std::string& text) {
  TOLVEK_TRACE("CheckBoxGadget");
  auto* box = Place(gadget, kGadgetCheckBox, x, y, w, h, new QCheckBox(AmpersandsAsIs(Q(text))));
  if (!box) return 0;
  int number = gadget;
  QObject::connect(box, &QCheckBox::clicked, [number] { PostGadgetEvent(number, kSubLeftClick); });
  return gadget;
}

int OptionGadget(int gadget, int x, int y, int w, int h, const std::string& text) {
  TOLVEK_TRACE("OptionGadget");
  auto* option =
      Place(gadget, kGadgetOption, x, y, w, h, new QRadioButton(AmpersandsAsIs(Q(text))));
  if (!option) return 0;
  int number = gadget;
  QObject::connect(option, &QRadioButton::clicked,
                   [number] { PostGadgetEvent(number, kSubLeftClick); });
  return gadget;
}

int ComboBoxGadget(int gadget, int x, int y, int w, int h, uint32_t flags) {
  TOLVEK_TRACE("ComboBoxGadget");
  auto* combo = Place(gadget, kGadgetComboBox, x, y, w, h, new QComboBox());
  if (!combo) return 0;
  combo->setEditable(flags & kComboEditable);
  int number = gadget;
  QObject::connect(combo, &QComboBox::activated, [number] { PostGadgetEvent(number, kSubChange); });
  if (combo->lineEdit())
    QObject::connect(combo->lineEdit(), &QLineEdit::textEdited,
                     [number] { PostGadgetEvent(number, kSubChange); });
  return gadget;
}

int SpinGadget(int gadget, int x, int y, int w, int h, int minimum, int maximum) {
  TOLVEK_TRACE("SpinGadget");
  auto* spin = Place(gadget, kGadgetSpin, x, y, w, h, new QSpinBox());
  if (!spin) return 0;
  spin->setRange(minimum, maximum);
  int number = gadget;
  QObject::connect(spin, &QSpinBox::valueChanged,
                   [number] { PostGadgetEvent(number, kSubChange); });
  return gadget;
}

int TrackBarGadget(int gadget, int x, int y, int w, int h, int minimum, int maximum) {
  TOLVEK_TRACE("TrackBarGadget");
  auto* slider = Place(gadget, kGadgetTrackBar, x, y, w, h, new QSlider(Qt::Horizontal));
  if (!slider) return 0;
  slider->setRange(minimum, maximum);
  int number = gadget;
  // actionTriggered: the user's drags, clicks and keys, not setValue.
  QObject::connect(slider, &QSlider::actionTriggered,
                   [number] { PostGadgetEvent(number, kSubChange); });
  return gadget;
}

int ProgressBarGadget(int gadget, int x, int y, int w, int h, int64_t minimum, int64_t maximum) {
  TOLVEK_TRACE("ProgressBarGadget");
  auto* bar = Place(gadget, kGadgetProgressBar, x, y, w, h, new QProgressBar());
  if (!bar) return 0;
  bar->setRange(0, 10000);
  bar->setTextVisible(false);
  Rec(gadget)->rangeMin = minimum;
  Rec(gadget)->rangeMax = maximum;
  return gadget;
}

int ListIconGadget(int gadget, int x, int y, int w, int h, const std::string& firstTitle,
                   int firstWidth, uint32_t flags) {
  TOLVEK_TRACE("ListIconGadget");
  auto* tree = Place(gadget, kGadgetListIcon, x, y, w, h, new QTreeWidget());
  if (!tree) return 0;
  tree->setRootIsDecorated(false);
  tree->setUniformRowHeights(true);
  tree->setItemsExpandable(false);
  tree->setAllColumnsShowFocus(true);
  tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  tree->setSelectionMode((flags & kListIconMultiSelect) ? QAbstractItemView::ExtendedSelection
                                                        : QAbstractItemView::SingleSelection);
  tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  tree->header()->setStretchLastSection(false);
  tree->header()->setSectionsMovable(false);
  // A width of 0 hides a column; the style's minimum would otherwise show it 20-odd wide.
  tree->header()->setMinimumSectionSize(0);
  tree->setColumnCount(1);
  tree->setHeaderLabels({Q(firstTitle)});
  tree->setProperty("lvCheckBoxes", bool(flags & kListIconCheckBoxes));
  SetGadgetColumnWidth(gadget, 0, firstWidth);
  int number = gadget;
  QObject::connect(tree, &QTreeWidget::itemChanged,
                   [number] { PostGadgetEvent(number, kSubChange); });
  QObject::connect(tree, &QTreeWidget::itemSelectionChanged,
                   [number] { PostGadgetEvent(number, kSubChange); });
  Filter(gadget, tree->viewport(), tree, true);
  Filter(gadget, tree, tree, false);
  return gadget;
}

int TreeGadget(int gadget, int x, int y, int w, int h) {
  TOLVEK_TRACE("TreeGadget");
  auto* tree = Place(gadget, kGadgetTree, x, y, w, h, new QTreeWidget());
  if (!tree) return 0;
  tree->setHeaderHidden(true);
  tree->setColumnCount(1);
  int number = gadget;
  QObject::connect(tree, &QTreeWidget::itemSelectionChanged,
                   [number] { PostGadgetEvent(number, kSubChange); });
  Filter(gadget, tree->viewport(), tree, true);
  return gadget;
}

int EditorGadget(int gadget, int x, int y, int w, int h, uint32_t flags) {
  TOLVEK_TRACE("EditorGadget");
  auto* edit = Place(gadget, kGadgetEditor, x, y, w, h, new QPlainTextEdit());
  if (!edit) return 0;
  edit->setReadOnly(flags & kEditorReadOnly);
  edit->setLineWrapMode((flags & kEditorWordWrap) ? QPlainTextEdit::WidgetWidth
                                                  : QPlainTextEdit::NoWrap);
  int number = gadget;
  // document edits by the user arrive as key presses; setPlainText runs silently.
  QObject::connect(edit, &QPlainTextEdit::textChanged,
                   [number] { PostGadgetEvent(number, kSubChange); });
  Filter(gadget, edit, edit, false);
  return gadget;
}

int ImageGadget(int gadget, int x, int y, int w, int h, int image) {
  TOLVEK_TRACE("ImageGadget");
  auto* label = Place(gadget, kGadgetImage, x, y, w, h, new QLabel());
  if (!label) return 0;
  ShowPlainText(label);
  Rec(gadget)->image = image;
  if (auto* data = ImageData(image)) label->setPixmap(QPixmap::fromImage(*data));
  Filter(gadget, label, label, true, true);
  return gadget;
}

int ContainerGadget(int gadget, int x, int y, int w, int h) {
  TOLVEK_TRACE("ContainerGadget");
  auto* box = Place(gadget, kGadgetContainer, x, y, w, h, new QWidget());
  if (!box) return 0;
  Layer().gadgetListStack.push_back(-gadget - 2);
  return gadget;
}

int FrameGadget(int gadget, int x, int y, int w, int h, const std::string& text) {
  TOLVEK_TRACE("FrameGadget");
  auto* frame = Place(gadget, kGadgetFrame, x, y, w, h, new QGroupBox(AmpersandsAsIs(Q(text))));
  return frame ? gadget : 0;
}

int ScrollAreaGadget(int gadget, int x, int y, int w, int h, int innerW, int innerH,
                     uint32_t flags) {
  TOLVEK_TRACE("ScrollAreaGadget");
  auto* scroll = new QScrollArea();
  if (flags & kScrollAreaBorderless) scroll->setFrameShape(QFrame::NoFrame);
  auto* area = Place(gadget, kGadgetScrollArea, x, y, w, h, scroll);
  if (!area) return 0;
  auto* inner = new QWidget();
  inner->resize(innerW, innerH);
  area->setWidget(inner);
  Layer().gadgetListStack.push_back(-gadget - 2);
  return gadget;
}

int CanvasGadget(int gadget, int x, int y, int w, int h, uint32_t flags) {
  TOLVEK_TRACE("CanvasGadget");
  int border = (flags & kCanvasBorder) ? 1 : 0;
  // Premultiplied: shown as it is, without a conversion per frame.
  auto buffer = std::make_shared<QImage>(std::max(w - 2 * border, 1), std::max(h - 2 * border, 1),
                                         QImage::Format_ARGB32_Premultiplied);
  buffer->fill(Qt::white);
  auto* canvas = new CanvasWidget(buffer.get());
  canvas->SetBorder(border);
  if (!Place(gadget, kGadgetCanvas, x, y, w, h, canvas)) return 0;
  canvas->SetNumber(gadget);
  canvas->setMouseTracking(true);
  canvas->setFocusPolicy((flags & kCanvasKeyboard) ? Qt::StrongFocus : Qt::NoFocus);
  Rec(gadget)->canvas = buffer;
  return gadget;
}

void UseGadgetList(int window) {
  if (IsWindow(window)) Layer().gadgetListStack = {window};
}

void CloseGadgetList() {
  auto& stack = Layer().gadgetListStack;
  if (stack.size() > 1) stack.pop_back();
}

bool IsGadget(int gadget) {
  return Rec(gadget) != nullptr;
}
int GadgetKindOf(int gadget) {
  auto* rec = Rec(gadget);
  return rec ? rec->kind : 0;
}
int GadgetWindow(int gadget) {
  auto* rec = Rec(gadget);
  return rec ? rec->window : -1;
}

void FreeGadget(int gadget) {
  TOLVEK_TRACE("FreeGadget");
  auto& s = Layer();
  auto it = s.gadgets.find(gadget);
  if (it == s.gadgets.end()) return;
  delete it->second.widget.data();
  s.gadgets.erase(it);
  std::erase_if(s.queue, [gadget](const QueuedEvent& e) { return e.gadget == gadget; });
}

void SetGadgetName(int gadget, const std::string& name) {
  if (auto* rec = Rec(gadget)) rec->name = name;
}
std::string GetGadgetName(int gadget) {
  auto* rec = Rec(gadget);
  return rec ? rec->name : std::string();
}
int FindGadgetByName(int window, const std::string& name) {
  for (auto& [number, rec] : Layer().gadgets)
    if (rec.window == window && rec.name == name && rec.widget) return number;
  return -1;
}

void SetGadgetText(int gadget, const std::string& text) {
  TOLVEK_TRACE("SetGadgetText");
  auto* rec = Rec(gadget);
  if (!rec) return;
  SilentChange silent;
  QWidget* w = rec->widget;
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(Q(text));
    if (auto* fitted = dynamic_cast<TextLabel*>(label)) fitted->FitText();
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(Q(text));
    // A field the analyst only reads shows where its text starts, not (with the cursor left
    // at the end) where it ends.
    if (edit->isReadOnly()) edit->setCursorPosition(0);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w))
    button->setText(AmpersandsAsIs(Q(text)));
  else if (auto* combo = qobject_cast<QComboBox*>(w))
    combo->setCurrentText(Q(text));
  else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
    plain->setPlainText(Q(text));
  else if (auto* group = qobject_cast<QGroupBox*>(w))
    group->setTitle(AmpersandsAsIs(Q(text)));
}

std::string GetGadgetText(int gadget) {
  auto* rec = Rec(gadget);
  if (!rec) return {};
  QWidget* w = rec->widget;
  if (auto* label = qobject_cast<QLabel*>(w)) return U(label->text());
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return U(edit->text());
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return U(AmpersandsBack(button->text()));
  if (auto* combo = qobject_cast<QComboBox*>(w)) return U(combo->currentText());
  if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) return U(plain->toPlainText());
  if (auto* group = qobject_cast<QGroupBox*>(w)) return U(AmpersandsBack(group->title()));
  return {};
}

namespace {
// List icons count their rows; trees count every item in display order, children included,
// as their item calls do.
QTreeWidgetItem* TreeRow(QTreeWidget* tree, int kind, int64_t row) {
  if (row < 0) return nullptr;
  if (kind != kGadgetTree)
    return row < tree->topLevelItemCount() ? tree->topLevelItem(int(row)) : nullptr;
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    if (row-- == 0) return *it;
  return nullptr;
}
}  // namespace

void SetGadgetState(int gadget, int64_t state) {
  TOLVEK_TRACE("SetGadgetState");
  auto* rec = Rec(gadget);
  if (!rec) return;
  SilentChange silent;
  QWidget* w = rec->widget;
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setChecked(state != 0);
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    combo->setCurrentIndex(int(state));
  } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
    spin->setValue(int(state));
  } else if (auto* slider = qobject_cast<QSlider*>(w)) {
    slider->setValue(int(state));
  } else if (auto* bar = qobject_cast<QProgressBar*>(w)) {
    int64_t span = rec->rangeMax - rec->rangeMin;
    double share = span > 0 ? double(state - rec->rangeMin) / double(span) : 0.0;
    bar->setValue(int(std::clamp(share, 0.0, 1.0) * 10000));
  } else if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
    tree->clearSelection();
    if (auto* item = TreeRow(tree, rec->kind, state)) {
      tree->setCurrentItem(item);
      item->setSelected(true);
    }
  }
}

int64_t GetGadgetState(int gadget) {
  auto* rec = Rec(gadget);
  if (!rec) return 0;
  QWidget* w = rec->widget;
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->isChecked() ? 1 : 0;
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentIndex();
  if (auto* spin = qobject_cast<QSpinBox*>(w)) return spin->value();
  if (auto* slider = qobject_cast<QSlider*>(w)) return slider->value();
  if (auto* bar = qobject_cast<QProgressBar*>(w))
    return rec->rangeMin + int64_t(double(rec->rangeMax - rec->rangeMin) * bar->value() / 10000);
  if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
    int64_t row = 0;
    if (rec->kind == kGadgetTree) {
      for (QTreeWidgetItemIterator it(tree); *it; ++it, ++row)
        if ((*it)->isSelected()) return row;
    } else {
      for (; row < tree->topLevelItemCount(); ++row)
        if (tree->topLevelItem(int(row))->isSelected()) return row;
    }
    return -1;
  }
  return 0;
}

void SetGadgetColor(int gadget, int kind, uint32_t colour) {
  auto* rec = Rec(gadget);
  if (!rec) return;
  QWidget* w = rec->widget;
  QPalette palette = w->palette();
  bool text = kind == kFrontColor;
  QColor c = colour == kDefaultColour
                 ? QApplication::palette(w).color(text ? QPalette::Text : QPalette::Base)
                 : ToQColor(colour);
  if (text) {
    palette.setColor(QPalette::Text, c);
    palette.setColor(QPalette::WindowText, c);
    palette.setColor(QPalette::ButtonText, c);
  } else {
    palette.setColor(QPalette::Base, c);
    palette.setColor(QPalette::Window, c);
    w->setAutoFillBackground(true);
  }
  w->setPalette(palette);
}

uint32_t GetGadgetColor(int gadget, int kind) {
  auto* rec = Rec(gadget);
  if (!rec) return 0;
  QWidget* w = rec->widget;
  bool editable = qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                  qobject_cast<QTreeWidget*>(w);
  QPalette::ColorRole role = kind == kFrontColor
                                 ? (editable ? QPalette::Text : QPalette::WindowText)
                                 : (editable ? QPalette::Base : QPalette::Window);
  return FromQColor(w->palette().color(role));
}

void SetGadgetFont(int gadget, int font) {
  auto* rec = Rec(gadget);
  if (!rec) return;
  auto& fonts = Layer().fonts;
  auto it = fonts.find(font);
  rec->widget->setFont(it != fonts.end() && it->second ? *it->second : QApplication::font());
}

void GadgetToolTip(int gadget, const std::string& text) {
  if (auto* rec = Rec(gadget)) rec->widget->setToolTip(ToolTipAsIs(Q(text)));
}
void HideGadget(int gadget, bool hide) {
  if (auto* rec = Rec(gadget)) rec->widget->setVisible(!hide);
}
bool IsGadgetHidden(int gadget) {
  auto* rec = Rec(gadget);
  return !rec || rec->widget->isHidden();
}
void DisableGadget(int gadget, bool disable) {
  auto* rec = Rec(gadget);
  if (!rec || !rec->widget) return;
  QWidget* w = rec->widget;
  auto win = Layer().windows.find(rec->window);
  // A child of a disabled window stays off; the window turns it on again when it comes back
  // only when its own state says so.
  if (win != Layer().windows.end() && win->second.disabled &&
      w->parentWidget() == win->second.widget) {
    auto& held = win->second.heldOff;
    auto at = std::find(held.begin(), held.end(), w);
    if (disable && at != held.end()) held.erase(at);
    if (!disable && at == held.end()) held.emplace_back(w);
    return;
  }
  w->setEnabled(!disable);
}
bool IsGadgetEnabled(int gadget) {
  auto* rec = Rec(gadget);
  return rec && rec->widget->isEnabled();
}
void SetActiveGadget(int gadget) {
  if (auto* rec = Rec(gadget)) rec->widget->setFocus(Qt::OtherFocusReason);
}
int GetActiveGadget() {
  QWidget* focus = QApplication::focusWidget();
  for (auto& [number, rec] : Layer().gadgets)
    if (rec.widget && focus && (rec.widget == focus || rec.widget->isAncestorOf(focus)))
      return number;
  return -1;
}

namespace {
QPoint InWindow(GadgetRec* rec) {
  QWidget* w = rec->widget;
  return w->mapTo(w->window(), QPoint(0, 0));
}
}  // namespace

int GadgetX(int gadget) {
  auto* rec = Rec(gadget);
  return rec ? InWindow(rec).x() : 0;
}
int GadgetY(int gadget) {
  auto* rec = Rec(gadget);
  return rec ? InWindow(rec).y() : 0;
}
int GadgetWidth(int gadget) {
  auto* rec = Rec(gadget);
  return rec ? rec->widget->width() : 0;
}
int GadgetHeight(int gadget) {
  auto* rec = Rec(gadget);
  return rec ? rec->widget->height() : 0;
}
int GadgetScreenX(int gadget) {
  auto* rec = Rec(gadget);
  return rec ? rec->widget->mapToGlobal(QPoint(0, 0)).x() : 0;
}
int GadgetScreenY(int gadget) {
  auto* rec = Rec(gadget);
  return rec ? rec->widget->mapToGlobal(QPoint(0, 0)).y() : 0;
}

void ResizeGadget(int gadget, int x, int y, int w, int h) {
  auto* rec = Rec(gadget);
  if (!rec) return;
  QRect g = rec->widget->geometry();
  rec->widget->setGeometry(x == kKeepValue ? g.x() : x, y == kKeepValue ? g.y() : y,
                           w == kKeepValue ? g.width() : std::max(w, 0),
                           h == kKeepValue ? g.height() : std::max(h, 0));
}

int GadgetRequiredWidth(int gadget) {
  auto* rec = Rec(gadget);
  return rec ? rec->widget->sizeHint().width() : 0;
}
int GadgetRequiredHeight(int gadget) {
  auto* rec = Rec(gadget);
  if (!rec) return 0;
  if (auto* label = qobject_cast<QLabel*>(rec->widget.data()); label && label->wordWrap())
    return label->heightForWidth(std::max(label->width(), 1));
  return rec->widget->sizeHint().height();
}

void SetGadgetCursor(int gadget, int shape) {
  auto* rec = Rec(gadget);
  if (!rec) return;
  static const Qt::CursorShape kShapes[] = {
      Qt::ArrowCursor,     Qt::CrossCursor,    Qt::PointingHandCursor, Qt::WaitCursor,
      Qt::IBeamCursor,     Qt::SizeAllCursor,  Qt::SizeHorCursor,      Qt::SizeVerCursor,
      Qt::SizeFDiagCursor, Qt::SizeBDiagCursor};
  if (shape < 0 || shape >= int(std::size(kShapes))) shape = 0;
  rec->widget->setCursor(kShapes[shape]);
}

QWidget* GadgetWidget(int gadget) {
  auto* rec = Rec(gadget);
  return rec ? rec->widget.data() : nullptr;
}

QImage* CanvasBuffer(int gadget) {
  auto* rec = Rec(gadget);
  return rec && rec->canvas ? rec->canvas.get() : nullptr;
}

int CanvasWidth(int gadget) {
  QImage* buffer = CanvasBuffer(gadget);
  return buffer ? buffer->width() : 0;
}
int CanvasHeight(int gadget) {
  QImage* buffer = CanvasBuffer(gadget);
  return buffer ? buffer->height() : 0;
}

void RefreshCanvas(int gadget) {
  if (auto* rec = Rec(gadget)) rec->widget->update();
}

}  // namespace platform
