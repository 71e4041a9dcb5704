// Reads the real message box the code under test opens (no scripted answer) and closes it
// with Ok: what the analyst would see, read from the widget rather than from the text handed
// in. Gives up, and closes nothing, after a bounded number of looks.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>
#include <string>

namespace guitest {

struct SeenMessageBox {
  bool seen = false;
  Qt::TextFormat format = Qt::AutoText;
  std::string text;
  std::string shownTitle;  // as the window system got it
  bool opensLinks = true;  // a link in the text would go to the desktop's opener
};

class RealMessageBox {
 public:
  RealMessageBox() {
    m_timer.setInterval(1);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Look(); });
    m_timer.start();
  }
  ~RealMessageBox() { m_timer.stop(); }
  RealMessageBox(const RealMessageBox&) = delete;
  RealMessageBox& operator=(const RealMessageBox&) = delete;
  const SeenMessageBox& Seen() const { return m_seen; }

 private:
  void Look() {
    if (++m_looks > 20000) {
      m_timer.stop();
      return;
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(top);
      if (!box || !box->isVisible()) continue;
      m_seen.seen = true;
      m_seen.format = box->textFormat();
      m_seen.text = box->text().toStdString();
      m_seen.shownTitle = box->windowHandle() ? box->windowHandle()->title().toStdString() : "";
      auto* label = box->findChild<QLabel*>("qt_msgbox_label");
      m_seen.opensLinks = !label || label->openExternalLinks();
      m_timer.stop();
      box->done(QMessageBox::Ok);
      return;
    }
  }
  QTimer m_timer;
  int m_looks = 0;
  SeenMessageBox m_seen;
};

}  // namespace guitest
