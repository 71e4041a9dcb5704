// Gadgets, menus and bars changed after they were made, and what dialogs tell afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "platform/window_system.h"

using namespace platform;

namespace {

class LayerUpdates : public ::testing::Test {
 protected:
  void TearDown() override {
    ClearScriptedAnswers();
    ResetLayer();
  }
};

QColor IconColour(int gadget) {
  auto* button = static_cast<QToolButton*>(GadgetWidget(gadget));
  QImage shown = button->icon().pixmap(8, 8).toImage();
  return shown.isNull() ? QColor() : shown.pixelColor(4, 4);
}

TEST_F(LayerUpdates, PicturesChangeOnImageGadgetsAndButtons) {
  OpenWindow(kNewNumber, 0, 0, 300, 200, "pictures");
  const QColor red(255, 0, 0), green(0, 255, 0), blue(0, 0, 255);
  int redImage = CreateImage(kNewNumber, 8, 8, Rgba(255, 0, 0, 255));
  int greenImage = CreateImage(kNewNumber, 8, 8, Rgba(0, 255, 0, 255));
  int blueImage = CreateImage(kNewNumber, 8, 8, Rgba(0, 0, 255, 255));

  int picture = ImageGadget(kNewNumber, 0, 0, 8, 8, redImage);
  SetGadgetImage(picture, greenImage);
  auto* label = static_cast<QLabel*>(GadgetWidget(picture));
  EXPECT_EQ(label->pixmap().toImage().pixelColor(2, 2), green);
  SetGadgetImage(picture, 0);
  EXPECT_TRUE(label->pixmap().isNull());

  int toggle = ButtonImageGadget(kNewNumber, 20, 0, 30, 30, redImage, kButtonToggle);
  SetButtonPressedImage(toggle, blueImage);
  SetGadgetImage(toggle, greenImage);
  EXPECT_EQ(IconColour(toggle), green);
  QTest::mouseClick(GadgetWidget(toggle), Qt::LeftButton);
  EXPECT_EQ(IconColour(toggle), blue);
  // Changed while pressed: the pressed picture stays until the button comes up again.
  SetGadgetImage(toggle, redImage);
  EXPECT_EQ(IconColour(toggle), blue);
  SetButtonPressedImage(toggle, greenImage);
  EXPECT_EQ(IconColour(toggle), green);
  QTest::mouseClick(GadgetWidget(toggle), Qt::LeftButton);
  EXPECT_EQ(IconColour(toggle), red);
}

TEST_F(LayerUpdates, RangesChangeSilentlyAndKeepTheValueInside) {
  OpenWindow(kNewNumber, 0, 0, 300, 200, "ranges");
  int spin = SpinGadget(kNewNumber, 0, 0, 80, 24, 0, 100);
  int track = TrackBarGadget(kNewNumber, 0, 30, 200, 24, 0, 100);
  for (int gadget : {spin, track}) SetGadgetState(gadget, 80);
  QApplication::processEvents();
  FlushEvents();

  for (int gadget : {spin, track}) {
    SetGadgetRange(gadget, 10, 50);
    EXPECT_EQ(GetGadgetState(gadget), 50);
    SetGadgetRange(gadget, 60, 400);
    EXPECT_EQ(GetGadgetState(gadget), 60);
    SetGadgetState(gadget, 300);
    EXPECT_EQ(GetGadgetState(gadget), 300);
  }
  QApplication::processEvents();
  EXPECT_EQ(WindowEvent(), kEventNone);
  auto* slider = static_cast<QSlider*>(GadgetWidget(track));
  EXPECT_EQ(slider->minimum(), 60);
  EXPECT_EQ(slider->maximum(), 400);
}

TEST_F(LayerUpdates, MenuItemTextsChangeInPopupsAndBars) {
  int window = OpenWindow(kNewNumber, 0, 0, 300, 200, "menus");
  int popup = CreatePopupMenu(kNewNumber);
  MenuItem(1, "Show details");
  MenuItem(2, "Copy");
  int bar = CreateMenuBar(kNewNumber, window);
  MenuTitle("View");
  MenuItem(7, "Zoom: 100%");

  SetMenuItemText(popup, 1, "Hide details");
  SetMenuItemText(popup, 99, "nothing there");
  SetMenuItemText(bar, 7, "Zoom: 40%");
  EXPECT_EQ(MenuItemTexts(popup), (std::vector<std::string>{"1:Hide details", "2:Copy"}));
  auto* menuBar = WindowWidget(window)->findChild<QMenuBar*>();
  ASSERT_NE(menuBar, nullptr);
  EXPECT_EQ(menuBar->actions()[0]->menu()->actions()[0]->text(), "Zoom: 40%");
  // The renamed item still sends its own id.
  QApplication::processEvents();
  FlushEvents();
  EXPECT_TRUE(TriggerMenuItem(bar, 7));
  ASSERT_EQ(WindowEvent(), kEventMenu);
  EXPECT_EQ(EventMenu(), 7);
}

TEST_F(LayerUpdates, StatusBarFieldsHaveTheirWidthsAndTakeTheirOwnTexts) {
  int window = OpenWindow(kNewNumber, 0, 0, 500, 200, "status");
  int status = CreateStatusBar(kNewNumber, window);
  for (int width : {120, 60, 200}) AddStatusBarField(status, width);
  StatusBarText(status, 1, "Zoom: 40%");
  StatusBarText(status, 0, "Size: 1000 x 500");
  StatusBarText(status, 2, "first");
  StatusBarText(status, 2, "second");
  StatusBarText(status, 3, "no such field");
  StatusBarText(status, -1, "no such field");
  QApplication::processEvents();

  auto* bar = WindowWidget(window)->findChild<QStatusBar*>();
  ASSERT_NE(bar, nullptr);
  QList<QLabel*> fields = bar->findChildren<QLabel*>();
  ASSERT_EQ(fields.size(), 3);
  std::sort(fields.begin(), fields.end(), [](QLabel* a, QLabel* b) { return a->x() < b->x(); });
  const std::pair<int, const char*> expected[] = {
      {120, "Size: 1000 x 500"}, {60, "Zoom: 40%"}, {200, "second"}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(fields[i]->width(), expected[i].first) << i;
    EXPECT_EQ(fields[i]->text().toStdString(), expected[i].second);
    EXPECT_TRUE(fields[i]->isVisible());
  }
  EXPECT_TRUE(bar->currentMessage().isEmpty());
}

// Each standard picture as the tool bar shows it, 16 pixels wide.
std::vector<QImage> ToolPictures() {
  int window = OpenWindow(kNewNumber, 0, 0, 400, 100, "tools");
  CreateToolBar(kNewNumber, window);
  const int pictures[] = {kToolOpen, kToolSave, kToolNew,   kToolCopy,
                          kToolFind, kToolCut,  kToolPaste, kToolDelete};
  for (int picture : pictures) ToolBarStandardButton(picture, picture);
  std::vector<QImage> images;
  for (QAction* action : WindowWidget(window)->findChild<QToolBar*>()->actions())
    images.push_back(
        action->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32));
  CloseWindow(window);
  return images;
}

TEST_F(LayerUpdates, ToolPicturesComeFromTheThemeOrAreDrawnEachItsOwn) {
  QString themeName = QIcon::themeName();
  QStringList searchPaths = QIcon::themeSearchPaths();
  QTemporaryDir themes;
  ASSERT_TRUE(themes.isValid());

  // Without a theme every button still has a picture, and no two are alike.
  QIcon::setThemeSearchPaths({themes.path()});
  QIcon::setThemeName("absent");
  std::vector<QImage> drawn = ToolPictures();
  ASSERT_EQ(drawn.size(), 8u);
  for (size_t i = 0; i < drawn.size(); ++i) {
    int opaque = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) opaque += qAlpha(drawn[i].pixel(x, y)) > 128;
    EXPECT_GT(opaque, 20) << i;
    for (size_t j = 0; j < i; ++j) EXPECT_NE(drawn[i], drawn[j]) << i << " " << j;
  }

  // A theme that has a picture wins over the drawn one.
  QDir root(themes.path());
  ASSERT_TRUE(root.mkpath("mine/16x16/actions"));
  QFile index(root.filePath("mine/index.theme"));
  ASSERT_TRUE(index.open(QIODevice::WriteOnly));
  index.write(
      "[Icon Theme]\nName=mine\nDirectories=16x16/actions\n\n"
      "[16x16/actions]\nSize=16\nType=Fixed\n");
  index.close();
  QImage magenta(16, 16, QImage::Format_ARGB32);
  magenta.fill(QColor(255, 0, 255));
  ASSERT_TRUE(magenta.save(root.filePath("mine/16x16/actions/edit-cut.png")));
  QIcon::setThemeName("mine");
  std::vector<QImage> themed = ToolPictures();
  QIcon::setThemeName(themeName);
  QIcon::setThemeSearchPaths(searchPaths);
  ASSERT_EQ(themed.size(), 8u);
  EXPECT_EQ(themed[5].pixelColor(8, 8), QColor(255, 0, 255));
  EXPECT_EQ(themed[6], drawn[6]);
}

TEST_F(LayerUpdates, FileDialogsTellWhichPatternWasChosen) {
  const std::string patterns = "PNG (*.png)|*.png|JPEG (*.jpg)|*.jpg;*.jpeg|BMP (*.bmp)|*.bmp";
  struct Case {
    int preselected, scripted, expected;
    const char* answer;
  } cases[] = {
      {1, -1, 1, "/tmp/a.jpg"},
      {0, 2, 2, "/tmp/a.bmp"},
      {7, -1, 0, "/tmp/a.png"},
      {2, -1, 2, ""},  // cancelled
  };
  for (const auto& c : cases) {
    ScriptFileAnswer(c.answer, c.scripted);
    EXPECT_EQ(SaveFileRequester("Save", "", patterns, c.preselected), c.answer);
    EXPECT_EQ(SelectedFilePattern(), c.expected) << c.preselected << " " << c.scripted;
  }

  // The real dialog, where the user switches from the preselected pair to the last one and
  // types the name. The name goes into the name field as typing puts it there: the dialog's
  // own selectFile leaves a focused name field as it is, and once the dialog is active before
  // the first look (a busy machine) accepting would only open the folder again, for ever.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString chosen = dir.filePath("picture.bmp");
  QElapsedTimer waited;
  waited.start();
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    QFileDialog* dialog = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<QFileDialog*>(top); d && d->isVisible()) dialog = d;
    if (dialog && waited.elapsed() > 10000) {
      ADD_FAILURE() << "the file dialog did not take the answer";
      dialog->reject();
      return;
    }
    if (!dialog) return;
    dialog->selectNameFilter("BMP (*.bmp)");
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(chosen);
    static_cast<QDialog*>(dialog)->accept();  // as the Save button does
  });
  user.start(20);
  EXPECT_EQ(SaveFileRequester("Save", dir.path().toStdString(), patterns, 1), chosen.toStdString());
  EXPECT_EQ(SelectedFilePattern(), 2);
}

}  // namespace
