// The Help menu's windows: the graph legend, the quick help, the credits and the donation
// window. Their content is pictures among the program's resources.
#include <string>
#include <string_view>

#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/process.h"
#include "workbench/embedded_files.h"
#include "workbench/gadgets.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr const char* kDonationPage = "https://www.paypal.com/donate/?hosted_button_id=LUMIVEX";
constexpr int kCloseShortcut = 1;

// A picture in a scroll area of its own window; the main window waits disabled until a
// close request or one of the keys comes.
void ShowPictureWindow(const char* title, const char* picture, int width, int height,
                       bool f1Closes) {
  using namespace platform;
  DisableWindow(Window_Main, true);
  std::string_view bytes = embedded_files::Find(picture);
  int image = CatchImage(kNewNumber, bytes.data(), bytes.size());
  int window = OpenWindow(kNewNumber, 0, 0, width, height, title,
                          kWindowTitleBar | kWindowCloseBox | kWindowScreenCentered, Window_Main);
  AddKeyboardShortcut(window, "Escape", kCloseShortcut);
  if (f1Closes) AddKeyboardShortcut(window, "F1", kCloseShortcut);
  // Without a border: a window as large as its picture shows all of it.
  int area = ScrollAreaGadget(kNewNumber, 0, 0, width, height, image ? ImageWidth(image) : 0,
                              image ? ImageHeight(image) : 0, kScrollAreaBorderless);
  SetGadgetColor(area, kBackColor, Rgb(255, 255, 255));
  if (image) ImageGadget(kNewNumber, 0, 0, ImageWidth(image), ImageHeight(image), image);
  CloseGadgetList();
  SetActiveGadget(area);
  // An end request closes the window as the user would.
  while (!IsEndRequested()) {
    int event = WaitWindowEvent();
    if (EventWindow() != window) continue;
    if (event == kEventCloseWindow) break;
    if (event == kEventMenu && EventMenu() == kCloseShortcut) break;
  }
  CloseWindow(window);
  if (image) FreeImage(image);
  DisableWindow(Window_Main, false);
}

}  // namespace

void ShowGraphLegend() {
  TOLVEK_TRACE("ShowGraphLegend");
  ShowPictureWindow("Graph legend ...", "legend.png", 610, 615, true);
}

void ShowQuickHelp() {
  TOLVEK_TRACE("ShowQuickHelp");
  ShowPictureWindow("Quick help ...", "quick_help.png", 1034, 711, false);
}

void ShowCredits() {
  platform::MessageRequester(
      "Credits go to ...",
      "* The GCC, CMake, Qt and QScintilla developers for the tools this program is built "
      "with\n"
      "* GraphViz project for developing such a great graph renderer/layouter\n"
      "* Tcpdump project\n"
      "* Windump project\n"
      "* Sysinternals developers for Procmon\n"
      "* The makers of the freely licensed icon set the tool-bar pictures are drawn after\n"
      "* The author of the published Bezier curve routine on which the edge drawing rests\n"
      "\n"
      "Thank you!");
}

void OpenDonationWindow() {
  TOLVEK_TRACE("OpenWindow_Donation");
  using namespace platform;
  if (IsWindow(Window_Donation)) {
    SetActiveWindow(Window_Donation);
    return;
  }
  OpenWindow(Window_Donation, 0, 0, 640, 450, "Donate!",
             kWindowTitleBar | kWindowCloseBox | kWindowParentCentered | kWindowInvisible,
             Window_Main);
  SetWindowColor(Window_Donation, Rgb(255, 255, 255));
  ImageGadget(Image_Donation_DonationText, 0, 0, 640, 400, State().pictures[Picture_Donation]);
  ButtonGadget(Button_Donation_DonateNow, 320, 410, 310, 30, "Donate now via Paypal ...");
  HideWindow(Window_Donation, false);
}

void HandleDonationGadget(int gadget) {
  if (gadget == Button_Donation_DonateNow) tolvek::OpenUrl(kDonationPage, 1);
}

}  // namespace workbench
