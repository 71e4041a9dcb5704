// Numbered top-level windows and the events their frames send.
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

#include "box_layout_tree.h"
#include "layer_state.h"
#include "platform/session_platform.h"
#include "tolvek/callstack.h"

namespace platform {
using namespace detail;

namespace {

class LayerWindow : public QWidget {
 public:
  LayerWindow(int number, QWidget* owner, Qt::WindowFlags flags)
      : QWidget(owner, flags), m_number(number) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    // The program decides whether a window closes; the frame only asks.
    event->ignore();
    Post(kEventCloseWindow);
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    Post(kEventSizeWindow, false);
  }
  void moveEvent(QMoveEvent* event) override {
    QWidget::moveEvent(event);
    Post(kEventMoveWindow, false);
  }
  void changeEvent(QEvent* event) override {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
      Post(isActiveWindow() ? kEventActivateWindow : kEventDeactivateWindow, false);
    } else if (event->type() == QEvent::WindowStateChange) {
      // Restored: back from the task bar, or from maximised to the normal size (minimising a
      // maximised window is no restore).
      Qt::WindowStates before = static_cast<QWindowStateChangeEvent*>(event)->oldState();
      Qt::WindowStates now = windowState();
      bool leftMinimized = (before & Qt::WindowMinimized) && !(now & Qt::WindowMinimized);
      bool leftMaximized =
          (before & Qt::WindowMaximized) && !(now & (Qt::WindowMaximized | Qt::WindowMinimized));
      if (leftMinimized || leftMaximized) Post(kEventRestoreWindow, false);
    }
  }
  void mousePressEvent(QMouseEvent* event) override {
    // (A disabled window's clicks are dropped by the queue.)
    if (event->button() == Qt::LeftButton) Post(kEventLeftClick);
    QWidget::mousePressEvent(event);
  }

 private:
  void Post(int type, bool fromUser = true) {
    QueuedEvent e;
    e.type = type;
    e.window = m_number;
    e.fromUser = fromUser;
    Enqueue(e);
  }
  int m_number;
};

QWidget* Win(int window) {
  auto& s = Layer();
  auto it = s.windows.find(window);
  return it == s.windows.end() ? nullptr : it->second.widget.data();
}

void RemoveWindowObjects(int window) {
  auto& s = Layer();
  for (auto it = s.timers.begin(); it != s.timers.end();) {
    if (it->first.first == window) {
      delete it->second.timer;
      it = s.timers.erase(it);
    } else {
      ++it;
    }
  }
  FreeGadgetsOfWindow(window);
  RemoveQueuedEventsOfWindow(window);
  std::erase(s.gadgetListStack, window);
}

}  // namespace

QApplication& EnsureApplication(int& argc, char** argv) {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
  PreferX11OnWayland();
  return *new QApplication(argc, argv);
}

int OpenWindow(int window, int x, int y, int innerWidth, int innerHeight, const std::string& title,
               uint32_t flags, int parent) {
  TOLVEK_TRACE("OpenWindow");
  auto& s = Layer();
  if (window == kNewNumber) window = NewNumber();
  if (IsWindow(window)) CloseWindow(window);
  QWidget* owner = Win(parent);

  Qt::WindowFlags qflags = (flags & kWindowTool) ? Qt::Tool : Qt::Window;
  if (flags & kWindowBorderless) {
    qflags |= Qt::FramelessWindowHint;
  } else {
    qflags |= Qt::CustomizeWindowHint;
    if (flags & (kWindowTitleBar | kWindowCloseBox)) qflags |= Qt::WindowTitleHint;
    if (flags & kWindowCloseBox) qflags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
    if (flags & kWindowMaximizeBox) qflags |= Qt::WindowMaximizeButtonHint;
    if (flags & kWindowMinimizeBox) qflags |= Qt::WindowMinimizeButtonHint;
  }
  if (flags & kWindowStayOnTop) qflags |= Qt::WindowStaysOnTopHint;

  auto* widget = new LayerWindow(window, owner, qflags);
  widget->setAttribute(Qt::WA_DeleteOnClose, false);
  widget->setWindowTitle(TitleAsIs(Q(title)));
  innerWidth = std::max(innerWidth, 1);
  innerHeight = std::max(innerHeight, 1);
  widget->resize(innerWidth, innerHeight);
  if (!(flags & kWindowSizable)) widget->setFixedSize(innerWidth, innerHeight);

  QRect area;
  if ((flags & kWindowParentCentered) && owner) {
    area = owner->geometry();
  } else if (flags & (kWindowScreenCentered | kWindowParentCentered)) {
    if (auto* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
  }
  if (area.isValid()) {
    x = area.x() + (area.width() - innerWidth) / 2;
    y = area.y() + (area.height() - innerHeight) / 2;
  }
  widget->move(x, y);

  WindowRec record;
  record.widget = widget;
  record.parent = owner ? parent : kNoParent;
  s.windows[window] = std::move(record);
  s.gadgetListStack = {window};
  if (!(flags & kWindowInvisible)) {
    widget->show();
    widget->activateWindow();
  }
  // Opening a window is not the user's doing: no size or move event for it.
  QCoreApplication::processEvents();
  std::erase_if(s.queue, [window](const QueuedEvent& e) {
    return e.window == window && (e.type == kEventSizeWindow || e.type == kEventMoveWindow);
  });
  return window;
}

void CloseWindow(int window) {
  TOLVEK_TRACE("CloseWindow");
  auto& s = Layer();
  auto it = s.windows.find(window);
  if (it == s.windows.end()) return;
  QPointer<QWidget> widget = it->second.widget;
  for (auto& [key, shortcut] : it->second.shortcuts) delete shortcut;
  RemoveWindowObjects(window);
  // Windows owned by this one go with it, as their widgets do.
  std::vector<int> owned;
  for (auto& [number, rec] : s.windows)
    if (rec.parent == window) owned.push_back(number);
  for (int number : owned) CloseWindow(number);
  s.windows.erase(window);
  delete widget.data();
  RemoveQueuedEventsOfWindow(window);
}

void CloseAllWindows() {
  std::vector<int> all;
  for (auto& [number, rec] : Layer().windows) all.push_back(number);
  for (int number : all) CloseWindow(number);
}

bool IsWindow(int window) {
  return Win(window) != nullptr;
}

int WindowOwner(int window) {
  auto& s = Layer();
  auto it = s.windows.find(window);
  return it == s.windows.end() ? kNoParent : it->second.parent;
}

void SetWindowTitle(int window, const std::string& title) {
  if (auto* w = Win(window)) w->setWindowTitle(TitleAsIs(Q(title)));
}
std::string GetWindowTitle(int window) {
  auto* w = Win(window);
  return w ? U(TitleOf(w)) : std::string();
}

void SetWindowColor(int window, uint32_t colour) {
  auto* w = Win(window);
  if (!w) return;
  QPalette palette = w->palette();
  palette.setColor(QPalette::Window, ToQColor(colour));
  w->setPalette(palette);
  w->setAutoFillBackground(true);
}

int WindowX(int window) {
  auto* w = Win(window);
  return w ? w->frameGeometry().x() : 0;
}
int WindowY(int window) {
  auto* w = Win(window);
  return w ? w->frameGeometry().y() : 0;
}
int WindowWidth(int window) {
  auto* w = Win(window);
  return w ? w->width() : 0;
}
int WindowHeight(int window) {
  auto* w = Win(window);
  return w ? w->height() : 0;
}

namespace {

// The inner size asked for, kKeepValue keeping the window's; a window of one fixed size keeps
// its fixedness at the new size.
QSize InnerSizeFor(QWidget* w, int innerWidth, int innerHeight) {
  QSize size(innerWidth == kKeepValue ? w->width() : innerWidth,
             innerHeight == kKeepValue ? w->height() : innerHeight);
  if (w->minimumSize() == w->maximumSize()) w->setFixedSize(size);
  return size;
}

}  // namespace

void ResizeWindow(int window, int x, int y, int innerWidth, int innerHeight) {
  TOLVEK_TRACE("ResizeWindow");
  auto* w = Win(window);
  if (!w) return;
  QRect frame = w->frameGeometry();
  if (x != kKeepValue || y != kKeepValue)
    w->move(x == kKeepValue ? frame.x() : x, y == kKeepValue ? frame.y() : y);
  if (innerWidth != kKeepValue || innerHeight != kKeepValue) {
    w->resize(InnerSizeFor(w, innerWidth, innerHeight));
    RelayoutWindow(window);
  }
}

int WindowInnerX(int window) {
  auto* w = Win(window);
  return w ? w->geometry().x() : 0;
}
int WindowInnerY(int window) {
  auto* w = Win(window);
  return w ? w->geometry().y() : 0;
}

void ResizeWindowInner(int window, int x, int y, int innerWidth, int innerHeight) {
  TOLVEK_TRACE("ResizeWindowInner");
  auto* w = Win(window);
  if (!w) return;
  QRect inner = w->geometry();
  // One request for place and size: the window system places the inner area itself, whatever
  // it knows of the frame yet.
  w->setGeometry(QRect(QPoint(x == kKeepValue ? inner.x() : x, y == kKeepValue ? inner.y() : y),
                       InnerSizeFor(w, innerWidth, innerHeight)));
  RelayoutWindow(window);
}

void WindowMinimumSize(int window, int innerWidth, int innerHeight) {
  if (auto* w = Win(window)) w->setMinimumSize(innerWidth, innerHeight);
}

void SetWindowState(int window, WindowState state) {
  auto* w = Win(window);
  if (!w) return;
  if (state == kWindowMaximized)
    w->showMaximized();
  else if (state == kWindowMinimized)
    w->showMinimized();
  else
    w->showNormal();
}

WindowState GetWindowState(int window) {
  auto* w = Win(window);
  if (!w) return kWindowNormal;
  if (w->windowState() & Qt::WindowMinimized) return kWindowMinimized;
  if (w->windowState() & Qt::WindowMaximized) return kWindowMaximized;
  return kWindowNormal;
}

void DisableWindow(int window, bool disable) {
  TOLVEK_TRACE("DisableWindow");
  auto& s = Layer();
  auto it = s.windows.find(window);
  if (it == s.windows.end() || !it->second.widget) return;
  WindowRec& rec = it->second;
  if (rec.disabled == disable) return;
  rec.disabled = disable;
  for (auto& [key, shortcut] : rec.shortcuts) shortcut->setEnabled(!disable);
  if (disable) {
    rec.focusBefore = rec.widget->focusWidget();
    // Only the window's own content: disabling the top-level widget would disable the
    // windows it owns too, such as the requester that disabled it. Qt keeps the state of
    // deeper widgets itself; for these children the window remembers which it turned off.
    rec.heldOff.clear();
    for (QObject* child : rec.widget->children()) {
      auto* w = qobject_cast<QWidget*>(child);
      if (!w || w->isWindow() || !w->isEnabled()) continue;
      w->setEnabled(false);
      rec.heldOff.emplace_back(w);
    }
    return;
  }
  for (QPointer<QWidget>& w : rec.heldOff) {
    if (w) w->setEnabled(true);
  }
  rec.heldOff.clear();
  // The focus goes back where it was: disabling moved it off the window, and Qt would give
  // it to the window's first field.
  if (rec.focusBefore && rec.focusBefore->isEnabled() && rec.focusBefore->isVisible()) {
    rec.focusBefore->setFocus(Qt::OtherFocusReason);
  }
  rec.focusBefore = nullptr;
}
bool IsWindowEnabled(int window) {
  auto& s = Layer();
  auto it = s.windows.find(window);
  return it != s.windows.end() && it->second.widget && !it->second.disabled;
}

void HideWindow(int window, bool hide) {
  if (auto* w = Win(window)) w->setVisible(!hide);
}

void StickyWindow(int window, bool onTop) {
  auto* w = Win(window);
  if (!w) return;
  bool visible = w->isVisible();
  w->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  if (visible) w->show();
}

void SetActiveWindow(int window) {
  if (auto* w = Win(window)) {
    w->raise();
    w->activateWindow();
  }
}

int GetActiveWindow() {
  QWidget* active = QApplication::activeWindow();
  for (auto& [number, rec] : Layer().windows)
    if (rec.widget && rec.widget == active) return number;
  return -1;
}

int FindWindowByTitle(const std::string& title) {
  for (auto& [number, rec] : Layer().windows)
    if (rec.widget && U(TitleOf(rec.widget)) == title) return number;
  return -1;
}

QWidget* WindowWidget(int window) {
  return Win(window);
}

void ResetLayer() {
  auto& s = Layer();
  CloseAllWindows();
  for (auto& [number, menu] : s.menus) {
    delete menu.popup.data();
  }
  s.menus.clear();
  s.fonts.clear();
  s.images.clear();
  s.queue.clear();
  s.current = QueuedEvent{};
  s.loopHook = nullptr;
  s.clock = nullptr;
  s.timersOnClock = false;
  s.gadgetListStack.clear();
  s.menuStack.clear();
  s.buildingMenu = -1;
  s.buildingToolBar = -1;
  s.lastPopup = -1;
  ClearScriptedAnswers();
  s.nextNumber = 100000;
  s.endRequested = false;
}

}  // namespace platform
