#pragma once

#include <chrono>
#include <memory>
#include <vector>

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>

namespace varnik::testing {

struct CatcherState;

// A modal box as it looked when it was caught.
struct CaughtBox {
  bool is_message_box = false;
  QString title;
  QString text;
  Qt::TextFormat text_format = Qt::AutoText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons standard_buttons;
  QStringList button_texts;
  Qt::WindowModality modality = Qt::NonModal;
  QPointer<QWidget> parent;
};

// Catches the modal boxes that the code under test opens, records them and
// dismisses them, so that a test can look at a box after the call that showed
// it has returned. It watches from queued calls, which run inside the box's
// own event loop, and never blocks: a test that expects no box pays nothing.
// When the time is up it stops, closing any dialog still open, so that a box
// nobody expected cannot hang the run.
class ModalBoxCatcher {
 public:
  explicit ModalBoxCatcher(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  ~ModalBoxCatcher();

  ModalBoxCatcher(const ModalBoxCatcher&) = delete;
  ModalBoxCatcher& operator=(const ModalBoxCatcher&) = delete;

  // The boxes caught so far, in the order they opened.
  const std::vector<CaughtBox>& boxes() const;

 private:
  std::shared_ptr<CatcherState> state_;
};

}  // namespace varnik::testing
