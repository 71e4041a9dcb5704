// The workbench's actions that the main loop and the start-up call. Each is a stage of its
// own; the ones whose work is not built yet do nothing (or the least that keeps the loop
// sound) and say so below.
#pragma once

#include <cstdint>
#include <string>

#include "imageeditor/image_editor.h"

namespace workbench {

// ------------------------------------------------------------------- graph generation, view
// Runs the converter and dot and reads the laid-out graph into State().graph.
void GenerateGraph();
// Draws the graph into the canvas, the frame fields and the timeline strip; force after
// anything that changes what the graph looks like.
void RedrawGraph(bool force);
// Empties the highlight list.
void ClearHighlights();
// A gadget event of the graph canvas.
void HandleGraphCanvasEvent();
// Timer actions of the canvas: the context menu and the single left click.
void ShowGraphContextMenu();
void HandleSingleLeftClick();
// Opens the canvas picture in the image editor.
void ExportGraphImage();
// Node details of the current node.
void ShowNodeDetails();
// Asks for a text and highlights every node and edge that holds it.
void FindInGraph();
// The image editor on a picture file (the image editor's library).
using imageeditor::EditImageRequesterFromPath;

// ------------------------------------------------------------------------------ timeline
// Gadget events of the timeline buttons, the frames-mode toggle and the strip.
void HandleTimelineGadget(int gadget);
// One step of the running animation, when its timer fires.
void AnimationStep();

// ------------------------------------------------------------------------ inputs, filters
// The three input buttons.
void HandleInputButton(int gadget);
// Filter managers 20 to 25 and the add-filter dialog.
void OpenFilterManager(int menuItem);
void OpenAddFilterFromNode(int menuItem);
void HandleAddFilterGadget(int gadget);

// --------------------------------------------------------------------- options, sessions
// The options dialog (menu item 9) and its gadget events.
void OpenOptionsDialog();
void HandleOptionsGadget(int gadget);
// The hidden render-options popup, built once at start-up, and its box events.
void CreateRenderOptionsWindow();
void HandleRenderOptionsGadget(int gadget);
// Greys the sub-options of an unticked master box out (their ticks stay).
void UpdateRenderOptionGadgets();
// Sessions. The File menu's New and Open ask about pending changes and for a file; the
// path versions do the work. Save and load return with a message when they fail; a failed
// save keeps the current session, its title and the old file.
void NewSession();
bool NewSession(const std::string& path);
void OpenSession();
bool SaveSession(const std::string& path);
void SaveCurrentSession();  // Save: asks for a name when the session has none
void SaveSessionAs();
void LoadSession(const std::string& path, bool fallBackToDefault);
// True when an input differs from the current session file (read afresh each time).
bool IsSessionSavePending();
// Asks whether pending changes are to be saved and saves them; false when the analyst
// cancelled or the save did not happen, so the action that asked is abandoned.
bool AskToSavePendingSession();

// ------------------------------------------------------------------------------- plugins
void LoadPluginDescriptions();  // not built yet
// Fires a plugin event; sets State().pluginOverrideFlag when a plugin takes over the action.
void FirePluginEvent(const std::string& name);
void OpenPluginsManager();
void RunMainMenuPlugin(int n);
void RunPluginAt(int position);

// ------------------------------------------------------------ information, update, report
void ShowGraphLegend();  // not built yet
void ShowQuickHelp();
void ShowCredits();
void OpenDonationWindow();
void HandleDonationGadget(int gadget);
// The start-up splash (about = false) and the about box.
void ShowSplash(bool about);
void UpdateCheck(bool atStartup);       // not built yet
void CreateBugReport(bool afterCrash);  // not built yet

// ------------------------------------------------------------------------------ the end
// Installs the handler of unhandled errors (not built yet).
void InstallCrashHandler();
// Stores the session and the window geometry, deletes the details file and ends the
// program with the finalizers.
[[noreturn]] void EndSequence();

}  // namespace workbench
