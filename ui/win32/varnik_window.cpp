#include "ui/win32/varnik_window.h"

#include <utility>

#include "common/platform_error.h"
#include "common/win32/windows_text.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/form_layout.h"
#include "ui/win32/twips.h"
#include "ui/win32/wait_box.h"
#include "ui/win32/win32_error.h"

namespace varnik {
namespace {

// Fixed size, with a close box and a minimise box.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

// A push button that tells the form when it gets the focus.
constexpr DWORD kButtonStyle = BS_PUSHBUTTON | BS_NOTIFY;

// The hidden labels are never addressed by their identifier.
constexpr int kHiddenLabelId = -1;

// What the system shows the user who logs off or shuts down meanwhile.
constexpr const wchar_t* kSessionEndRefusedReason =
    L"Varnik sta aspettando la risposta dell'oggetto di configurazione.";

void RegisterFormClass(HINSTANCE instance, int icon_id, WNDPROC procedure) {
  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = procedure;
  form.hInstance = instance;
  form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(icon_id));
  form.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(icon_id), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
  form.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  form.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  form.lpszClassName = kFormClassName;
  if (RegisterClassExW(&form) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    ThrowLastError();
  }
}

// The message font for the DPI, as the system's dialogs use it.
HFONT CreateMessageFont(unsigned dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi) &&
      !SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
    return nullptr;
  }
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

}  // namespace

VarnikWindow::VarnikWindow(HINSTANCE instance, int icon_id, Events events)
    : events_(std::move(events)) {
  RegisterFormClass(instance, icon_id, &VarnikWindow::WindowProc);
  // Created at the origin of the primary screen, so its DPI is that screen's;
  // the size follows once the DPI is known.
  window_ = CreateWindowExW(kWindowExStyle, kFormClassName, kDesignTitle, kWindowStyle, 0, 0, 0, 0,
                            nullptr, nullptr, instance, this);
  if (window_ == nullptr) ThrowLastError();
  CreateControls();
  Layout(Dpi());
}

VarnikWindow::~VarnikWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
  if (font_ != nullptr) DeleteObject(font_);
}

void VarnikWindow::CreateControls() {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
  const auto create = [&](const wchar_t* window_class, DWORD ex_style, DWORD style, int id,
                          const wchar_t* text) {
    const HWND handle =
        CreateWindowExW(ex_style, window_class, text, WS_CHILD | style, 0, 0, 0, 0, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (handle == nullptr) ThrowLastError();
    return handle;
  };
  // Creation order is the tab order.
  for (const ControlLayout& control : kFormControls) {
    if (control.kind == ControlLayout::Kind::Entry) {
      // The system names an entry box after the label just before it. This
      // one is never shown and takes no focus, so the form looks and tabs as
      // if it were not there.
      create(L"STATIC", 0, SS_LEFT | SS_NOPREFIX, kHiddenLabelId, control.accessible_name);
      const HWND entry =
          create(L"EDIT", WS_EX_CLIENTEDGE, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT,
                 control.id, control.text);
      SendMessageW(entry, EM_SETLIMITTEXT, kEntryMaxLength, 0);
    } else {
      // BS_NOTIFY: the button says when it gets the focus (FollowFocus).
      const HWND button =
          create(L"BUTTON", 0, WS_VISIBLE | WS_TABSTOP | kButtonStyle, control.id, control.text);
      names_.Set(button, control.accessible_name);
    }
  }
}

void VarnikWindow::Layout(unsigned dpi) {
  RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi), TwipsToPixels(kClientHeight, dpi)};
  AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, dpi);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  HFONT font = CreateMessageFont(dpi);
  for (const ControlLayout& control : kFormControls) {
    const HWND handle = GetDlgItem(window_, control.id);
    SetWindowPos(handle, nullptr, TwipsToPixels(control.left, dpi), TwipsToPixels(control.top, dpi),
                 TwipsToPixels(control.width, dpi), TwipsToPixels(control.height, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (font != nullptr) SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  if (font != nullptr) {
    if (font_ != nullptr) DeleteObject(font_);
    font_ = font;
  }
}

unsigned VarnikWindow::Dpi() const {
  const UINT dpi = GetDpiForWindow(window_);
  return dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

HWND VarnikWindow::Entry(EntryLine line) const {
  return GetDlgItem(window_, kTxtLabelId[IndexOf(line)]);
}

void VarnikWindow::Show() {
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  SetFocus(Entry(EntryLine::First));
}

Twips VarnikWindow::ScreenWidth() const {
  return PixelsToTwips(GetSystemMetrics(SM_CXSCREEN), Dpi());
}

Twips VarnikWindow::ScreenHeight() const {
  return PixelsToTwips(GetSystemMetrics(SM_CYSCREEN), Dpi());
}

Twips VarnikWindow::WindowWidth() const {
  RECT frame{};
  GetWindowRect(window_, &frame);
  return PixelsToTwips(frame.right - frame.left, Dpi());
}

Twips VarnikWindow::WindowHeight() const {
  RECT frame{};
  GetWindowRect(window_, &frame);
  return PixelsToTwips(frame.bottom - frame.top, Dpi());
}

void VarnikWindow::MoveWindow(Twips left, Twips top) {
  const unsigned dpi = Dpi();
  SetWindowPos(window_, nullptr, TwipsToPixels(left, dpi), TwipsToPixels(top, dpi), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void VarnikWindow::SetTitle(std::u16string_view title) {
  SetWindowTextW(window_, ToWide(title).c_str());
}

std::u16string VarnikWindow::EntryText(EntryLine line) const {
  const HWND entry = Entry(line);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(entry)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(entry, text.data(), static_cast<int>(text.size()))));
  return FromWide(text);
}

void VarnikWindow::SetEntryText(EntryLine line, std::u16string_view text) {
  // The limit stops typing only; a text set here is cut to it, never leaving
  // half of a surrogate pair at the end.
  auto kept = static_cast<std::size_t>(kEntryMaxLength);
  if (text.size() > kept) {
    if (text[kept - 1] >= 0xD800 && text[kept - 1] <= 0xDBFF) --kept;
    text = text.substr(0, kept);
  }
  SetWindowTextW(Entry(line), ToWide(text).c_str());
}

void VarnikWindow::ShowInformation(std::u16string_view text, std::u16string_view title) {
  MessageBoxW(window_, ToWide(text).c_str(), ToWide(title).c_str(), MB_OK | MB_ICONINFORMATION);
}

WaitChoice VarnikWindow::AskToKeepWaiting(std::u16string_view text, std::u16string_view title,
                                          PendingCall& call) {
  // Before the window is shown (at start-up) the box has no owner, so that
  // it gets a taskbar button of its own.
  return AskToKeepWaitingBox(IsWindowVisible(window_) ? window_ : nullptr, text, title, call);
}

void VarnikWindow::LetSessionEnd() {
  if (!std::exchange(refused_session_end_, false) || window_ == nullptr) return;
  ShutdownBlockReasonDestroy(window_);
}

void VarnikWindow::CloseWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

void VarnikWindow::FollowFocus(HWND focus) {
  // Only a button may be the default: in a line, Enter presses nothing.
  default_button_ = nullptr;
  for (const ControlLayout& control : kFormControls) {
    if (control.kind != ControlLayout::Kind::Button) continue;
    const HWND button = GetDlgItem(window_, control.id);
    const bool is_default = button == focus;
    if (is_default) default_button_ = button;
    const bool was_default = (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    if (is_default != was_default) {
      SendMessageW(button, BM_SETSTYLE, kButtonStyle | (is_default ? BS_DEFPUSHBUTTON : 0), TRUE);
    }
  }
}

void VarnikWindow::OnCommand(int id, int code, HWND control) {
  if (code == BN_SETFOCUS || code == EN_SETFOCUS) {
    FollowFocus(control);
    return;
  }
  if (code != BN_CLICKED) return;
  // IDOK and IDCANCEL, which the dialog manager sends for Enter and Esc, match
  // no control and do nothing.
  for (std::int16_t index = 0; index < 2; ++index) {
    if (id == kCmdAvviaId[index] && events_.apply_clicked) events_.apply_clicked(index);
  }
  if (id == kCmdAnnullaId && events_.exit_clicked) events_.exit_clicked();
}

LRESULT CALLBACK VarnikWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* self = static_cast<VarnikWindow*>(creation->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<VarnikWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT VarnikWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
      return 0;
    case DM_GETDEFID:
      // The dialog manager asks which button Enter presses (and, after Tab,
      // which one to draw as the default): the one FollowFocus chose.
      return default_button_ != nullptr ? MAKELRESULT(GetDlgCtrlID(default_button_), DC_HASDEFID)
                                        : 0;
    case WM_CLOSE:
      if (events_.exit_clicked) events_.exit_clicked();
      return 0;
    case WM_QUERYENDSESSION:
      // Ending now would stop the program between the object's steps, after
      // the Name and before Apply, with nothing said.
      if (!events_.keeps_session || !events_.keeps_session()) return TRUE;
      refused_session_end_ = true;
      ShutdownBlockReasonCreate(window_, kSessionEndRefusedReason);
      return FALSE;
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        last_focus_ = GetFocus();
      } else {
        SetFocus(last_focus_ != nullptr && IsChild(window_, last_focus_) ? last_focus_
                                                                         : Entry(EntryLine::First));
      }
      return 0;
    case WM_DPICHANGED: {
      Layout(HIWORD(wparam));
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_DESTROY: {
      // The handle goes now; the program ends with its only window.
      const HWND window = window_;
      names_.ClearAll();
      window_ = nullptr;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      PostQuitMessage(0);
      return 0;
    }
    default:
      return DefWindowProcW(window_, message, wparam, lparam);
  }
}

}  // namespace varnik
