// Built only by the qt_boundary test, which expects the compiler not to find Qt: linking the
// GUI building blocks (and through them the window-system layer) must not hand a target Qt's
// headers.
#include <QWidget>

int main() {
  return 0;
}
