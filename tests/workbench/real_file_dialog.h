// Answers the real file dialog that the code under test opens (no scripted answer) as the
// analyst does: enters a name and presses the dialog's Save or Open button, or presses Escape.
// Every message box shown meanwhile (the dialog's own or the program's) is answered Yes and its
// text kept. Gives up after a bounded number of looks and then closes whatever is still open.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <optional>
#include <string>
#include <vector>

namespace wbtest {

class RealFileDialog {
 public:
  // name: put into the dialog's name field and confirmed with its button; nullopt: Escape.
  explicit RealFileDialog(std::optional<std::string> name) : m_name(std::move(name)) {
    m_timer.setInterval(1);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Look(); });
    m_timer.start();
  }
  ~RealFileDialog() { m_timer.stop(); }
  RealFileDialog(const RealFileDialog&) = delete;
  RealFileDialog& operator=(const RealFileDialog&) = delete;

  bool Answered() const { return m_answered; }
  std::string Title() const { return m_title; }
  // The texts of the message boxes, in the order they were shown.
  const std::vector<std::string>& Boxes() const { return m_boxes; }

 private:
  void Look() {
    if (++m_looks > 20000) {
      ADD_FAILURE() << "the file dialog was not answered";
      m_timer.stop();
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(top); dialog && dialog->isVisible()) {
          dialog->reject();
        }
      }
      return;
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
        m_boxes.push_back(box->text().toStdString());
        // Clicked, as the static boxes tell the answer by the button clicked.
        QAbstractButton* yes = box->button(QMessageBox::Yes);
        if (!yes) yes = box->button(QMessageBox::Ok);
        if (yes) {
          yes->click();
        } else {
          box->reject();
        }
        return;
      }
    }
    if (m_answered) return;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QFileDialog*>(top);
      if (!dialog || !dialog->isVisible()) continue;
      auto* field = dialog->findChild<QLineEdit*>("fileNameEdit");
      if (!field) continue;
      m_answered = true;
      m_title = dialog->windowTitle().toStdString();
      // Pressed from a timer of its own: what the key sets off may open a box and wait for
      // it, and this timer must stay free to answer that box.
      if (!m_name) {
        QTimer::singleShot(0, dialog, [dialog] { QTest::keyClick(dialog, Qt::Key_Escape); });
        return;
      }
      // The folder chosen, the name set rather than typed: the name completer's popup would
      // take the Return.
      const QString path = QString::fromStdString(*m_name);
      dialog->setDirectory(path.left(path.lastIndexOf('/') + 1));
      field->setText(path.mid(path.lastIndexOf('/') + 1));
      QTimer::singleShot(0, dialog, [dialog] {
        for (auto* button : dialog->findChildren<QPushButton*>()) {
          if (button->isDefault()) QTest::mouseClick(button, Qt::LeftButton);
        }
      });
      return;
    }
  }

  std::optional<std::string> m_name;
  QTimer m_timer;
  int m_looks = 0;
  bool m_answered = false;
  std::string m_title;
  std::vector<std::string> m_boxes;
};

}  // namespace wbtest
