// The form at the system's DPI, which Wine takes from the user's LogPixels
// as each process starts (Windows, as the user signs in): set for one run of
// the program at a time, and put back as it was however the run ends.

#include <algorithm>

#include "tests/win32/varnik_process.h"

namespace varnik {
namespace {

using namespace testing;  // the stand-in and the program

// The system DPI for the programs started while it is in force; the user's
// own setting, or none, again after.
struct SystemDpi {
  static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
  static constexpr const wchar_t* kName = L"LogPixels";
  explicit SystemDpi(DWORD dpi)
      : had(RegGetValueW(HKEY_CURRENT_USER, kKey, kName, RRF_RT_DWORD, nullptr, &old, &size) == 0),
        set(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kName, REG_DWORD, &dpi, sizeof dpi) == 0) {}
  ~SystemDpi() {
    had ? RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kName, REG_DWORD, &old, sizeof old)
        : RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, kName);
  }
  DWORD old = 0, size = sizeof old;
  const bool had, set;
};

// Across a button, inside its edges (at the DPI) and its frame as the
// default button: the columns where the screen shows no text (no dark
// pixels) before the text, those with text, and those after it.
struct Ink {
  int before, width, after;
};
Ink InkColumns(HWND button, unsigned dpi) {
  RECT at{};
  GetWindowRect(button, &at);
  const int edge = GetSystemMetricsForDpi(SM_CXEDGE, dpi) + 1;
  // The middle third of its height, where every letter of the caption is.
  InflateRect(&at, -edge, -(at.bottom - at.top) / 3);
  const HDC screen = GetDC(nullptr);
  int first = at.right, last = at.left - 1;
  for (int x = at.left; x < at.right; ++x) {
    for (int y = at.top; y < at.bottom; ++y) {
      if ((GetPixel(screen, x, y) & 0x808080) == 0) last = x, first = std::min(first, x);
    }
  }
  ReleaseDC(nullptr, screen);
  return {first - at.left, last + 1 - first, at.right - 1 - last};
}

// The client area is the form's 6645 x 1050 twips at the DPI, and its text
// grows with it, the apply caption still inside its button.
TEST_F(WindowTest, FormAndItsTextFollowTheSystemDpi) {
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr)
    GTEST_SKIP() << "Windows takes a new LogPixels only at the user's next sign-in";
  WriteBytes(list_, "ROSSI\r\n");
  const struct {
    unsigned dpi;
    int width, height;
  } rows[] = {{96, 443, 70}, {120, 554, 88}, {144, 665, 105}, {192, 886, 140}};
  double caption_at_96 = 0;  // the apply caption's width in pixels
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.dpi << " DPI");
    const SystemDpi dpi(row.dpi);
    ASSERT_TRUE(dpi.set);
    ASSERT_NO_FATAL_FAILURE(Start());
    RECT client{};
    GetClientRect(form_, &client);
    EXPECT_EQ(client.right, row.width);
    EXPECT_EQ(client.bottom, row.height);
    // Once the button is painted: its face on either side of the caption.
    Ink ink{};
    EXPECT_TRUE(process_->WaitUntil([&] {
      ink = InkColumns(Item(kCmdAvviaId[0]), row.dpi);
      return ink.width > 0 && ink.before > 0 && ink.after > 0;
    })) << "the caption does not fit";
    if (row.dpi == 96) caption_at_96 = ink.width;
    const double caption = caption_at_96 * row.dpi / 96;
    EXPECT_NEAR(ink.width, caption, caption / 10) << "the text does not grow with the DPI";
  }
}

}  // namespace
}  // namespace varnik
