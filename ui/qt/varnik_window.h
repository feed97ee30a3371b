#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <QWidget>

#include "app/dialog_surface.h"

class QLineEdit;
class QPushButton;
class QScreen;

namespace varnik {

// The program's one window, the form Varnik: two entry lines, each with its
// apply button, and the exit button, at the places the form was drawn with,
// in twips at the logical DPI of the screen it is on; it is laid out again
// when it moves to a screen of another DPI, or the screen's DPI changes. It
// supplies the DialogSurface operations and reports its button presses as
// signals; it holds no logic of its own.
//
// The controls carry the names of the form's controls as object names
// (TxtLabel0, CmdAvvia0, CmdAnnulla, TxtLabel1, CmdAvvia1), and Italian
// accessible names that tell a screen reader which line each belongs to.
class VarnikWindow final : public QWidget, public DialogSurface {
  Q_OBJECT

 public:
  // The most 16-bit characters an entry line holds, typed or set.
  static constexpr int kMaxLength = 22;

  explicit VarnikWindow(QWidget* parent = nullptr);

  // The primary screen's whole geometry, in twips at the window's DPI.
  Twips ScreenWidth() const override;
  Twips ScreenHeight() const override;

  // The frame geometry, in twips. The window system tells the frame only once
  // the window has been shown; before that this is the client area alone.
  Twips WindowWidth() const override;
  Twips WindowHeight() const override;

  // Places the outer top-left corner, relative to the primary screen's
  // top-left corner, rounded to whole pixels. A place asked for before the
  // frame is known was worked out from the client area alone: once the window
  // system has framed the window, the window moves so that its middle is
  // where the middle of the place asked for was, as if the whole outer size
  // had been known from the start.
  void MoveWindow(Twips left, Twips top) override;

  void SetTitle(std::u16string_view title) override;
  std::u16string EntryText(EntryLine line) const override;
  void SetEntryText(EntryLine line, std::u16string_view text) override;
  void ShowInformation(std::u16string_view text, std::u16string_view title) override;
  // A warning box over the window; polls call.Answered() every
  // kAnswerPollInterval and closes itself once it is. Once the application
  // has been told to quit (the session manager ends the session), the box
  // means SessionEnding unless the object has answered.
  WaitChoice AskToKeepWaiting(std::u16string_view text, std::u16string_view title,
                              PendingCall& call) override;
  void CloseWindow() override;

  // Notes the application being told to quit (QEvent::Quit sent to it);
  // passes every event on.
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // CmdAvvia(index) was pressed.
  void CmdAvviaClicked(std::int16_t index);
  // CmdAnnulla was pressed, or the window system asked the window to close.
  void CmdAnnullaClicked();

 protected:
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // Only CloseWindow closes the window; a request from the window system is
  // reported as CmdAnnullaClicked.
  void closeEvent(QCloseEvent* event) override;

 private:
  // Follows the DPI of the screen the window is on.
  void FollowScreen(QScreen* screen);
  // The logical DPI of the screen the window is on.
  double Dpi() const;
  // Sizes the window and places its controls for its screen's DPI, in a font
  // whose apply captions fit; nothing to do at the DPI it was last laid out at.
  void Layout();
  QLineEdit* TxtLabel(EntryLine line) const;
  bool Framed() const;
  void Place(Twips left, Twips top);

  std::array<QLineEdit*, 2> txt_label_{};
  std::array<QPushButton*, 2> cmd_avvia_{};
  QPushButton* cmd_annulla_ = nullptr;
  double laid_out_dpi_ = 0;
  QMetaObject::Connection screen_dpi_;
  // The middle of a place asked for before the frame was known, in twips,
  // until the frame is known.
  std::optional<std::pair<Twips, Twips>> unframed_middle_;
  // The application has been told to quit: every event loop returns at once.
  bool quitting_ = false;
};

}  // namespace varnik
