#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/dialog_surface.h"
#include "ui/win32/accessible_names.h"

namespace varnik {

// The program's one window, the form Varnik, in plain Win32: two entry lines,
// their apply buttons and the exit button, laid out from twips at the
// window's DPI in the system's message font. It turns button presses into
// the events below and supplies the DialogSurface operations. Keyboard
// navigation needs the message loop to pass messages through
// IsDialogMessage(handle(), ...). The button with the focus is the default
// one, however it got the focus (Tab, a click, the window activated again),
// so Enter presses it as Space does; with the focus in a line no button is
// the default and Enter presses nothing. The close box, or any request to
// close the window, is the exit button's event: the dialog logic, which takes
// one action at a time, decides whether the window closes. While the object
// is being waited for, the window refuses the end of the session, giving the
// system a reason to show. Screen readers
// learn which line each control belongs to from hidden labels before the
// entry lines and from names set on the buttons.
class VarnikWindow final : public DialogSurface {
 public:
  struct Events {
    std::function<void(std::int16_t index)> apply_clicked;  // CmdAvvia(index)
    std::function<void()> exit_clicked;                     // CmdAnnulla, or a request to close
    // Whether the session must not end now.
    std::function<bool()> keeps_session;
  };

  // Creates the window and its controls, hidden, with their design-time
  // texts. icon_id names the window's icon among the program's resources.
  // Throws PlatformError when the window cannot be created.
  VarnikWindow(HINSTANCE instance, int icon_id, Events events);
  ~VarnikWindow() override;
  VarnikWindow(const VarnikWindow&) = delete;
  VarnikWindow& operator=(const VarnikWindow&) = delete;

  // Shows the window with the keyboard focus in the first entry line.
  void Show();

  // The window, or nullptr once it is closed.
  HWND handle() const { return window_; }

  // Withdraws the reason given for refusing the end of the session, once the
  // step that made the window refuse it is over.
  void LetSessionEnd();

  // DialogSurface
  Twips ScreenWidth() const override;
  Twips ScreenHeight() const override;
  Twips WindowWidth() const override;
  Twips WindowHeight() const override;
  void MoveWindow(Twips left, Twips top) override;
  void SetTitle(std::u16string_view title) override;
  std::u16string EntryText(EntryLine line) const override;
  void SetEntryText(EntryLine line, std::u16string_view text) override;
  void ShowInformation(std::u16string_view text, std::u16string_view title) override;
  WaitChoice AskToKeepWaiting(std::u16string_view text, std::u16string_view title,
                              PendingCall& call) override;
  void CloseWindow() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnCommand(int id, int code, HWND control);
  // Makes the control that got the focus the default button, or no button
  // the default when it is not one.
  void FollowFocus(HWND focus);

  void CreateControls();
  // Sizes the window and places its controls for the DPI, in a font for it.
  void Layout(unsigned dpi);
  unsigned Dpi() const;
  HWND Entry(EntryLine line) const;

  Events events_;
  AccessibleNames names_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  HWND last_focus_ = nullptr;         // restored when the window is activated again
  HWND default_button_ = nullptr;     // the focused button, pressed by Enter
  bool refused_session_end_ = false;  // a reason for it is given
};

}  // namespace varnik
