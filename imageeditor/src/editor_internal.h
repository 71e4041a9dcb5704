// What the editor's files share among themselves.
#pragma once

#include <string>

#include "imageeditor/editor_state.h"

namespace imageeditor::detail {

// Posts a menu event to the editor window, handled by a later turn like a user's choice.
void QueueMenu(EditorState& s, int id);
void DispatchMenu(EditorState& s, int id);

// The view.
void SetZoom(EditorState& s, double zoom);  // rescales every item
void ZoomOneToOne(EditorState& s);
void ZoomFit(EditorState& s);
void ResizeCanvas(EditorState& s, int w, int h);
void ShowZoom(EditorState& s);
void Repaint(EditorState& s);
// A picture in image pixels of the working image with every item drawn on it.
int FlattenPicture(EditorState& s);

// The canvas's mouse and key events.
void HandleCanvasEvent(EditorState& s);

// Items.
CanvasItem& AppendItem(EditorState& s, int kind);
void SelectItem(EditorState& s, CanvasItem* item);  // clears the region when it was selected
void DeleteItem(EditorState& s, CanvasItem* item);
void SyncObject(CanvasItem& item);  // the object's integer position and size from the item
void CreateAnnotation(EditorState& s, int64_t kind);
void ShowTemplates(EditorState& s);

// Region, clipboard and file commands.
void SelectAll(EditorState& s);
void SelectNone(EditorState& s);
void SelectRectangle(EditorState& s);
void Crop(EditorState& s);
void Cut(EditorState& s);
void Copy(EditorState& s);
void Paste(EditorState& s);
void Delete(EditorState& s);
void ScaleImageToZoom(EditorState& s);
void SaveBitmap(EditorState& s);

// The object's popup menu and its actions.
void ShowContextMenu(EditorState& s);
void HandleObjectMenu(EditorState& s, int id);

// Tool windows: they edit s.current and close when it goes.
void OpenWindowColor(EditorState& s, const std::string& property);
void OpenWindowTrackBar(EditorState& s, const std::string& key);
void OpenWindowEditor(EditorState& s, const std::string& key);
bool IsToolWindow(int window);
// true when the event changed the current object.
bool ManageToolWindowEvent(EditorState& s);
void CloseToolWindows();

}  // namespace imageeditor::detail
