// Windows built from a description: the gadgets are made with the layer's own calls, then a
// tree of boxes measures and places them, now and whenever the window or a gadget changes.
#include "platform/box_layout.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QToolButton>

#include "box_layout_tree.h"
#include "layer_state.h"
#include "tolvek/callstack.h"

namespace platform {
using namespace detail;

namespace {

std::string Bare(const std::string& name) {
  return !name.empty() && name[0] == '#' ? name.substr(1) : name;
}

std::map<std::string, int>& Constants() {
  static std::map<std::string, int> constants;
  return constants;
}

std::string& ErrorText() {
  static std::string error;
  return error;
}

// Buttons made from a description get the usual 16-pixel picture room until they have one.
constexpr int kImageButtonSide = 22;
constexpr int kImageButtonBorder = 6;
constexpr int kCanvasSide = 16;

struct BoxNode {
  enum Kind { kVBox, kHBox, kSingle, kFrame, kStack, kEmpty, kGadget };
  Kind kind = kGadget;
  int gadget = -1;  // gadgets and frames
  int fixedWidth = -1, fixedHeight = -1;
  int expand = 0;  // counted from 1
  int margins[4] = {};
  int alignH = 0, alignV = 0;
  QSize natural;   // gadgets: as measured; gaps: as given; frames: room for the title
  QMargins inner;  // frames: from the frame's edge to its content
  std::vector<BoxNode> children;
};

bool Absent(const BoxNode& node) {
  return (node.kind == BoxNode::kGadget || node.kind == BoxNode::kFrame) &&
         IsGadgetHidden(node.gadget);
}

QSize LargestPicture(const QIcon& icon) {
  QSize largest;
  for (const QSize& size : icon.availableSizes())
    if (size.width() * size.height() > largest.width() * largest.height()) largest = size;
  return largest;
}

QSize MeasureGadget(const BoxNode& node) {
  QWidget* widget = GadgetWidget(node.gadget);
  if (!widget) return QSize(0, 0);
  QSize size;
  switch (GadgetKindOf(node.gadget)) {
    case kGadgetCanvas:
      size = QSize(kCanvasSide, kCanvasSide);
      break;
    case kGadgetText: {
      // A wrapping label guesses a paragraph shape; a layout text wants its one line.
      auto* label = static_cast<QLabel*>(widget);
      bool wraps = label->wordWrap();
      label->setWordWrap(false);
      size = label->sizeHint();
      label->setWordWrap(wraps);
      break;
    }
    case kGadgetButtonImage: {
      auto* button = static_cast<QToolButton*>(widget);
      QImage* image = ImageData(Layer().gadgets[node.gadget].image);
      QSize picture = image ? image->size() : LargestPicture(button->icon());
      if (!picture.isEmpty()) {
        button->setIconSize(picture);
        size = picture + QSize(kImageButtonBorder, kImageButtonBorder);
      } else {
        size = QSize(kImageButtonSide, kImageButtonSide);
      }
      break;
    }
    default:
      size = widget->sizeHint();
      if (!size.isValid()) size = widget->minimumSizeHint();
      break;
  }
  size = size.expandedTo(QSize(0, 0));
  if (node.fixedWidth >= 0) size.setWidth(node.fixedWidth);
  if (node.fixedHeight >= 0) size.setHeight(node.fixedHeight);
  return size;
}

void Measure(BoxNode& node) {
  if (node.kind == BoxNode::kGadget) node.natural = MeasureGadget(node);
  if (node.kind == BoxNode::kFrame) {
    if (auto* frame = qobject_cast<QGroupBox*>(GadgetWidget(node.gadget))) {
      node.inner = frame->contentsMargins();
      node.natural = frame->minimumSizeHint();
    }
  }
  for (auto& child : node.children) Measure(child);
}

QSize Need(const BoxNode& node) {
  switch (node.kind) {
    case BoxNode::kGadget:
    case BoxNode::kEmpty:
      return node.natural;
    case BoxNode::kVBox:
    case BoxNode::kHBox: {
      bool vertical = node.kind == BoxNode::kVBox;
      int along = 0, across = 0;
      for (const auto& child : node.children) {
        if (Absent(child)) continue;
        QSize need = Need(child);
        along += vertical ? need.height() : need.width();
        across = std::max(across, vertical ? need.width() : need.height());
      }
      return vertical ? QSize(across, along) : QSize(along, across);
    }
    case BoxNode::kSingle: {
      QSize need = Absent(node.children[0]) ? QSize(0, 0) : Need(node.children[0]);
      return need + QSize(node.margins[0] + node.margins[2], node.margins[1] + node.margins[3]);
    }
    case BoxNode::kFrame: {
      QSize need =
          node.children.empty() || Absent(node.children[0]) ? QSize(0, 0) : Need(node.children[0]);
      need += QSize(node.inner.left() + node.inner.right(), node.inner.top() + node.inner.bottom());
      return need.expandedTo(node.natural);
    }
    case BoxNode::kStack: {
      // Hidden children count too, so the place keeps its size while they take turns.
      QSize need(0, 0);
      for (const auto& child : node.children) need = need.expandedTo(Need(child));
      return need;
    }
  }
  return QSize(0, 0);
}

// rect: in the coordinates of the widget the node's gadgets live in.
void Place(const BoxNode& node, const QRect& rect) {
  switch (node.kind) {
    case BoxNode::kGadget:
      if (QWidget* widget = GadgetWidget(node.gadget)) widget->setGeometry(rect);
      return;
    case BoxNode::kEmpty:
      return;
    case BoxNode::kFrame: {
      QWidget* frame = GadgetWidget(node.gadget);
      if (!frame) return;
      frame->setGeometry(rect);
      // The frame's content lives inside it, so it hides with the frame.
      if (!node.children.empty())
        Place(node.children[0], QRect(QPoint(0, 0), rect.size()).marginsRemoved(node.inner));
      return;
    }
    case BoxNode::kVBox:
    case BoxNode::kHBox: {
      bool vertical = node.kind == BoxNode::kVBox;
      QSize need = Need(node);
      int spare =
          std::max(0, vertical ? rect.height() - need.height() : rect.width() - need.width());
      int at = vertical ? rect.top() : rect.left();
      for (size_t i = 0; i < node.children.size(); ++i) {
        const BoxNode& child = node.children[i];
        if (Absent(child)) continue;
        QSize childNeed = Need(child);
        int length = (vertical ? childNeed.height() : childNeed.width()) +
                     (int(i) + 1 == node.expand ? spare : 0);
        Place(child, vertical ? QRect(rect.left(), at, rect.width(), length)
                              : QRect(at, rect.top(), length, rect.height()));
        at += length;
      }
      return;
    }
    case BoxNode::kSingle: {
      const BoxNode& child = node.children[0];
      QRect room = rect.marginsRemoved(
          QMargins(node.margins[0], node.margins[1], node.margins[2], node.margins[3]));
      room.setSize(room.size().expandedTo(QSize(0, 0)));
      QSize childNeed = Need(child);
      auto align = [](int mode, int start, int length, int wanted, int& outStart, int& outLength) {
        outLength = mode == 0 ? length : std::min(length, wanted);
        outStart = start + (mode == 2   ? (length - outLength) / 2
                            : mode == 3 ? length - outLength
                                        : 0);
      };
      int x, y, w, h;
      align(node.alignH, room.left(), room.width(), childNeed.width(), x, w);
      align(node.alignV, room.top(), room.height(), childNeed.height(), y, h);
      Place(child, QRect(x, y, w, h));
      return;
    }
    case BoxNode::kStack: {
      bool raised = false;
      for (const auto& child : node.children) {
        Place(child, rect);
        if (!raised && !Absent(child)) {
          if (QWidget* widget = GadgetWidget(child.gadget)) widget->raise();
          raised = true;
        }
      }
      return;
    }
  }
}

void CollectGadgets(const BoxNode& node, std::vector<int>& gadgets) {
  if (node.gadget >= 0) gadgets.push_back(node.gadget);
  for (const auto& child : node.children) CollectGadgets(child, gadgets);
}

// Lives as long as its window (it is the window widget's child) and places the tree again
// whenever the window is resized or one of the tree's gadgets is shown or hidden.
class WindowLayout : public QObject {
 public:
  WindowLayout(QWidget* window, BoxNode root, QSize minimum, bool sizable)
      : QObject(window), m_root(std::move(root)), m_minimum(minimum), m_sizable(sizable) {}

  void Watch() {
    parent()->installEventFilter(this);
    std::vector<int> gadgets;
    CollectGadgets(m_root, gadgets);
    for (int gadget : gadgets)
      if (QWidget* widget = GadgetWidget(gadget)) widget->installEventFilter(this);
  }
  void Measure() { platform::Measure(m_root); }
  QSize Minimum() const { return Need(m_root).expandedTo(m_minimum); }
  void Apply() {
    if (m_busy) return;
    m_busy = true;
    auto* window = static_cast<QWidget*>(parent());
    QSize minimum = Minimum();
    if (m_sizable) {
      if (window->minimumSize() != minimum) window->setMinimumSize(minimum);
    } else if (window->width() < minimum.width() || window->height() < minimum.height()) {
      window->setFixedSize(window->size().expandedTo(minimum));
    }
    // A grown minimum may reach a shown window's size only later; place for it now.
    Place(m_root, QRect(QPoint(0, 0), window->size().expandedTo(minimum)));
    m_busy = false;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::Resize:
        if (watched == parent()) Apply();
        break;
      case QEvent::ShowToParent:
      case QEvent::HideToParent:
        if (watched != parent()) Apply();
        break;
      default:
        break;
    }
    return false;
  }

 private:
  BoxNode m_root;
  QSize m_minimum;
  bool m_sizable;
  bool m_busy = false;
};

std::map<int, QPointer<WindowLayout>>& Layouts() {
  static std::map<int, QPointer<WindowLayout>> layouts;
  return layouts;
}

WindowLayout* LayoutOf(int window) {
  auto it = Layouts().find(window);
  if (it == Layouts().end()) return nullptr;
  // A window closed and opened again under the same number has another widget.
  if (!it->second || it->second->parent() != WindowWidget(window)) return nullptr;
  return it->second;
}

int MakeGadget(const LayoutElement& e, int number) {
  const std::string* textAttribute = e.Attribute("text");
  std::string text = textAttribute ? *textAttribute : std::string();
  unsigned flags = FlagsAttribute(e);
  int w = IntAttribute(e, "width", 0), h = IntAttribute(e, "height", 0);
  const std::string& kind = e.name;
  if (kind == "text") return TextGadget(number, 0, 0, w, h, text, flags);
  if (kind == "string") return StringGadget(number, 0, 0, w, h, text, flags);
  if (kind == "button") return ButtonGadget(number, 0, 0, w, h, text, flags);
  if (kind == "buttonimage")
    return ButtonImageGadget(number, 0, 0, IntAttribute(e, "width", kImageButtonSide),
                             IntAttribute(e, "height", kImageButtonSide), 0, flags);
  if (kind == "checkbox") return CheckBoxGadget(number, 0, 0, w, h, text);
  if (kind == "option") return OptionGadget(number, 0, 0, w, h, text);
  if (kind == "combobox") return ComboBoxGadget(number, 0, 0, w, h, flags);
  int low = IntAttribute(e, "min", 0), high = IntAttribute(e, "max", 100);
  if (kind == "spin") return SpinGadget(number, 0, 0, w, h, low, high);
  if (kind == "trackbar") return TrackBarGadget(number, 0, 0, w, h, low, high);
  if (kind == "progressbar") return ProgressBarGadget(number, 0, 0, w, h, low, high);
  if (kind == "listicon") {
    const std::string* title = e.Attribute("title");
    return ListIconGadget(number, 0, 0, w, h, title ? *title : std::string(),
                          IntAttribute(e, "titlewidth", 100), flags);
  }
  if (kind == "tree") return TreeGadget(number, 0, 0, w, h);
  if (kind == "editor") return EditorGadget(number, 0, 0, w, h, flags);
  if (kind == "image") return ImageGadget(number, 0, 0, w, h, 0);
  if (kind == "canvas") return CanvasGadget(number, 0, 0, w, h, flags);
  if (kind == "frame") return FrameGadget(number, 0, 0, w, h, text);
  return 0;
}

bool Build(const LayoutElement& e, BoxNode& node, std::string& error) {
  static const std::map<std::string, BoxNode::Kind> kBoxes = {
      {"vbox", BoxNode::kVBox},   {"hbox", BoxNode::kHBox},   {"singlebox", BoxNode::kSingle},
      {"stack", BoxNode::kStack}, {"empty", BoxNode::kEmpty}, {"frame", BoxNode::kFrame}};
  auto box = kBoxes.find(e.name);
  node.kind = box == kBoxes.end() ? BoxNode::kGadget : box->second;
  node.expand = IntAttribute(e, "expand", 0);
  MarginAttribute(e, node.margins);
  AlignAttribute(e, node.alignH, node.alignV);
  if (node.kind == BoxNode::kEmpty) {
    node.natural = QSize(IntAttribute(e, "width", 0), IntAttribute(e, "height", 0));
    return true;
  }
  if (node.kind == BoxNode::kGadget || node.kind == BoxNode::kFrame) {
    const std::string* id = e.Attribute("id");
    int number = id ? GadgetConstant(*id) : -1;
    // A constant may be 0, which is also what a failed creating call returns.
    int made = MakeGadget(e, number < 0 ? kNewNumber : number);
    node.gadget = number < 0 ? made : number;
    if ((number < 0 && made == 0) || !IsGadget(node.gadget)) {
      node.gadget = -1;
      error = "line " + std::to_string(e.line) + ", <" + e.name + ">: the gadget cannot be made";
      return false;
    }
    if (id) SetGadgetName(node.gadget, *id);
    node.fixedWidth = IntAttribute(e, "width", -1);
    node.fixedHeight = IntAttribute(e, "height", -1);
  }
  if (node.kind == BoxNode::kFrame) Layer().gadgetListStack.push_back(-node.gadget - 2);
  node.children.resize(e.children.size());
  bool built = true;
  for (size_t i = 0; i < e.children.size() && built; ++i)
    built = Build(e.children[i], node.children[i], error);
  if (node.kind == BoxNode::kFrame) CloseGadgetList();
  return built;
}

QPoint CentredPosition(uint32_t flags, int parent, QSize size) {
  QRect area;
  QWidget* owner = WindowWidget(parent);
  if ((flags & kWindowParentCentered) && owner) {
    area = owner->geometry();
  } else if (flags & (kWindowScreenCentered | kWindowParentCentered)) {
    if (auto* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
  }
  if (!area.isValid()) return QPoint(kKeepValue, kKeepValue);
  return QPoint(area.x() + (area.width() - size.width()) / 2,
                area.y() + (area.height() - size.height()) / 2);
}

}  // namespace

void detail::RelayoutWindow(int window) {
  if (auto* layout = LayoutOf(window)) layout->Apply();
}

void RegisterGadgetConstant(const std::string& name, int number) {
  Constants()[Bare(name)] = number;
}

int GadgetConstant(const std::string& name) {
  auto it = Constants().find(Bare(name));
  return it == Constants().end() ? -1 : it->second;
}

size_t CountGadgetConstants() {
  return Constants().size();
}

std::string LastLayoutError() {
  return ErrorText();
}

int OpenWindowFromLayout(int window, const std::string& description, const std::string& name,
                         int parent) {
  TOLVEK_TRACE("OpenWindowFromLayout");
  std::string& error = ErrorText();
  error.clear();
  LayoutElement root;
  if (!ReadLayoutXml(description, root, error)) return 0;
  const LayoutElement* described = FindLayoutWindow(root, name, error);
  if (!described) return 0;

  uint32_t flags = described->Attribute("flags") ? FlagsAttribute(*described)
                                                 : kWindowCloseBox | kWindowTitleBar;
  const std::string* title = described->Attribute("title");
  QSize minimum(IntAttribute(*described, "minwidth", 0), IntAttribute(*described, "minheight", 0));
  int number = OpenWindow(window, IntAttribute(*described, "x", 0),
                          IntAttribute(*described, "y", 0), minimum.width(), minimum.height(),
                          title ? *title : std::string(), flags | kWindowInvisible, parent);
  QWidget* widget = WindowWidget(number);
  if (!widget) {
    error = "the window '" + name + "' cannot be opened";
    return 0;
  }
  BoxNode tree;
  if (!Build(described->children[0], tree, error)) {
    CloseWindow(number);
    return 0;
  }
  UseGadgetList(number);

  auto* layout = new WindowLayout(widget, std::move(tree), minimum, flags & kWindowSizable);
  Layouts()[number] = layout;
  layout->Measure();
  QSize size(IntAttribute(*described, "width", 0), IntAttribute(*described, "height", 0));
  size = size.expandedTo(layout->Minimum());
  QPoint at = CentredPosition(flags, parent, size);
  ResizeWindow(number, at.x(), at.y(), size.width(), size.height());
  layout->Apply();
  layout->Watch();

  if (!(flags & kWindowInvisible)) {
    widget->show();
    widget->activateWindow();
  }
  // Opening a window is not the user's doing: no size or move event for it.
  QCoreApplication::processEvents();
  std::erase_if(Layer().queue, [number](const QueuedEvent& e) {
    return e.window == number && (e.type == kEventSizeWindow || e.type == kEventMoveWindow);
  });
  return number;
}

void RefreshLayout(int window) {
  TOLVEK_TRACE("RefreshLayout");
  if (auto* layout = LayoutOf(window)) {
    layout->Measure();
    layout->Apply();
  }
}

}  // namespace platform
