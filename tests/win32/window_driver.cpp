#include "tests/win32/window_driver.h"

#include <oleacc.h>
#include <wrl/client.h>

#include "ui/win32/control_ids.h"

namespace varnik::testing {
namespace {

// Long enough for Wine to start a process on a slow machine.
constexpr DWORD kTimeLimitMs = 20000;
constexpr UINT kSendTimeoutMs = 5000;

LRESULT Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  return static_cast<LRESULT>(result);
}

// The message text: the box's one static control that is not its icon.
BOOL CALLBACK FindMessageText(HWND child, LPARAM text) {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
  if (ClassOf(child) != L"Static" || (style & SS_TYPEMASK) == SS_ICON) return TRUE;
  *reinterpret_cast<std::wstring*>(text) = TextOf(child);
  return reinterpret_cast<std::wstring*>(text)->empty();
}

}  // namespace

std::filesystem::path BuiltFile(const wchar_t* name) {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return std::filesystem::path(path).parent_path() / name;
}

VarnikProcess::VarnikProcess(const std::filesystem::path& working_directory,
                             const std::filesystem::path& program) {
  std::wstring command = L"\"" + program.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      working_directory.wstring().c_str(), &startup, &process_)) {
    process_ = {};
  }
}

VarnikProcess::~VarnikProcess() {
  if (process_.hProcess == nullptr) return;
  TerminateProcess(process_.hProcess, 99);  // fails harmlessly once it has ended
  WaitForSingleObject(process_.hProcess, kTimeLimitMs);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool VarnikProcess::WaitUntil(const std::function<bool()>& condition) const {
  const ULONGLONG deadline = GetTickCount64() + kTimeLimitMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() > deadline || process_.hProcess == nullptr) return false;
    // Paced by the process itself: once it has ended, nothing more can change.
    if (WaitForSingleObject(process_.hProcess, 10) == WAIT_OBJECT_0) return condition();
  }
}

HWND VarnikProcess::FindTopLevel(const wchar_t* class_name) const {
  for (HWND window = FindWindowExW(nullptr, nullptr, class_name, nullptr); window != nullptr;
       window = FindWindowExW(nullptr, window, class_name, nullptr)) {
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    if (process_id == process_.dwProcessId && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

HWND VarnikProcess::WaitForForm() const {
  WaitForInputIdle(process_.hProcess, kTimeLimitMs);
  // A message box instead means the program failed to start.
  HWND form = nullptr;
  WaitUntil([&] { return (form = FindTopLevel(kFormClassName)) != nullptr || MessageBoxNow(); });
  return form;
}

HWND VarnikProcess::WaitForMessageBox() const {
  HWND box = nullptr;
  WaitUntil([&] { return (box = MessageBoxNow()) != nullptr; });
  return box;
}

std::optional<DWORD> VarnikProcess::WaitForExit() const {
  DWORD status = 0;
  if (!WaitUntil([&] { return !Running(); }) || !GetExitCodeProcess(process_.hProcess, &status)) {
    return std::nullopt;
  }
  return status;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(Send(window, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

RECT RectInParent(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

HWND FocusOf(DWORD thread_id) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(thread_id, &info) ? info.hwndFocus : nullptr;
}

void PostKey(HWND target, UINT virtual_key) {
  // The dialog manager and the form go by the key alone, not by its scan code.
  PostMessageW(target, WM_KEYDOWN, virtual_key, 1);
  PostMessageW(target, WM_KEYUP, virtual_key, static_cast<LPARAM>(0xC0000001u));
}

void TypeChars(HWND control, const std::wstring& text) {
  for (const wchar_t c : text) Send(control, WM_CHAR, c, 1);
}

void SetText(HWND control, const std::wstring& text) {
  Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

std::wstring MessageText(HWND box) {
  std::wstring text;
  EnumChildWindows(box, &FindMessageText, reinterpret_cast<LPARAM>(&text));
  return text;
}

std::wstring AccessibleName(HWND control) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::wstring name;
  {
    Microsoft::WRL::ComPtr<IAccessible> object;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    // __uuidof: mingw's oleacc import library carries IID_IAccessible as code.
    if (SUCCEEDED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                             __uuidof(IAccessible),
                                             reinterpret_cast<void**>(object.GetAddressOf()))) &&
        object->get_accName(self, &text) == S_OK && text != nullptr) {
      name.assign(text, SysStringLen(text));
    }
    SysFreeString(text);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return name;
}

bool AnnotationsWork() {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool works = false;
  {
    // A window of the test's own takes a name and gives it back.
    Microsoft::WRL::ComPtr<IAccPropServices> service;
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    const auto object = static_cast<DWORD>(OBJID_CLIENT);
    const auto self = static_cast<DWORD>(CHILDID_SELF);
    if (window != nullptr &&
        SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IAccPropServices,
                                   reinterpret_cast<void**>(service.GetAddressOf()))) &&
        SUCCEEDED(service->SetHwndPropStr(window, object, self, PROPID_ACC_NAME, L"probe"))) {
      works = AccessibleName(window) == L"probe";
      const MSAAPROPID name = PROPID_ACC_NAME;
      service->ClearHwndProps(window, object, self, &name, 1);
    }
    if (window != nullptr) DestroyWindow(window);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return works;
}

}  // namespace varnik::testing
