// The one event queue, the waits on it, window timers and keyboard shortcuts.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeySequence>
#include <QShortcut>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>

#include "layer_state.h"
#include "shortcut_rule.h"
#include "tolvek/callstack.h"

namespace platform {
namespace detail {

LayerState& Layer() {
  // Never destroyed: objects of other programs' static state (a renderer's images, say) may
  // still hand their handles back while the program ends.
  static LayerState& state = *new LayerState;
  return state;
}

int NewNumber() {
  return Layer().nextNumber++;
}

QString Q(const std::string& text) {
  return QString::fromUtf8(text.data(), int(text.size()));
}
std::string U(const QString& text) {
  return text.toUtf8().toStdString();
}

QColor ToQColor(uint32_t colour) {
  return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}
uint32_t FromQColor(const QColor& colour) {
  return Rgb(uint32_t(colour.red()), uint32_t(colour.green()), uint32_t(colour.blue()));
}

namespace {
bool IsWindowAccepting(const QueuedEvent& event) {
  auto& s = Layer();
  auto it = s.windows.find(event.window);
  return it == s.windows.end() || !it->second.disabled;
}
}  // namespace

void Enqueue(const QueuedEvent& event) {
  auto& s = Layer();
  // What the user does to a disabled window (a close request too) never reaches a handler.
  if (event.fromUser && !IsWindowAccepting(event)) return;
  if (event.type == kEventSizeWindow || event.type == kEventMoveWindow) {
    for (const auto& queued : s.queue)
      if (queued.type == event.type && queued.window == event.window) return;
  }
  s.queue.push_back(event);
  if (s.waiting) s.waiting->quit();
}

void RemoveQueuedEventsOfWindow(int window) {
  auto& q = Layer().queue;
  std::erase_if(q, [window](const QueuedEvent& e) { return e.window == window; });
}

}  // namespace detail

using namespace detail;

namespace {

bool TakeEvent() {
  auto& s = Layer();
  // Once the end is requested nothing more is handed out: what the user did meanwhile is
  // not acted on, and every loop leaves as its Cancel does.
  if (s.endRequested) return false;
  QueueDueTimers();
  if (s.queue.empty()) return false;
  s.current = s.queue.front();
  s.queue.pop_front();
  if (s.current.type == kEventTimer) {
    auto it = s.timers.find({s.current.window, s.current.data});
    if (it != s.timers.end()) it->second.pending = false;
  }
  return true;
}

void RunHook() {
  auto& s = Layer();
  if (!s.loopHook || s.inHook) return;
  s.inHook = true;
  auto hook = s.loopHook;  // the hook may replace itself
  hook();
  s.inHook = false;
}

}  // namespace

int WaitWindowEvent(int timeoutMs) {
  TOLVEK_TRACE("WaitWindowEvent");
  auto& s = Layer();
  s.current = QueuedEvent{};
  QElapsedTimer elapsed;
  elapsed.start();
  // Deliver what Qt already holds first, so an event that is due is not overtaken by a wait.
  QCoreApplication::processEvents();
  for (;;) {
    if (TakeEvent()) return s.current.type;
    RunHook();
    if (TakeEvent()) return s.current.type;
    if (s.endRequested) return kEventNone;
    int remaining = -1;
    if (timeoutMs >= 0) {
      remaining = timeoutMs - int(elapsed.elapsed());
      if (remaining <= 0) return kEventNone;
    }
    // With a hook installed the wait is sliced, so the hook is asked again and again.
    if (s.loopHook && (remaining < 0 || remaining > 10)) remaining = 10;
    QEventLoop loop;
    QTimer wake;
    wake.setSingleShot(true);
    if (remaining >= 0) {
      QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
      wake.start(remaining);
    }
    QEventLoop* outer = s.waiting;
    s.waiting = &loop;
    loop.exec();
    s.waiting = outer;
  }
}

int WindowEvent() {
  TOLVEK_TRACE("WindowEvent");
  auto& s = Layer();
  s.current = QueuedEvent{};
  QCoreApplication::processEvents();
  if (TakeEvent()) return s.current.type;
  // A loop that polls instead of waiting gives the hook its turn all the same.
  RunHook();
  return TakeEvent() ? s.current.type : kEventNone;
}

int EventWindow() {
  return Layer().current.window;
}
int EventGadget() {
  return Layer().current.gadget;
}
int EventKind() {
  return Layer().current.type;
}
int EventSubtype() {
  return Layer().current.subtype;
}
int EventMenu() {
  return Layer().current.type == kEventMenu ? Layer().current.data : -1;
}
int EventTimer() {
  return Layer().current.type == kEventTimer ? Layer().current.data : -1;
}
int EventData() {
  return Layer().current.data;
}
int EventMouseX() {
  return Layer().current.x;
}
int EventMouseY() {
  return Layer().current.y;
}
int EventModifiers() {
  return Layer().current.modifiers;
}
int EventButtons() {
  return Layer().current.buttons;
}

void PostEvent(int type, int window, int gadget, int subtype, int data) {
  TOLVEK_TRACE("PostEvent");
  QueuedEvent e;
  e.type = type;
  e.window = window;
  e.gadget = gadget;
  e.subtype = subtype;
  e.data = data;
  e.fromUser = false;
  Enqueue(e);
}

void WatchReadable(int fd, std::function<void()> onReadable) {
  // Lives as long as the application: the descriptor is watched for the whole run.
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                   [onReadable = std::move(onReadable)] { onReadable(); });
}

void RequestEnd() {
  TOLVEK_TRACE("RequestEnd");
  auto& s = Layer();
  s.endRequested = true;
  // Our own windows are plain widgets: a dialog is one of Qt's (a message box, a file or
  // colour dialog) running a loop of its own, which rejecting it leaves.
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(top); dialog && dialog->isVisible()) dialog->reject();
  }
  if (s.waiting) s.waiting->quit();
}

bool IsEndRequested() {
  return Layer().endRequested;
}

void FlushEvents() {
  auto& s = Layer();
  s.queue.clear();
  for (auto& [key, timer] : s.timers) timer.pending = false;
}

size_t QueuedEventCount() {
  return Layer().queue.size();
}

void AddWindowTimer(int window, int timer, int ms) {
  TOLVEK_TRACE("AddWindowTimer");
  auto& s = Layer();
  auto w = s.windows.find(window);
  if (w == s.windows.end() || !w->second.widget) return;
  RemoveWindowTimer(window, timer);
  const int period = ms < 1 ? 1 : ms;
  if (s.timersOnClock) {
    s.timers[{window, timer}] = TimerRec{nullptr, false, period, ElapsedMilliseconds() + period};
    return;
  }
  auto* qtimer = new QTimer(w->second.widget);
  qtimer->setInterval(period);
  s.timers[{window, timer}] = TimerRec{qtimer, false};
  QObject::connect(qtimer, &QTimer::timeout, [window, timer] {
    auto& st = Layer();
    auto it = st.timers.find({window, timer});
    if (it == st.timers.end() || it->second.pending) return;
    it->second.pending = true;
    QueuedEvent e;
    e.type = kEventTimer;
    e.window = window;
    e.data = timer;
    e.fromUser = false;
    Enqueue(e);
  });
  qtimer->start();
}

void RemoveWindowTimer(int window, int timer) {
  TOLVEK_TRACE("RemoveWindowTimer");
  auto& s = Layer();
  auto it = s.timers.find({window, timer});
  if (it == s.timers.end()) return;
  delete it->second.timer;
  s.timers.erase(it);
  // A removed timer must not fire once more from the queue.
  std::erase_if(s.queue, [&](const QueuedEvent& e) {
    return e.type == kEventTimer && e.window == window && e.data == timer;
  });
}

void AddKeyboardShortcut(int window, const std::string& key, int menuId) {
  TOLVEK_TRACE("AddKeyboardShortcut");
  auto& s = Layer();
  auto w = s.windows.find(window);
  if (w == s.windows.end() || !w->second.widget) return;
  RemoveKeyboardShortcut(window, key);
  InstallShortcutRule();
  auto* shortcut = new QShortcut(QKeySequence(Q(key)), w->second.widget);
  shortcut->setContext(Qt::WindowShortcut);
  shortcut->setAutoRepeat(false);
  shortcut->setProperty("menuId", menuId);
  QObject::connect(shortcut, &QShortcut::activated, [window, menuId] {
    QueuedEvent e;
    e.type = kEventMenu;
    e.window = window;
    e.data = menuId;
    Enqueue(e);
  });
  // Qt counts an owner's window shortcuts as active in its tool windows too, so a key that
  // both have (Escape) matches twice and neither fires: it belongs to the window in front.
  QObject::connect(shortcut, &QShortcut::activatedAmbiguously, [key] {
    for (const auto& [number, rec] : Layer().windows) {
      if (!rec.widget || rec.widget != QApplication::activeWindow()) continue;
      auto found = rec.shortcuts.find(key);
      if (found == rec.shortcuts.end() || !found->second->isEnabled()) return;
      QueuedEvent e;
      e.type = kEventMenu;
      e.window = number;
      e.data = found->second->property("menuId").toInt();
      Enqueue(e);
      return;
    }
  });
  w->second.shortcuts[key] = shortcut;
}

void RemoveKeyboardShortcut(int window, const std::string& key) {
  auto& s = Layer();
  auto w = s.windows.find(window);
  if (w == s.windows.end()) return;
  auto it = w->second.shortcuts.find(key);
  if (it == w->second.shortcuts.end()) return;
  delete it->second;
  w->second.shortcuts.erase(it);
}

int QueueDueTimers() {
  auto& s = Layer();
  if (!s.timersOnClock) return 0;
  int queued = 0;
  int64_t now = 0;
  bool read = false;
  for (auto& [key, timer] : s.timers) {
    if (timer.timer) continue;
    if (!read) {
      now = ElapsedMilliseconds();
      read = true;
    }
    if (timer.due > now) continue;
    // Periods the clock jumped over collapse into the one event a timer may have waiting.
    timer.due += (now - timer.due) / timer.period * timer.period + timer.period;
    if (timer.pending) continue;
    timer.pending = true;
    QueuedEvent e;
    e.type = kEventTimer;
    e.window = key.first;
    e.data = key.second;
    e.fromUser = false;
    Enqueue(e);
    ++queued;
  }
  return queued;
}

void SetTimersOnClock(bool onClock) {
  Layer().timersOnClock = onClock;
}

void SetLoopHook(std::function<void()> hook) {
  Layer().loopHook = std::move(hook);
}

void SetClock(std::function<int64_t()> clock) {
  Layer().clock = std::move(clock);
}

int64_t ElapsedMilliseconds() {
  auto& s = Layer();
  if (s.clock) return s.clock();
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace platform
