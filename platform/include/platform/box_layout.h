// Windows described as a tree of boxes instead of coordinates: the description names the
// gadgets, the layer measures them and places them, and places them again whenever the window
// is resized or a gadget is shown or hidden.
//
// A description is XML. Its root is one <window>, or any element (say <windows>) holding
// several. A window holds exactly one child, the root of its tree:
//
//   <window name="Window_Main" title="LumiVEX" minwidth="800" minheight="600"
//           flags="closebox|titlebar|sizable|maximizebox|minimizebox|invisible|screencentered">
//     <vbox expand="3"> ... </vbox>
//   </window>
//
// window: name (required), title, width, height (the opening inner size; by default the size
//   the tree needs), minwidth, minheight, x, y, flags: closebox titlebar tool sizable
//   maximizebox minimizebox borderless screencentered parentcentered invisible stayontop
//   (closebox|titlebar without the attribute).
//
// Boxes:
//   <vbox expand="n"> <hbox expand="n">  children one below / beside the other, without
//       spacing. Child n (counted from 1, hidden ones included) takes all spare room along the
//       box; 0 or absent: nobody does, the children keep their natural sizes from the start.
//       Across the box every child takes the box's full breadth.
//   <singlebox margin="l,t,r,b" align="h,v">  one child, inside the margins. align names at
//       most one of left|center|right and one of top|vcenter|bottom, e.g. "left,vcenter": in an
//       aligned direction the child keeps its natural size, otherwise it fills the box.
//   <frame text="title" id="...">  a titled frame around at most one child.
//   <stack>  children sharing one place, as large as its largest child, hidden ones included,
//       so the place does not jump when they take turns. The first child that is not hidden
//       shows on top; the program hides the others.
//   <empty width="5"/> <empty height="5"/>  a gap.
//
// Gadgets, with the attributes they take besides id, width and height:
//   text (text, flags center|right|border), string (text, flags readonly|password|numeric),
//   button (text, flags toggle|default), buttonimage (flags toggle), checkbox (text),
//   option (text), combobox (flags editable), spin / trackbar / progressbar (min, max),
//   listicon (title, titlewidth, flags checkboxes|multiselect|fullrowselect|
//   alwaysshowselection|gridlines), tree, editor (flags readonly|wordwrap), image,
//   canvas (flags border|keyboard).
//
// id: a gadget constant's name gives the gadget that number. Any other id gets a new number.
// Every gadget is named by its id (SetGadgetName), so FindGadgetByName(window, id) finds it.
// Gadgets without an id get a new number and no name.
//
// Sizes: width and height fix that dimension of a gadget's natural size; otherwise it comes
// from the gadget's text, picture, kind and font, as measured when the window opens and again
// at each RefreshLayout (so texts set later do not move anything until then). Canvases are
// small (16 x 16) unless expanded or given a size. Nothing shrinks below its natural size: the
// window's minimum is the larger of minwidth/minheight and the tree's natural size. A hidden
// gadget takes no room (a frame's content hides with it).
//
// Unknown elements or attributes, bad numbers, wrong child counts, an expand item beyond the
// box's children and an id used twice in one window are errors: nothing is opened.
#pragma once

#include <cstddef>
#include <string>

#include "platform/window_system.h"

namespace platform {

// Gadget constants: names that window descriptions use for fixed gadget numbers. A leading
// "#" is not part of the name: "#Button_Main_Refresh" and "Button_Main_Refresh" are one.
void RegisterGadgetConstant(const std::string& name, int number);
int GadgetConstant(const std::string& name);  // -1 when unknown
size_t CountGadgetConstants();

// Parses a window description and opens the window named `name` in it with the window number
// `window` (kNewNumber allowed). Returns the window number, 0 on error (LastLayoutError() says
// what and where).
int OpenWindowFromLayout(int window, const std::string& description, const std::string& name,
                         int parent = kNoParent);
std::string LastLayoutError();

// Recomputes sizes (after texts or pictures changed); showing/hiding a gadget and resizing
// the window re-lay out by themselves. The window grows when the tree no longer fits.
void RefreshLayout(int window);

}  // namespace platform
