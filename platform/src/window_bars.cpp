// A window's menu, tool and status bars laid out together, and the tool bar's separators.
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>

#include "layer_state.h"
#include "tolvek/callstack.h"

namespace platform {
using namespace detail;

namespace {

// The first bar of the window in one of the layer's tables.
template <class Table>
QWidget* BarOf(const Table& bars, QWidget* window) {
  for (const auto& [number, bar] : bars)
    if (bar && bar->parentWidget() == window) return bar;
  return nullptr;
}

}  // namespace

BarRoom PlaceWindowBars(int window) {
  TOLVEK_TRACE("PlaceWindowBars");
  QWidget* w = WindowWidget(window);
  if (!w) return {0, 0};
  auto& s = Layer();
  QWidget* menuBar = nullptr;
  for (const auto& [number, menu] : s.menus)
    if (menu.bar && menu.bar->parentWidget() == w) menuBar = menu.bar;
  int top = 0, bottom = 0;
  for (QWidget* bar : {menuBar, BarOf(s.toolBars, w)}) {
    if (!bar) continue;
    int h = bar->sizeHint().height();
    bar->setGeometry(0, top, w->width(), h);
    top += h;
  }
  if (QWidget* bar = BarOf(s.statusBars, w)) {
    bottom = bar->sizeHint().height();
    bar->setGeometry(0, w->height() - bottom, w->width(), bottom);
  }
  return {top, std::max(w->height() - top - bottom, 1)};
}

void ToolBarSeparator() {
  auto& s = Layer();
  auto it = s.toolBars.find(s.buildingToolBar);
  if (it != s.toolBars.end() && it->second) it->second->addSeparator();
}

}  // namespace platform
