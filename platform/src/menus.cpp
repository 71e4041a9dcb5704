// Popup menus, menu bars, tool bars and status bars; their items send menu events.
#include <QAction>
#include <QCursor>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "layer_state.h"
#include "tolvek/callstack.h"
#include "tool_pictures.h"

namespace platform {
using namespace detail;

namespace {

QMenu* Building() {
  auto& stack = Layer().menuStack;
  return stack.empty() ? nullptr : stack.back();
}

void SendMenuEvent(int menu, int id) {
  auto& s = Layer();
  auto it = s.menus.find(menu);
  QueuedEvent e;
  e.type = kEventMenu;
  e.window = it == s.menus.end() ? -1 : it->second.window;
  e.data = id;
  Enqueue(e);
}

QAction* FindAction(QWidget* root, int id) {
  if (!root) return nullptr;
  for (QAction* action : root->findChildren<QAction*>())
    if (action->property("menuId").isValid() && action->property("menuId").toInt() == id)
      return action;
  return nullptr;
}

// Keeps a bar spanning its window, and a status bar on the window's bottom edge, after the
// window has been resized. Owned by the bar, so it goes when the bar goes.
class BarFollower : public QObject {
 public:
  BarFollower(QWidget* bar, QWidget* window, bool bottom)
      : QObject(bar), m_bar(bar), m_bottom(bottom) {
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize && m_bar) {
      auto* window = static_cast<QWidget*>(watched);
      int h = m_bar->height();
      m_bar->setGeometry(0, m_bottom ? window->height() - h : m_bar->y(), window->width(), h);
    }
    return false;
  }

 private:
  QPointer<QWidget> m_bar;
  bool m_bottom;
};

QWidget* MenuRoot(int menu) {
  auto& s = Layer();
  auto it = s.menus.find(menu);
  if (it == s.menus.end()) return nullptr;
  if (it->second.popup) return it->second.popup;
  return it->second.bar;
}

}  // namespace

int CreatePopupMenu(int menu) {
  TOLVEK_TRACE("CreatePopupMenu");
  auto& s = Layer();
  if (menu == kNewNumber) menu = NewNumber();
  FreeMenu(menu);
  auto* popup = new QMenu();
  s.menus[menu] = MenuRec{popup, nullptr, -1};
  s.buildingMenu = menu;
  s.menuStack = {popup};
  return menu;
}

int CreateMenuBar(int menu, int window) {
  TOLVEK_TRACE("CreateMenuBar");
  auto& s = Layer();
  QWidget* w = WindowWidget(window);
  if (!w) return 0;
  if (menu == kNewNumber) menu = NewNumber();
  FreeMenu(menu);
  auto* bar = new QMenuBar(w);
  bar->setNativeMenuBar(false);
  bar->adjustSize();
  bar->setGeometry(0, 0, w->width(), bar->sizeHint().height());
  bar->show();
  new BarFollower(bar, w, false);
  s.menus[menu] = MenuRec{nullptr, bar, window};
  s.buildingMenu = menu;
  s.menuStack.clear();
  return menu;
}

void MenuTitle(const std::string& title) {
  auto& s = Layer();
  auto it = s.menus.find(s.buildingMenu);
  if (it == s.menus.end() || !it->second.bar) return;
  QMenuBar* bar = it->second.bar;
  s.menuStack = {bar->addMenu(AmpersandsAsIs(Q(title)))};
  // An empty bar has no height; the first title gives it its real one.
  bar->resize(bar->width(), bar->sizeHint().height());
}

void MenuItem(int id, const std::string& text) {
  QMenu* menu = Building();
  if (!menu) return;
  int owner = Layer().buildingMenu;
  QAction* action = menu->addAction(AmpersandsAsIs(Q(text)));
  action->setProperty("menuId", id);
  QObject::connect(action, &QAction::triggered, [owner, id] { SendMenuEvent(owner, id); });
}

void MenuBar() {
  if (QMenu* menu = Building()) menu->addSeparator();
}

void OpenSubMenu(const std::string& text) {
  if (QMenu* menu = Building()) Layer().menuStack.push_back(menu->addMenu(AmpersandsAsIs(Q(text))));
}

void CloseSubMenu() {
  auto& stack = Layer().menuStack;
  if (stack.size() > 1) stack.pop_back();
}

void DisableMenuItem(int menu, int id, bool disable) {
  if (QAction* action = FindAction(MenuRoot(menu), id)) action->setEnabled(!disable);
}

void SetMenuItemState(int menu, int id, bool checked) {
  if (QAction* action = FindAction(MenuRoot(menu), id)) {
    action->setCheckable(true);
    action->setChecked(checked);
  }
}

bool GetMenuItemState(int menu, int id) {
  QAction* action = FindAction(MenuRoot(menu), id);
  return action && action->isChecked();
}

void SetMenuItemText(int menu, int id, const std::string& text) {
  if (QAction* action = FindAction(MenuRoot(menu), id)) action->setText(AmpersandsAsIs(Q(text)));
}

void DisplayPopupMenu(int menu, int window, int x, int y) {
  TOLVEK_TRACE("DisplayPopupMenu");
  auto& s = Layer();
  auto it = s.menus.find(menu);
  if (it == s.menus.end() || !it->second.popup) return;
  it->second.window = window;
  s.lastPopup = menu;
  QPoint at = (x == kKeepValue && y == kKeepValue) ? QCursor::pos() : QPoint(x, y);
  // Not exec(): the choice arrives as a menu event through the queue like any other.
  it->second.popup->popup(at);
}

void FreeMenu(int menu) {
  auto& s = Layer();
  auto it = s.menus.find(menu);
  if (it == s.menus.end()) return;
  delete it->second.popup.data();
  delete it->second.bar.data();
  s.menus.erase(it);
  if (s.buildingMenu == menu) {
    s.buildingMenu = -1;
    s.menuStack.clear();
  }
  if (s.lastPopup == menu) s.lastPopup = -1;
}

bool IsMenu(int menu) {
  return Layer().menus.count(menu) > 0;
}

int CreateStatusBar(int statusBar, int window) {
  TOLVEK_TRACE("CreateStatusBar");
  QWidget* w = WindowWidget(window);
  if (!w) return 0;
  if (statusBar == kNewNumber) statusBar = NewNumber();
  auto* bar = new QStatusBar(w);
  bar->setSizeGripEnabled(false);
  int h = bar->sizeHint().height();
  bar->setGeometry(0, w->height() - h, w->width(), h);
  bar->show();
  new BarFollower(bar, w, true);
  Layer().statusBars[statusBar] = bar;
  return statusBar;
}

int MenuBarHeight(int menu) {
  auto& menus = Layer().menus;
  auto it = menus.find(menu);
  return it != menus.end() && it->second.bar ? it->second.bar->height() : 0;
}

int StatusBarHeight(int statusBar) {
  auto& bars = Layer().statusBars;
  auto it = bars.find(statusBar);
  return it != bars.end() && it->second ? it->second->height() : 0;
}

int ToolBarHeight(int toolBar) {
  auto& bars = Layer().toolBars;
  auto it = bars.find(toolBar);
  return it != bars.end() && it->second ? it->second->height() : 0;
}

namespace {
QList<QLabel*> StatusFields(QStatusBar* bar) {
  QList<QLabel*> fields;
  for (QLabel* label : bar->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
    if (label->property("statusField").isValid()) fields.push_back(label);
  return fields;
}
}  // namespace

void AddStatusBarField(int statusBar, int width) {
  TOLVEK_TRACE("AddStatusBarField");
  auto& bars = Layer().statusBars;
  auto it = bars.find(statusBar);
  if (it == bars.end() || !it->second) return;
  QStatusBar* bar = it->second;
  auto* field = new QLabel(bar);
  ShowPlainText(field);
  field->setProperty("statusField", int(StatusFields(bar).size()));
  field->setFixedWidth(std::max(width, 0));
  bar->addWidget(field);
}

void StatusBarText(int statusBar, int field, const std::string& text) {
  auto& bars = Layer().statusBars;
  auto it = bars.find(statusBar);
  if (it == bars.end() || !it->second) return;
  QList<QLabel*> fields = StatusFields(it->second);
  // A bar without fields is one line of text; a message would hide the fields of the others.
  if (fields.isEmpty()) {
    it->second->showMessage(Q(text));
  } else if (field >= 0 && field < fields.size()) {
    fields[field]->setText(Q(text));
  }
}

int CreateToolBar(int toolBar, int window) {
  TOLVEK_TRACE("CreateToolBar");
  QWidget* w = WindowWidget(window);
  if (!w) return 0;
  if (toolBar == kNewNumber) toolBar = NewNumber();
  auto* bar = new QToolBar(w);
  // Below the window's menu bar, when it has one, rather than over it.
  auto* menuBar = w->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly);
  bar->setGeometry(0, menuBar ? menuBar->y() + menuBar->height() : 0, w->width(), 28);
  bar->show();
  new BarFollower(bar, w, false);
  auto& s = Layer();
  s.toolBars[toolBar] = bar;
  s.buildingToolBar = toolBar;
  // Tool bar clicks are menu events of the window; a hidden menu record routes them.
  s.menus[-toolBar - 2] = MenuRec{nullptr, nullptr, window};
  return toolBar;
}

namespace {
void AddToolButton(int id, const QIcon& icon) {
  auto& s = Layer();
  auto it = s.toolBars.find(s.buildingToolBar);
  if (it == s.toolBars.end() || !it->second) return;
  QAction* action = it->second->addAction(icon, QString());
  action->setProperty("menuId", id);
  int route = -s.buildingToolBar - 2;
  QObject::connect(action, &QAction::triggered, [route, id] { SendMenuEvent(route, id); });
}
}  // namespace

void ToolBarStandardButton(int id, int standardImage) {
  AddToolButton(id, StandardToolIcon(standardImage));
}

void ToolBarImageButton(int id, int image) {
  QImage* data = ImageData(image);
  AddToolButton(id, data ? QIcon(QPixmap::fromImage(*data)) : QIcon());
}

void ToolBarToolTip(int toolBar, int id, const std::string& text) {
  auto& bars = Layer().toolBars;
  auto it = bars.find(toolBar);
  if (it == bars.end() || !it->second) return;
  for (QAction* action : it->second->actions())
    if (action->property("menuId").toInt() == id) action->setToolTip(ToolTipAsIs(Q(text)));
}

int LastShownPopupMenu() {
  return Layer().lastPopup;
}

namespace {
void ListMenuItems(QMenu* popup, const std::string& indent, std::vector<std::string>& lines) {
  for (QAction* action : popup->actions()) {
    if (action->isSeparator()) {
      lines.push_back(indent + "-");
    } else if (QMenu* sub = action->menu()) {
      lines.push_back(indent + ">" + U(AmpersandsBack(action->text())));
      ListMenuItems(sub, indent + "  ", lines);
    } else {
      lines.push_back(indent + std::to_string(action->property("menuId").toInt()) + ":" +
                      U(AmpersandsBack(action->text())));
    }
  }
}
}  // namespace

std::vector<std::string> MenuItemTexts(int menu) {
  std::vector<std::string> lines;
  if (auto* popup = qobject_cast<QMenu*>(MenuRoot(menu))) ListMenuItems(popup, "", lines);
  return lines;
}

bool TriggerMenuItem(int menu, int id) {
  QAction* action = FindAction(MenuRoot(menu), id);
  if (!action || !action->isEnabled()) return false;
  if (auto* popup = qobject_cast<QMenu*>(MenuRoot(menu))) popup->hide();
  action->trigger();
  return true;
}

}  // namespace platform
