// The few widget classes of our own: an input filter that turns Qt input into queued
// gadget events, and the canvas with its back buffer.
#pragma once

#include <QImage>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace platform::detail {

// Posts a gadget event unless the layer itself is changing the gadget.
void PostGadgetEvent(int gadget, int subtype, int data = 0, int x = 0, int y = 0, int modifiers = 0,
                     int buttons = 0);

class GadgetInputFilter : public QObject {
 public:
  GadgetInputFilter(int gadget, QWidget* reference, bool leftClicks, bool leftDoubleClicks,
                    QObject* parent)
      : QObject(parent),
        m_gadget(gadget),
        m_widget(reference),
        m_leftClicks(leftClicks),
        m_leftDoubleClicks(leftDoubleClicks) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int m_gadget;
  QPointer<QWidget> m_widget;  // positions are reported relative to it
  bool m_leftClicks;
  bool m_leftDoubleClicks;
};

// A text gadget: its text centred from top to bottom while it fits, else laid out from the
// top, so that a text longer than the gadget shows its start rather than its middle.
class TextLabel : public QLabel {
 public:
  using QLabel::QLabel;
  void FitText() {
    const bool fits = !wordWrap() || heightForWidth(width()) <= height();
    const Qt::Alignment vertical = fits ? Qt::AlignVCenter : Qt::AlignTop;
    const Qt::Alignment wanted = (alignment() & Qt::AlignHorizontal_Mask) | vertical;
    if (alignment() != wanted) setAlignment(wanted);
  }

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QLabel::resizeEvent(e);
    FitText();
  }
};

class CanvasWidget : public QWidget {
 public:
  explicit CanvasWidget(QImage* buffer) : m_buffer(buffer) {}
  void SetNumber(int gadget) { m_gadget = gadget; }
  void SetBorder(int width) { m_border = width; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;

 private:
  void Mouse(int subtype, QMouseEvent* e);
  QImage* m_buffer;
  int m_gadget = -1;
  int m_border = 0;
  int m_wheelRest = 0;  // eighths of a degree not yet a whole notch
};

}  // namespace platform::detail
