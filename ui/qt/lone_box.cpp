#include "ui/qt/lone_box.h"

#include <QMessageBox>

namespace varnik {

void LetLoneBoxStandAlone(QMessageBox& box) {
  if (box.parentWidget() != nullptr) return;
  box.setWindowFlags((box.windowFlags() & ~Qt::WindowType_Mask) | Qt::Window);
}

}  // namespace varnik
