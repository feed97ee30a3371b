#include "modal_box_catcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>

namespace varnik::testing {

struct CatcherState {
  bool watching = true;
  QDeadlineTimer deadline;
  std::vector<CaughtBox> boxes;
};

namespace {

CaughtBox Describe(QWidget& widget) {
  CaughtBox caught;
  caught.title = widget.windowTitle();
  caught.modality = widget.windowModality();
  caught.parent = widget.parentWidget();
  if (auto* box = qobject_cast<QMessageBox*>(&widget)) {
    caught.is_message_box = true;
    caught.text = box->text();
    caught.text_format = box->textFormat();
    caught.icon = box->icon();
    caught.standard_buttons = box->standardButtons();
    for (const QAbstractButton* button : box->buttons()) caught.button_texts << button->text();
  }
  return caught;
}

// Dismisses a box the way a user would: with its only (or first) button.
void Dismiss(QWidget& widget) {
  if (auto* box = qobject_cast<QMessageBox*>(&widget); box && !box->buttons().isEmpty()) {
    box->buttons().front()->click();
  } else if (auto* dialog = qobject_cast<QDialog*>(&widget)) {
    dialog->reject();
  } else {
    widget.close();
  }
}

void CloseOpenDialogs(std::vector<CaughtBox>& boxes) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && qobject_cast<QDialog*>(widget)) {
      boxes.push_back(Describe(*widget));
      Dismiss(*widget);
    }
  }
}

void Watch(const std::shared_ptr<CatcherState>& state) {
  if (!state->watching) return;
  if (state->deadline.hasExpired()) {
    state->watching = false;
    CloseOpenDialogs(state->boxes);
    return;
  }
  if (QWidget* modal = QApplication::activeModalWidget()) {
    state->boxes.push_back(Describe(*modal));
    Dismiss(*modal);
  }
  QMetaObject::invokeMethod(
      qApp, [state] { Watch(state); }, Qt::QueuedConnection);
}

}  // namespace

ModalBoxCatcher::ModalBoxCatcher(std::chrono::milliseconds timeout)
    : state_(std::make_shared<CatcherState>()) {
  state_->deadline = QDeadlineTimer(timeout);
  QMetaObject::invokeMethod(
      qApp, [state = state_] { Watch(state); }, Qt::QueuedConnection);
}

ModalBoxCatcher::~ModalBoxCatcher() { state_->watching = false; }

const std::vector<CaughtBox>& ModalBoxCatcher::boxes() const { return state_->boxes; }

}  // namespace varnik::testing
