// Items and columns of combo boxes, list icons, trees and editors.
#include <QComboBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTreeWidget>

#include "layer_state.h"
#include "tolvek/callstack.h"

namespace platform {
using namespace detail;

namespace {

QTreeWidget* Tree(int gadget) {
  return qobject_cast<QTreeWidget*>(GadgetWidget(gadget));
}

QTreeWidgetItem* Item(int gadget, int item) {
  auto* tree = Tree(gadget);
  if (!tree || item < 0) return nullptr;
  if (GadgetKindOf(gadget) == kGadgetListIcon) return tree->topLevelItem(item);
  // Trees number their items in display order, children included.
  int index = 0;
  for (QTreeWidgetItemIterator it(tree); *it; ++it, ++index)
    if (index == item) return *it;
  return nullptr;
}

QIcon IconOf(int image) {
  auto* data = ImageData(image);
  return data ? QIcon(QPixmap::fromImage(*data)) : QIcon();
}

QStringList Cells(const std::string& text) {
  return Q(text).split(QChar('\n'));
}

}  // namespace

void AddGadgetItem(int gadget, int position, const std::string& text, int image, int level) {
  TOLVEK_TRACE("AddGadgetItem");
  QWidget* w = GadgetWidget(gadget);
  if (!w) return;
  SilentChange silent;
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    combo->insertItem(position < 0 ? combo->count() : position, IconOf(image), Q(text));
    return;
  }
  if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
    plain->appendPlainText(Q(text));
    return;
  }
  auto* tree = qobject_cast<QTreeWidget*>(w);
  if (!tree) return;
  QTreeWidgetItem* item = nullptr;
  if (GadgetKindOf(gadget) == kGadgetListIcon) {
    item = new QTreeWidgetItem(Cells(text));
    int count = tree->topLevelItemCount();
    tree->insertTopLevelItem(position < 0 || position > count ? count : position, item);
    if (tree->property("lvCheckBoxes").toBool()) {
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(0, Qt::Unchecked);
    }
  } else {
    // A tree item's level says where it hangs: under the last item one level up.
    item = new QTreeWidgetItem(QStringList{Q(text)});
    QTreeWidgetItem* parent = nullptr;
    QTreeWidgetItem* last = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) last = *it;
    if (level > 0 && last) {
      int lastLevel = 0;
      for (auto* p = last->parent(); p; p = p->parent()) ++lastLevel;
      parent = last;
      while (parent && lastLevel >= level) {
        parent = parent->parent();
        --lastLevel;
      }
    }
    item->setData(0, Qt::UserRole + 1, level);
    if (parent)
      parent->addChild(item);
    else
      tree->addTopLevelItem(item);
  }
  if (image) item->setIcon(0, IconOf(image));
}

void RemoveGadgetItem(int gadget, int item) {
  SilentChange silent;
  if (auto* combo = qobject_cast<QComboBox*>(GadgetWidget(gadget))) {
    combo->removeItem(item);
    return;
  }
  delete Item(gadget, item);
}

void ClearGadgetItems(int gadget) {
  TOLVEK_TRACE("ClearGadgetItems");
  SilentChange silent;
  QWidget* w = GadgetWidget(gadget);
  if (auto* combo = qobject_cast<QComboBox*>(w))
    combo->clear();
  else if (auto* tree = qobject_cast<QTreeWidget*>(w))
    tree->clear();
  else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
    plain->clear();
}

int CountGadgetItems(int gadget) {
  QWidget* w = GadgetWidget(gadget);
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->count();
  if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
    if (GadgetKindOf(gadget) == kGadgetListIcon) return tree->topLevelItemCount();
    int count = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) ++count;
    return count;
  }
  if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) return plain->document()->blockCount();
  return 0;
}

std::string GetGadgetItemText(int gadget, int item, int column) {
  if (auto* combo = qobject_cast<QComboBox*>(GadgetWidget(gadget))) return U(combo->itemText(item));
  auto* it = Item(gadget, item);
  return it ? U(it->text(column)) : std::string();
}

void SetGadgetItemText(int gadget, int item, const std::string& text, int column) {
  SilentChange silent;
  if (auto* combo = qobject_cast<QComboBox*>(GadgetWidget(gadget))) {
    combo->setItemText(item, Q(text));
    return;
  }
  if (auto* it = Item(gadget, item)) it->setText(column, Q(text));
}

void SetGadgetItemState(int gadget, int item, int state) {
  auto* it = Item(gadget, item);
  if (!it) return;
  SilentChange silent;
  if (it->flags() & Qt::ItemIsUserCheckable)
    it->setCheckState(0, (state & kItemChecked) ? Qt::Checked : Qt::Unchecked);
  auto* tree = it->treeWidget();
  if (state & kItemSelected) {
    if (tree->selectionMode() == QAbstractItemView::SingleSelection) tree->clearSelection();
    it->setSelected(true);
    if (!tree->currentItem() || !tree->currentItem()->isSelected())
      tree->setCurrentItem(it, 0, QItemSelectionModel::NoUpdate);
  } else {
    it->setSelected(false);
  }
  it->setExpanded(state & kItemExpanded);
}

int GetGadgetItemState(int gadget, int item) {
  auto* it = Item(gadget, item);
  if (!it) return 0;
  int state = 0;
  if (it->isSelected()) state |= kItemSelected;
  if ((it->flags() & Qt::ItemIsUserCheckable) && it->checkState(0) == Qt::Checked)
    state |= kItemChecked;
  if (it->isExpanded()) state |= kItemExpanded;
  return state;
}

void SetGadgetItemData(int gadget, int item, int64_t data) {
  SilentChange silent;
  if (auto* combo = qobject_cast<QComboBox*>(GadgetWidget(gadget))) {
    combo->setItemData(item, qlonglong(data));
    return;
  }
  if (auto* it = Item(gadget, item)) it->setData(0, Qt::UserRole, qlonglong(data));
}

int64_t GetGadgetItemData(int gadget, int item) {
  if (auto* combo = qobject_cast<QComboBox*>(GadgetWidget(gadget)))
    return combo->itemData(item).toLongLong();
  auto* it = Item(gadget, item);
  return it ? it->data(0, Qt::UserRole).toLongLong() : 0;
}

void SetGadgetItemColor(int gadget, int item, int kind, uint32_t colour, int column) {
  auto* it = Item(gadget, item);
  if (!it) return;
  SilentChange silent;
  int columns = it->treeWidget()->columnCount();
  for (int c = column < 0 ? 0 : column; c < (column < 0 ? columns : column + 1); ++c) {
    QBrush brush = colour == kDefaultColour ? QBrush() : QBrush(ToQColor(colour));
    if (kind == kFrontColor)
      it->setForeground(c, brush);
    else
      it->setBackground(c, brush);
  }
}

uint32_t GetGadgetItemColor(int gadget, int item, int kind, int column) {
  auto* it = Item(gadget, item);
  if (!it) return kDefaultColour;
  QBrush brush = kind == kFrontColor ? it->foreground(column) : it->background(column);
  return brush.style() == Qt::NoBrush ? kDefaultColour : FromQColor(brush.color());
}

void SetGadgetItemFont(int gadget, int item, int font, int column) {
  auto* it = Item(gadget, item);
  if (!it) return;
  SilentChange silent;
  auto& fonts = Layer().fonts;
  auto found = fonts.find(font);
  QFont f = found != fonts.end() && found->second ? *found->second : it->treeWidget()->font();
  int columns = it->treeWidget()->columnCount();
  for (int c = column < 0 ? 0 : column; c < (column < 0 ? columns : column + 1); ++c)
    it->setFont(c, f);
}

void SetGadgetItemImage(int gadget, int item, int image) {
  SilentChange silent;
  if (auto* it = Item(gadget, item)) it->setIcon(0, IconOf(image));
}

bool GadgetItemHasImage(int gadget, int item) {
  auto* it = Item(gadget, item);
  return it && !it->icon(0).isNull();
}

void AddGadgetColumn(int gadget, int position, const std::string& title, int width) {
  TOLVEK_TRACE("AddGadgetColumn");
  auto* tree = Tree(gadget);
  if (!tree) return;
  SilentChange silent;
  QTreeWidgetItem* header = tree->headerItem();
  int count = tree->columnCount();
  if (position < 0 || position > count) position = count;
  tree->setColumnCount(count + 1);
  for (int c = count; c > position; --c) header->setText(c, header->text(c - 1));
  header->setText(position, Q(title));
  SetGadgetColumnWidth(gadget, position, width);
}

int CountGadgetColumns(int gadget) {
  auto* tree = Tree(gadget);
  return tree ? tree->columnCount() : 0;
}

std::string GetGadgetColumnTitle(int gadget, int column) {
  auto* tree = Tree(gadget);
  return tree ? U(tree->headerItem()->text(column)) : std::string();
}

void SetGadgetColumnWidth(int gadget, int column, int width) {
  auto* tree = Tree(gadget);
  if (!tree || column < 0 || column >= tree->columnCount()) return;
  QHeaderView* header = tree->header();
  if (width <= 0) {
    header->setSectionHidden(column, true);
  } else {
    header->setSectionHidden(column, false);
    header->resizeSection(column, width);
  }
}

int GetGadgetColumnWidth(int gadget, int column) {
  auto* tree = Tree(gadget);
  if (!tree || column < 0 || column >= tree->columnCount()) return 0;
  if (tree->header()->isSectionHidden(column)) return 0;
  return tree->header()->sectionSize(column);
}

int GadgetColumnTitleWidth(int gadget, int column) {
  auto* tree = Tree(gadget);
  if (!tree || column < 0 || column >= tree->columnCount()) return 0;
  return tree->header()->sectionSizeHint(column);
}

int ListIconRowAt(int gadget, int x, int y) {
  auto* tree = Tree(gadget);
  if (!tree) return -1;
  QPoint inViewport = tree->viewport()->mapFrom(tree, QPoint(x, y));
  auto* item = tree->itemAt(inViewport);
  return item ? tree->indexOfTopLevelItem(item) : -1;
}

int ListIconColumnAt(int gadget, int x) {
  auto* tree = Tree(gadget);
  if (!tree) return -1;
  int inViewport = tree->viewport()->mapFrom(tree, QPoint(x, 0)).x();
  // logicalIndexAt counts the horizontal scroll offset in.
  return tree->header()->logicalIndexAt(inViewport);
}

}  // namespace platform
