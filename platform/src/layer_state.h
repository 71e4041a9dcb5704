// The layer's object tables and its event queue, shared by the layer's own files only.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/window_system.h"

class QMenu;
class QMenuBar;
class QShortcut;
class QStatusBar;
class QTimer;
class QToolBar;
class QEventLoop;
class QLabel;

namespace platform::detail {

struct QueuedEvent {
  int type = kEventNone;
  int window = -1;
  int gadget = -1;
  int subtype = 0;
  int data = 0;
  int x = 0;
  int y = 0;
  int modifiers = 0;  // kModifier... and kMouse... bits
  int buttons = 0;
  bool fromUser = true;  // posted events and timers pass a disabled window
};

struct WindowRec {
  QPointer<QWidget> widget;
  int parent = kNoParent;
  bool disabled = false;
  // While disabled: the window's own children that the disabling turned off (the others were
  // off by their own state and stay so), and the widget that had the window's focus.
  std::vector<QPointer<QWidget>> heldOff;
  QPointer<QWidget> focusBefore;
  std::map<std::string, QShortcut*> shortcuts;
  bool fieldsKeepConfirmKeys = false;  // Return and Escape stay with single-line fields
};

struct GadgetRec {
  QPointer<QWidget> widget;
  int window = -1;
  int kind = 0;
  std::string name;
  int64_t rangeMin = 0, rangeMax = 0;  // progress bars scale 64-bit values
  std::shared_ptr<QImage> canvas;      // back buffer of canvases
  int image = 0, pressedImage = 0;
};

struct TimerRec {
  QTimer* timer = nullptr;  // null for a timer on the injected clock
  bool pending = false;
  int64_t period = 0, due = 0;  // a timer on the injected clock: its period and next time
};

struct MenuRec {
  QPointer<QMenu> popup;
  QPointer<QMenuBar> bar;
  int window = -1;  // where its events go
};

struct LayerState {
  std::map<int, WindowRec> windows;
  std::map<int, GadgetRec> gadgets;
  std::map<std::pair<int, int>, TimerRec> timers;
  std::map<int, MenuRec> menus;
  std::map<int, std::shared_ptr<QFont>> fonts;
  std::map<int, std::shared_ptr<QImage>> images;
  std::map<int, QPointer<QStatusBar>> statusBars;
  std::map<int, QPointer<QToolBar>> toolBars;
  int nextNumber = 100000;

  std::deque<QueuedEvent> queue;
  QueuedEvent current;
  QEventLoop* waiting = nullptr;
  std::function<void()> loopHook;
  bool inHook = false;
  std::function<int64_t()> clock;
  bool timersOnClock = false;

  std::vector<int> gadgetListStack;  // windows (or containers, as -gadget - 2)
  int buildingMenu = -1;
  std::vector<QMenu*> menuStack;
  int buildingToolBar = -1;
  int lastPopup = -1;

  std::deque<int> messageAnswers;
  struct FileAnswer {
    std::string path;
    int pattern = -1;  // -1: the preselected pattern stays chosen
  };
  std::deque<FileAnswer> fileAnswers;
  int selectedPattern = 0;  // of the last file dialog
  std::deque<int64_t> colourAnswers;
  std::vector<ShownMessage> shown;
  std::function<void(const std::string&, const std::string&)> unscripted;

  int suppressSignals = 0;  // > 0 while the layer itself changes a gadget
  bool endRequested = false;
};

LayerState& Layer();
int NewNumber();
QWidget* CurrentGadgetParent(int* window);
// Places a new widget in the current gadget list and files it under its number (a new one for
// kNewNumber); null, with the widget deleted, when there is no gadget list.
QWidget* PlaceGadget(int& gadget, int kind, int x, int y, int w, int h, QWidget* widget);
void Enqueue(const QueuedEvent& event);
void RemoveQueuedEventsOfWindow(int window);
void FreeGadgetsOfWindow(int window);
QColor ToQColor(uint32_t colour);
uint32_t FromQColor(const QColor& colour);
QString Q(const std::string& text);
std::string U(const QString& text);

// Text from a log, a session or a plugin reaches every widget; none of it may turn into
// markup, a picture or a link. Labels show their text as it is and follow no link.
void ShowPlainText(QLabel* label);
// Qt reads a tool tip as rich text when it looks like some; such a tip is written out so that
// its characters show as they are.
QString ToolTipAsIs(const QString& text);
// A window title's "[*]" is Qt's placeholder for the modified mark and vanishes; doubled it
// shows as it is. TitleOf reads a title set so back as it was given.
QString TitleAsIs(const QString& title);
QString TitleOf(const QWidget* window);
// Buttons and menus read an "&" as the mark of their shortcut letter; doubled it shows as it is.
// AmpersandsBack reads such a text back as it was given.
QString AmpersandsAsIs(const QString& text);
QString AmpersandsBack(const QString& text);

// While alive, gadget changes made by the layer post nothing.
struct SilentChange {
  SilentChange() { ++Layer().suppressSignals; }
  ~SilentChange() { --Layer().suppressSignals; }
  SilentChange(const SilentChange&) = delete;
  SilentChange& operator=(const SilentChange&) = delete;
};

}  // namespace platform::detail
