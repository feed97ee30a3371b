// The yardstick for Varnik's start-up on Windows: a bare Win32 program with
// the same five controls in the same places, the same icon and manifest
// (Common Controls 6, per-monitor DPI), the system's message font, and the
// same configuration object created before the window shows. It keeps nothing
// and does nothing else: no list file, no accessible names, no C++ runtime.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

namespace {

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wparam, lparam);
}

int Pixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  CLSID class_id{};
  IUnknown* object = nullptr;
  if (SUCCEEDED(CLSIDFromProgID(L"VeruVeve.SetupConfig", &class_id))) {
    CoCreateInstance(class_id, nullptr, CLSCTX_SERVER, IID_IUnknown,
                     reinterpret_cast<void**>(&object));
  }

  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = FormProc;
  form.hInstance = instance;
  form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  form.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  form.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  form.lpszClassName = L"BareVarnik";
  RegisterClassExW(&form);
  constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  const HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, form.lpszClassName, L"Varnik", style, 0,
                                      0, 0, 0, nullptr, nullptr, instance, nullptr);
  const UINT dpi = GetDpiForWindow(window);
  RECT frame{0, 0, Pixels(6645, dpi), Pixels(1050, dpi)};
  AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_CONTROLPARENT, dpi);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER);

  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi);
  const HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  const struct {
    const wchar_t* kind;
    DWORD style;
    int left, top, width, height;
    const wchar_t* text;
  } children[] = {
      {L"EDIT", ES_AUTOHSCROLL, 240, 120, 2505, 285, L"ROSSI"},
      {L"BUTTON", BS_PUSHBUTTON, 2880, 120, 2400, 330, L"Metti questo dato su Name"},
      {L"BUTTON", BS_PUSHBUTTON, 5640, 360, 735, 330, L"Esci"},
      {L"EDIT", ES_AUTOHSCROLL, 240, 600, 2505, 285, L"ROSSI-2"},
      {L"BUTTON", BS_PUSHBUTTON, 2880, 600, 2400, 330, L"Metti questo dato su Name"},
  };
  for (const auto& child : children) {
    const HWND control =
        CreateWindowExW(child.kind[0] == L'E' ? WS_EX_CLIENTEDGE : 0, child.kind, child.text,
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | child.style, Pixels(child.left, dpi),
                        Pixels(child.top, dpi), Pixels(child.width, dpi), Pixels(child.height, dpi),
                        window, nullptr, instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (object != nullptr) object->Release();
  CoUninitialize();
  return 0;
}
