// The controls below the graph: frames mode, stepping through the frames, the animation, the
// timeline modes and the strip.
#include "workbench/timeline_controls.h"

#include "graphview/graph_model.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "workbench/gadgets.h"
#include "workbench/plugin_events.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {

namespace detail {

int AnimationPeriodMs(int64_t speedEntry) {
  constexpr int64_t kStartingEntry = 9;  // 10 fps
  if (speedEntry < 0) speedEntry = kStartingEntry;
  return static_cast<int>(1000 / (speedEntry + 1));
}

int64_t StripFrameAt(int64_t x, int64_t stripWidth, int64_t visibleFrames) {
  if (stripWidth <= 0 || visibleFrames <= 0) return -1;
  const double frameWidth = static_cast<double>(stripWidth) / static_cast<double>(visibleFrames);
  // The integer part, so a drag just left of the strip still lands on the first frame.
  const auto index = static_cast<int64_t>(static_cast<double>(x) / frameWidth);
  return index >= 0 && index < visibleFrames ? index : -1;
}

}  // namespace detail

void StopAnimation() {
  platform::RemoveWindowTimer(Window_Main, TimerAnimation);
  State().interaction.animationPlaying = false;
}

namespace {

int64_t& CurrentFrame() {
  return State().graph.view.currentFrame;
}

int64_t VisibleFrames() {
  return graphview::CountVisibleFrames(State().graph);
}

void ArmAnimation() {
  platform::AddWindowTimer(
      Window_Main, TimerAnimation,
      detail::AnimationPeriodMs(platform::GetGadgetState(Combo_Main_AnimationFPS)));
}

// Timeline steps and the replay are overlays of the drawn graph.
void Redraw() {
  RedrawGraph(false);
}

void SwitchFramesMode() {
  const bool on = platform::GetGadgetState(Button_Main_AnimationShow) != 0;
  WithPluginEvents(
      on ? "SwitchToFrameMode" : "SwitchToNormalMode",
      [on] {
        for (int gadget :
             {Button_Main_AnimationPlay, Button_Main_AnimationStop, Combo_Main_AnimationFPS}) {
          platform::DisableGadget(gadget, !on);
        }
        StopAnimation();
        Redraw();
      },
      // A plugin that keeps the mode puts the toggle back.
      [on] { platform::SetGadgetState(Button_Main_AnimationShow, on ? 0 : 1); });
}

// A click on the visible mode button moves on to the next mode: All, All (RLE), Unique.
void NextTimelineMode(int clicked) {
  struct Mode {
    int button;
    int8_t mode;
    int menuItem;
  };
  static constexpr Mode kModes[] = {
      {Button_Main_AnimationFramesAll, 3, MenuItem_FramesAll},
      {Button_Main_AnimationFramesAllRle, 2, MenuItem_FramesAllRle},
      {Button_Main_AnimationFramesUnique, 1, MenuItem_FramesUnique},
  };
  size_t next = 0;
  for (size_t i = 0; i < 3; ++i) {
    if (kModes[i].button == clicked) next = (i + 1) % 3;
  }
  for (size_t i = 0; i < 3; ++i) {
    platform::HideGadget(kModes[i].button, i != next);
    platform::SetMenuItemState(Menu_View, kModes[i].menuItem, i == next);
  }
  State().graph.TimelineMode = kModes[next].mode;
  CurrentFrame() = 0;
  Redraw();
}

// Pressing or dragging with the left button on the strip picks the frame under the pointer.
void HandleStrip() {
  // The second press of a quick double click comes as a double click; it is a press all the
  // same.
  const int subtype = platform::EventSubtype();
  if (subtype != platform::kSubLeftButtonDown && subtype != platform::kSubLeftDoubleClick &&
      subtype != platform::kSubMouseMove) {
    return;
  }
  if (platform::EventButtons() != platform::kMouseLeft) return;
  const int64_t visible = VisibleFrames();
  const int64_t width = platform::GadgetWidth(Canvas_Main_AnimationFrames);
  const int64_t index = detail::StripFrameAt(platform::EventMouseX(), width, visible);
  if (index < 0 || index == CurrentFrame()) return;
  CurrentFrame() = index;
  Redraw();
}

}  // namespace

void HandleTimelineGadget(int gadget) {
  TOLVEK_TRACE("HandleTimelineGadget");
  switch (gadget) {
    case Button_Main_AnimationShow:
      SwitchFramesMode();
      break;
    case Button_Main_AnimationFirst:
      WithPluginEvents("TimelineFirstFrame", [] {
        StopAnimation();
        CurrentFrame() = 0;
        Redraw();
      });
      break;
    case Button_Main_AnimationLast:
      WithPluginEvents("TimelineLastFrame", [] {
        StopAnimation();
        CurrentFrame() = VisibleFrames() - 1;
        Redraw();
      });
      break;
    case Button_Main_AnimationNext:
      WithPluginEvents("TimelineNextFrame", [] {
        StopAnimation();
        if (CurrentFrame() < VisibleFrames() - 1) ++CurrentFrame();
        Redraw();
      });
      break;
    case Button_Main_AnimationPrevious:
      WithPluginEvents("TimelinePreviousFrame", [] {
        StopAnimation();
        if (CurrentFrame() > 0) --CurrentFrame();
        Redraw();
      });
      break;
    case Button_Main_AnimationPlay:
      WithPluginEvents("TimelinePlayAnimation", [] {
        if (State().interaction.animationPlaying) {
          StopAnimation();
          return;
        }
        // The first step comes one period later.
        State().interaction.animationPlaying = true;
        ArmAnimation();
      });
      break;
    case Button_Main_AnimationStop:
      WithPluginEvents("TimelineStopAnimation", [] { StopAnimation(); });
      break;
    case Button_Main_AnimationFramesAll:
    case Button_Main_AnimationFramesAllRle:
    case Button_Main_AnimationFramesUnique:
      NextTimelineMode(gadget);
      break;
    case Canvas_Main_AnimationFrames:
      HandleStrip();
      break;
    default:
      break;
  }
}

void AnimationStep() {
  TOLVEK_TRACE("AnimationStep");
  // The timer is already removed; it is armed again for each further step, at the speed
  // chosen now. The animation stops on the last frame.
  if (CurrentFrame() < VisibleFrames() - 1) {
    ++CurrentFrame();
    Redraw();
    ArmAnimation();
  } else {
    State().interaction.animationPlaying = false;
  }
}

}  // namespace workbench
