// The popup menu of an annotation object and what its items do.
#include "editor_internal.h"
#include "gui/input_requester_with_history.h"
#include "imageeditor/image_editor.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace imageeditor::detail {

namespace {

int CreateContextMenu(EditorState& s, const AnnotationObject& o) {
  TOLVEK_TRACE("_EditImageRequester_CreateContextMenu");
  using namespace platform;
  if (s.contextMenu && IsMenu(s.contextMenu)) FreeMenu(s.contextMenu);
  const int menu = CreatePopupMenu(kNewNumber);
  const std::string arrow = o.Property("Arrow");
  const bool shaped = o.type == kShapeBox || o.type == kShapeEllipse;
  if (shaped) {
    MenuItem(kMenuLineColor, "Line-Color ...");
    MenuItem(kMenuFillColor, "Fill-Color ...");
    MenuItem(kMenuLineThickness, "Line-Thickness ...");
    if (o.type == kShapeBox) MenuItem(kMenuCornerRadius, "Corner-Radius ...");
    MenuItem(kMenuShadow, "Shadow ...");
    OpenSubMenu("Arrow");
    MenuItem(kMenuArrowNone, "None");
    MenuItem(kMenuArrowLeft, "Left");
    MenuItem(kMenuArrowRight, "Right");
    MenuItem(kMenuArrowTop, "Top");
    MenuItem(kMenuArrowBottom, "Bottom");
    MenuBar();
    if (arrow != "None") MenuItem(kMenuArrowOffset, "Offset ...");
    OpenSubMenu("Fill with");
    MenuItem(kMenuArrowFillLine, "Line-Color");
    MenuItem(kMenuArrowFillFill, "Fill-Color");
    CloseSubMenu();
    CloseSubMenu();
    MenuItem(kMenuText, "Text ...");
  }
  if (s.flags & EIR_RememberGeometry) {
    MenuBar();
    MenuItem(kMenuSetAsDefault, "Set as default");
    MenuItem(kMenuResetToDefault, "Reset to default");
    MenuBar();
    if (HasMatchingTemplate(s.annotations, o)) {
      MenuItem(kMenuRemoveTemplate, "Remove from templates");
    } else {
      MenuItem(kMenuStoreTemplate, "Store as template");
    }
  }
  if (shaped) {
    const char* const sides[] = {"None", "Left", "Right", "Top", "Bottom"};
    for (int i = 0; i < 5; ++i) SetMenuItemState(menu, kMenuArrowNone + i, arrow == sides[i]);
    SetMenuItemState(menu, kMenuArrowFillLine, o.Property("ArrowFill") == "Line");
    SetMenuItemState(menu, kMenuArrowFillFill, o.Property("ArrowFill") == "Fill");
  }
  s.contextMenu = menu;
  return menu;
}

void StoreAsTemplate(EditorState& s, const AnnotationObject& o) {
  const std::string name = gui::InputRequesterWithHistory(
      "Store as template ...", "Enter a name for the template:", "", "", s.window,
      gui::IRH_EscapeCancels | gui::IRH_ReturnConfirms | gui::IRH_OverParent,
      "EditImageRequesterTemplate", gui::kNoHistoryLimit);
  if (TemplateGroupName(name).empty()) return;
  if (!StoreTemplate(s.annotations, name, o))
    platform::MessageRequester(s.title,
                               "Couldn't store the template in '" + s.annotations.path + "'!");
}

}  // namespace

void ShowContextMenu(EditorState& s) {
  if (!s.current) return;
  platform::DisplayPopupMenu(CreateContextMenu(s, *s.current), s.window);
}

void HandleObjectMenu(EditorState& s, int id) {
  TOLVEK_TRACE("_EditImageRequester_ObjectMenu");
  AnnotationObject* o = s.current;
  if (!o) return;
  static const char* const kSides[] = {"None", "Left", "Right", "Top", "Bottom"};
  switch (id) {
    case kMenuLineColor:
      OpenWindowColor(s, "LineColor");
      break;
    case kMenuFillColor:
      OpenWindowColor(s, "FillColor");
      break;
    case kMenuLineThickness:
      OpenWindowTrackBar(s, "LineThickness");
      break;
    case kMenuCornerRadius:
      OpenWindowTrackBar(s, "CornerRadius");
      break;
    case kMenuShadow:
      OpenWindowTrackBar(s, "Shadow");
      break;
    case kMenuArrowOffset:
      OpenWindowTrackBar(s, "ArrowPos");
      break;
    case kMenuText:
      OpenWindowEditor(s, "Text");
      break;
    case kMenuSetAsDefault:
      if (s.flags & EIR_RememberGeometry) SetAsDefault(s.annotations, *o);
      break;
    case kMenuResetToDefault:
      if (s.flags & EIR_RememberGeometry) {
        ResetToDefault(s.annotations, *o);
        s.redraw = true;
      }
      break;
    case kMenuStoreTemplate:
      if (s.flags & EIR_RememberGeometry) StoreAsTemplate(s, *o);
      break;
    case kMenuRemoveTemplate:
      if (s.flags & EIR_RememberGeometry) RemoveFromTemplates(s.annotations, *o);
      break;
    case kMenuArrowNone:
    case kMenuArrowLeft:
    case kMenuArrowRight:
    case kMenuArrowTop:
    case kMenuArrowBottom:
      o->properties["Arrow"] = kSides[id - kMenuArrowNone];
      s.redraw = true;
      break;
    case kMenuArrowFillLine:
      o->properties["ArrowFill"] = "Line";
      s.redraw = true;
      break;
    case kMenuArrowFillFill:
      o->properties["ArrowFill"] = "Fill";
      s.redraw = true;
      break;
    default:
      break;
  }
}

}  // namespace imageeditor::detail
