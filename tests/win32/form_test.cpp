// The form as the system shows it: where its controls sit, what they hold,
// and what a screen reader announces for each.

#include <oleacc.h>

#include <algorithm>
#include <cwctype>

#include "tests/win32/varnik_process.h"

namespace varnik {
namespace {

using namespace testing;  // the stand-in and the program

// The name a screen reader announces for a control, read through the
// system's accessibility interface; empty when it gives none.
std::wstring AccessibleName(HWND control) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::wstring name;
  IAccessible* object = nullptr;
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  // __uuidof: mingw's oleacc import library carries IID_IAccessible as code.
  if (SUCCEEDED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                           __uuidof(IAccessible),
                                           reinterpret_cast<void**>(&object)))) {
    if (object->get_accName(self, &text) == S_OK && text != nullptr) {
      name.assign(text, SysStringLen(text));
    }
    object->Release();
  }
  SysFreeString(text);
  if (SUCCEEDED(com)) CoUninitialize();
  return name;
}

// The form centred on the screen with its five controls shown, in the order
// Tab takes them, each inside the form and clear of the others; the saved
// lines in the code page, cut to what a line holds. What a screen reader
// announces for each control says its line, whatever the line holds: the
// entry lines take their names from hidden labels, the buttons from the
// system's annotation service, which Wine lacks.
TEST_F(WindowTest, FormShowsItsControlsCentredAndNamedByLine) {
  WriteBytes(list_, "ROSSI   \r\n  Niccol\xF2 ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n");
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(TextOf(form_), L"Varnik");
  RECT frame{}, client{};
  GetWindowRect(form_, &frame);
  GetClientRect(form_, &client);
  EXPECT_NEAR(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2.0, 0.5);
  EXPECT_NEAR(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2.0, 0.5);

  const wchar_t* const avvia = L"Metti questo dato su Name";
  const std::wstring texts[] = {L"ROSSI", avvia, L"Esci", L"  Niccol\u00F2 ABCDEFGHIJKL", avvia};
  std::vector<RECT> placed;
  for (HWND child = GetWindow(form_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    ASSERT_LT(placed.size(), std::size(texts));
    EXPECT_EQ(TextOf(child), texts[placed.size()]);
    RECT at{}, overlap{};
    GetWindowRect(child, &at);
    MapWindowPoints(nullptr, form_, reinterpret_cast<POINT*>(&at), 2);
    EXPECT_TRUE(IntersectRect(&overlap, &at, &client) && EqualRect(&overlap, &at)) << "outside";
    for (const RECT& other : placed)
      EXPECT_FALSE(IntersectRect(&overlap, &at, &other)) << "overlap";
    placed.push_back(at);
  }
  ASSERT_EQ(placed.size(), std::size(texts));
  EXPECT_GT(placed[3].top, placed[0].bottom) << "the second line is not below the first";

  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  std::vector<std::wstring> names;
  for (const int line : {0, 1}) {
    for (const int id : {kTxtLabelId[line], kCmdAvviaId[line]}) {
      std::wstring name = AccessibleName(Item(id));
      if (wine && id == kCmdAvviaId[line]) continue;
      for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
      EXPECT_NE(name.find(line == 0 ? L"prima riga" : L"seconda riga"), std::wstring::npos) << id;
      EXPECT_EQ(std::count(names.begin(), names.end(), name), 0) << id;
      names.push_back(name);
    }
  }
  EXPECT_EQ(AccessibleName(Item(kCmdAnnullaId)), L"Esci");
}

}  // namespace
}  // namespace varnik
