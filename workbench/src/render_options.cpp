// The render-options popup: thirteen boxes that choose which registry and file parts the
// next graph shows. It drops down from its toggle button and hides when it loses the focus.
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "workbench/gadgets.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

struct RenderBox {
  int gadget;
  int x, y, width;
  const char* text;
  const char* toolTip;  // nullptr: none
  bool checked;
};

constexpr RenderBox kRenderBoxes[] = {
    {Checkbox_RenderOptions_Registry, 10, 5, 270, "Registry (NODES, EDGES)",
     "Show/hide all registry related", true},
    {Checkbox_RenderOptions_RegistryNonAutostart, 25, 30, 255, "Non-Autostart (NODES)",
     "Show/hide non-autostart registry keys", true},
    {Checkbox_RenderOptions_RegistryGet, 25, 55, 255, "get (EDGES)", "Show/hide registry-get edges",
     true},
    {Checkbox_RenderOptions_RegistrySet, 25, 80, 255, "set (EDGES)", "Show/hide registry-set edges",
     true},
    {Checkbox_RenderOptions_Files, 10, 115, 270, "Files (NODES, EDGES)",
     "Show/hide all file related", true},
    {Checkbox_RenderOptions_FilesBulkCategories, 25, 140, 255, "Bulk-Categories (NODES)",
     "Show/hide files matching bulk-categories", true},
    {Checkbox_RenderOptions_FilesReadOnly, 25, 165, 255, "Read only files (NODES, EDGES)",
     "Show/hide files only being read from", false},
    {Checkbox_RenderOptions_FilesRead, 25, 190, 255, "read (EDGES)", "Show/hide file-read edges",
     true},
    {Checkbox_RenderOptions_FilesWrite, 25, 215, 255, "write (EDGES)", "Show/hide file-write edges",
     true},
    {Checkbox_RenderOptions_FilesCreate, 25, 240, 255, "create (EDGES)",
     "Show/hide file-create edges", true},
    {Checkbox_RenderOptions_FilesDelete, 25, 265, 255, "delete (EDGES)",
     "Show/hide file-delete edges", true},
    {Checkbox_RenderOptions_FilesBasedOn, 25, 290, 255, "based on (EDGES)",
     "Show/hide based-on edges", true},
    {Checkbox_RenderOptions_FilesLoads, 25, 315, 255, "loads (EDGES)", nullptr, true},
};

constexpr int kBoxHeight = 30;

// Each master box and the boxes it greys out, which follow it up to the next master.
void FollowMaster(int master, int first, int last) {
  bool off = platform::GetGadgetState(master) == 0;
  for (int gadget = first; gadget <= last; ++gadget) platform::DisableGadget(gadget, off);
}

}  // namespace

void CreateRenderOptionsWindow() {
  TOLVEK_TRACE("OpenWindow_RenderOptions");
  using namespace platform;
  OpenWindow(Window_RenderOptions, 0, 0, 335, 350, "", kWindowBorderless | kWindowInvisible,
             Window_Main);
  for (const RenderBox& box : kRenderBoxes) {
    CheckBoxGadget(box.gadget, box.x, box.y, box.width, kBoxHeight, box.text);
    if (box.toolTip) GadgetToolTip(box.gadget, box.toolTip);
    SetGadgetState(box.gadget, box.checked ? 1 : 0);
  }
}

void UpdateRenderOptionGadgets() {
  if (!platform::IsGadget(Checkbox_RenderOptions_Registry)) return;
  FollowMaster(Checkbox_RenderOptions_Registry, Checkbox_RenderOptions_RegistryNonAutostart,
               Checkbox_RenderOptions_RegistrySet);
  FollowMaster(Checkbox_RenderOptions_Files, Checkbox_RenderOptions_FilesBulkCategories,
               Checkbox_RenderOptions_FilesLoads);
}

void HandleRenderOptionsGadget(int) {
  // The main loop marks the session as changed after every event of the popup.
  UpdateRenderOptionGadgets();
}

}  // namespace workbench
