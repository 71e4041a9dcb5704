// Message boxes, file and colour dialogs, the clipboard, monitors and the pointer.
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QCursor>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QScreen>

#include "layer_state.h"
#include "tolvek/callstack.h"

namespace platform {
using namespace detail;

namespace {

QWidget* ActiveOwner() {
  int active = GetActiveWindow();
  return active >= 0 ? WindowWidget(active) : nullptr;
}

// "Text (*.txt)|*.txt|All|*.*" -> Qt's "Text (*.txt)" and "All (*.*)", one per pair.
QStringList QtFilters(const std::string& pattern) {
  QStringList parts = Q(pattern).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString globs = parts[i + 1];
    globs.replace(';', ' ');
    filters << (parts[i].contains('(') ? parts[i] : parts[i] + " (" + globs + ")");
  }
  return filters;
}

// The answer of a message box that the user closed without choosing.
int CancelAnswer(int flags) {
  return flags == kMessageYesNoCancel ? kResultCancel
         : flags == kMessageYesNo     ? kResultNo
                                      : kResultOk;
}

std::string FileDialog(bool save, const std::string& title, const std::string& preset,
                       const std::string& pattern, int position) {
  auto& s = Layer();
  QStringList filters = QtFilters(pattern);
  int preselected = position >= 0 && position < filters.size() ? position : 0;
  s.selectedPattern = preselected;
  if (s.endRequested) return "";
  if (!s.fileAnswers.empty()) {
    LayerState::FileAnswer answer = s.fileAnswers.front();
    s.fileAnswers.pop_front();
    s.shown.push_back({title, preset});
    if (answer.pattern >= 0) s.selectedPattern = answer.pattern;
    return answer.path;
  }
  if (s.unscripted) {
    s.unscripted(title, preset);
    return "";
  }
  QString selected = filters.value(preselected);
  QString joined = filters.join(";;");
  QString shownTitle = TitleAsIs(Q(title));
  QString path =
      save ? QFileDialog::getSaveFileName(ActiveOwner(), shownTitle, Q(preset), joined, &selected)
           : QFileDialog::getOpenFileName(ActiveOwner(), shownTitle, Q(preset), joined, &selected);
  // Rejected by an end request: nothing was chosen, whatever the dialog held.
  if (s.endRequested) return "";
  if (!path.isEmpty() && filters.contains(selected))
    s.selectedPattern = int(filters.indexOf(selected));
  return U(path);
}

}  // namespace

int MessageRequester(const std::string& title, const std::string& text, int flags) {
  TOLVEK_TRACE("MessageRequester");
  auto& s = Layer();
  if (s.endRequested) return CancelAnswer(flags);
  s.shown.push_back({title, text});
  if (!s.messageAnswers.empty()) {
    int answer = s.messageAnswers.front();
    s.messageAnswers.pop_front();
    return answer;
  }
  if (s.unscripted) {
    s.unscripted(title, text);
    return CancelAnswer(flags);
  }
  QMessageBox box(ActiveOwner());
  box.setWindowTitle(TitleAsIs(Q(title)));
  box.setTextFormat(Qt::PlainText);
  box.setText(Q(text));
  for (QLabel* label : box.findChildren<QLabel*>()) ShowPlainText(label);
  if (flags == kMessageYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  } else if (flags == kMessageYesNoCancel) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int clicked = box.exec();
  if (s.endRequested) return CancelAnswer(flags);
  switch (clicked) {
    case QMessageBox::Yes:
      return kResultYes;
    case QMessageBox::No:
      return kResultNo;
    case QMessageBox::Cancel:
      return kResultCancel;
    default:
      return flags == kMessageYesNoCancel ? kResultCancel : kResultOk;
  }
}

std::string OpenFileRequester(const std::string& title, const std::string& preset,
                              const std::string& pattern, int patternPosition) {
  TOLVEK_TRACE("OpenFileRequester");
  return FileDialog(false, title, preset, pattern, patternPosition);
}

std::string SaveFileRequester(const std::string& title, const std::string& preset,
                              const std::string& pattern, int patternPosition) {
  TOLVEK_TRACE("SaveFileRequester");
  return FileDialog(true, title, preset, pattern, patternPosition);
}

int64_t ColorRequester(uint32_t colour) {
  TOLVEK_TRACE("ColorRequester");
  auto& s = Layer();
  if (s.endRequested) return -1;
  if (!s.colourAnswers.empty()) {
    int64_t answer = s.colourAnswers.front();
    s.colourAnswers.pop_front();
    return answer;
  }
  if (s.unscripted) {
    s.unscripted("colour", "");
    return -1;
  }
  QColor chosen = QColorDialog::getColor(ToQColor(colour), ActiveOwner());
  return chosen.isValid() && !s.endRequested ? int64_t(FromQColor(chosen)) : -1;
}

void SetClipboardText(const std::string& text) {
  TOLVEK_TRACE("SetClipboardText");
  QGuiApplication::clipboard()->setText(Q(text));
}

std::string GetClipboardText() {
  return U(QGuiApplication::clipboard()->text());
}

void SetClipboardImage(int image) {
  if (QImage* data = ImageData(image)) QGuiApplication::clipboard()->setImage(*data);
}

int GetClipboardImage(int image) {
  QImage data = QGuiApplication::clipboard()->image();
  if (data.isNull()) return 0;
  if (image == kNewNumber) image = NewNumber();
  Layer().images[image] = std::make_shared<QImage>(data.convertToFormat(QImage::Format_ARGB32));
  return image;
}

std::vector<Monitor> Monitors() {
  std::vector<Monitor> monitors;
  QScreen* primary = QGuiApplication::primaryScreen();
  auto add = [&](QScreen* screen) {
    QRect g = screen->geometry();
    monitors.push_back({g.x(), g.y(), g.width(), g.height()});
  };
  if (primary) add(primary);
  for (QScreen* screen : QGuiApplication::screens())
    if (screen != primary) add(screen);
  return monitors;
}

int DesktopMouseX() {
  return QCursor::pos().x();
}
int DesktopMouseY() {
  return QCursor::pos().y();
}

int CaptureScreen(int image, int x, int y, int w, int h) {
  TOLVEK_TRACE("CaptureScreen");
  QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen || w <= 0 || h <= 0) return 0;
  QPoint origin = screen->geometry().topLeft();
  QImage data = screen->grabWindow(0, x - origin.x(), y - origin.y(), w, h).toImage();
  if (data.isNull()) return 0;
  if (image == kNewNumber) image = NewNumber();
  Layer().images[image] = std::make_shared<QImage>(data.convertToFormat(QImage::Format_ARGB32));
  return image;
}

void ScriptMessageAnswer(int result) {
  Layer().messageAnswers.push_back(result);
}
void ScriptFileAnswer(const std::string& path, int pattern) {
  Layer().fileAnswers.push_back({path, pattern});
}

int SelectedFilePattern() {
  return Layer().selectedPattern;
}
void ScriptColourAnswer(int64_t colour) {
  Layer().colourAnswers.push_back(colour);
}
std::vector<ShownMessage> ShownMessages() {
  return Layer().shown;
}

void SetUnscriptedDialogHandler(
    std::function<void(const std::string& title, const std::string& text)> handler) {
  Layer().unscripted = std::move(handler);
}

void ClearScriptedAnswers() {
  auto& s = Layer();
  s.messageAnswers.clear();
  s.fileAnswers.clear();
  s.selectedPattern = 0;
  s.colourAnswers.clear();
  s.shown.clear();
}

}  // namespace platform
