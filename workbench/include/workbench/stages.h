// The workbench's actions that the main loop and the start-up call, each a stage of its own
// in a file of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "imageeditor/image_editor.h"
#include "workbench/plugin_host.h"

namespace workbench {

// ------------------------------------------------------------------- graph generation, view
// Runs the converter and dot and reads the laid-out graph into State().graph.
void GenerateGraph();
// The instance's own folder (ends with "/") where a Refresh writes the ignore lists it hands
// the converter; "" when it cannot be made.
std::string RunIgnoreListFolder();
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
// The details of the node named name as the details view shows them, in the file's order;
// nullopt when the details file or the node's group is missing.
std::optional<std::vector<std::pair<std::string, std::string>>> NodeDetailsShown(
    const std::string& name);
// Asks for a text and highlights every node and edge that holds it.
void FindInGraph();
// The image editor on a picture file (the image editor's library).
using imageeditor::EditImageRequesterFromPath;

// ------------------------------------------------------------------------------ timeline
// Gadget events of the timeline buttons, the frames-mode toggle and the strip.
void HandleTimelineGadget(int gadget);
// One step of the running animation, when its timer fires.
void AnimationStep();
// Stops the animation (its timer too) wherever it stands.
void StopAnimation();

// ------------------------------------------------------------------------ inputs, filters
// The three input buttons.
void HandleInputButton(int gadget);
// An open-file dialog for a path field: the chosen file replaces the field's text; a
// cancelled dialog leaves it as it was.
void PickFileForField(int field, const std::string& title, const std::string& pattern);
// Filter managers 20 to 25 and the add-filter dialog.
void OpenFilterManager(int menuItem);
void OpenAddFilterFromNode(int menuItem);
void HandleAddFilterGadget(int gadget);
// Return in the add-filter dialog: the focused button, else Ok.
void ConfirmAddFilter();

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
// The session file's text with the twenty keys taken from the main window's gadgets.
std::optional<std::string> SessionTextWithInputsOnScreen(std::string_view text);
// True when an input differs from the current session file (read afresh each time).
bool IsSessionSavePending();
// Asks whether pending changes are to be saved and saves them; false when the analyst
// cancelled or the save did not happen, so the action that asked is abandoned.
bool AskToSavePendingSession();

// ------------------------------------------------------------------------------- plugins
// The plugin host's stages are in workbench/plugin_host.h.

// ------------------------------------------------------------ information, update, report
void ShowGraphLegend();
void ShowQuickHelp();
void ShowCredits();
void OpenDonationWindow();
void HandleDonationGadget(int gadget);
// The start-up splash (about = false) and the about box.
void ShowSplash(bool about);
void CheckForUpdate(bool atStartup);
void CreateBugReport(bool afterCrash);

// ------------------------------------------------------------------------------ the end
// Installs the handler of unhandled errors.
void InstallCrashHandler();
// SIGTERM, SIGHUP and SIGINT request the end (platform::RequestEnd) from whichever loop runs.
void InstallEndSignals();
void EndSignalsEndInOrder();
// Ends the program when its end was requested: with the finalizers only until
// EndSignalsEndInOrder, with the end sequence from then on. Called only where no nested loop
// runs: between the main loop's turns and between the start-up's steps.
void EndIfRequested();
// Stores the session and the window geometry, deletes the details file and ends the
// program with the finalizers.
[[noreturn]] void EndSequence();

}  // namespace workbench
