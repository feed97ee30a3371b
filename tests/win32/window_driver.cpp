#include "tests/win32/window_driver.h"

namespace varnik::testing {
namespace {

constexpr UINT kSendTimeoutMs = 5000;

BOOL CALLBACK CollectChild(HWND child, LPARAM children) {
  reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
  return TRUE;
}

LPARAM KeyData(UINT virtual_key, bool up) {
  const UINT scan = MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC);
  LPARAM data = 1 | static_cast<LPARAM>(scan) << 16;
  if (up) data |= static_cast<LPARAM>(0xC0000000u);
  return data;
}

}  // namespace

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length);
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
  text.resize(copied);
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
  PostMessageW(target, WM_KEYDOWN, virtual_key, KeyData(virtual_key, false));
  PostMessageW(target, WM_KEYUP, virtual_key, KeyData(virtual_key, true));
}

void TypeChars(HWND control, const std::wstring& text) {
  for (const wchar_t c : text) {
    SendMessageTimeoutW(control, WM_CHAR, c, 1, SMTO_ABORTIFHUNG, kSendTimeoutMs, nullptr);
  }
}

void SetText(HWND control, const std::wstring& text) {
  SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, kSendTimeoutMs, nullptr);
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

MessageBoxContent ReadMessageBox(HWND box) {
  MessageBoxContent content;
  content.title = TextOf(box);
  std::vector<HWND> children;
  EnumChildWindows(box, &CollectChild, reinterpret_cast<LPARAM>(&children));
  for (const HWND child : children) {
    const std::wstring kind = ClassOf(child);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
    if (kind == L"Button") {
      content.button_ids.push_back(GetDlgCtrlID(child));
      content.button_texts.push_back(TextOf(child));
    } else if (kind == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
      DWORD_PTR icon = 0;
      SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &icon);
      content.icon = reinterpret_cast<HICON>(icon);
    } else if (kind == L"Static") {
      const std::wstring text = TextOf(child);
      if (!text.empty()) content.text = text;
    }
  }
  return content;
}

void DismissMessageBox(HWND box) { Click(GetDlgItem(box, IDOK)); }

}  // namespace varnik::testing
