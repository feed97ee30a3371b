#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace varnik::testing {

// Reading and driving another process's windows the way a user would reach
// them. Keys are posted to the window's queue, so they pass through its
// message loop and its dialog manager as typed keys do.

std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);
// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child);
// The window with the keyboard focus in the thread.
HWND FocusOf(DWORD thread_id);

void PostKey(HWND target, UINT virtual_key);
// Types characters into a control, each handled before the next is sent.
void TypeChars(HWND control, const std::wstring& text);
void SetText(HWND control, const std::wstring& text);
void Click(HWND button);

// What a message box shows.
struct MessageBoxContent {
  std::wstring title;
  std::wstring text;
  std::vector<int> button_ids;
  std::vector<std::wstring> button_texts;
  HICON icon = nullptr;
};
MessageBoxContent ReadMessageBox(HWND box);
// Presses the box's OK button.
void DismissMessageBox(HWND box);

}  // namespace varnik::testing
