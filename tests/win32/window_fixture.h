#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setupconfig/com/windows_text.h"
#include "tests/core/temp_dir.h"
#include "tests/win32/standin_state.h"
#include "tests/win32/varnik_process.h"
#include "tests/win32/window_driver.h"
#include "ui/win32/control_ids.h"

namespace varnik::testing {

namespace fs = std::filesystem;
using Calls = std::vector<std::string>;

inline const Calls kCreateOnly = {"create"};
inline const Calls kCreateAndRead = {"create", "get Name"};

constexpr const wchar_t* kAvvia = L"Metti questo dato su Name";

class WindowTest : public ::testing::Test {
 protected:
  // Starts the program once the list file and the stand-in are set up.
  void Start() {
    process_.emplace(work_.path());
    form_ = process_->WaitForForm();
    if (form_ == nullptr) {
      const HWND box = process_->MessageBoxNow();
      FAIL() << "the form did not appear"
             << (box != nullptr ? "; the program says: " + Utf8FromWide(ReadMessageBox(box).text)
                                : std::string());
    }
  }
  HWND Item(int id) const { return GetDlgItem(form_, id); }
  HWND Entry(int line) const { return Item(kTxtLabelId[line]); }
  fs::path ListFile() const { return work_.path() / "name_start.txt"; }
  void WriteList(std::string_view bytes) const { WriteBytes(ListFile(), bytes); }
  bool FocusIs(HWND control) const {
    return process_->WaitUntil([&] { return FocusOf(process_->thread_id()) == control; });
  }

  TempDir work_;
  StandInState standin_;
  ScopedStandInFolder folder_{standin_.folder()};
  std::optional<VarnikProcess> process_;
  HWND form_ = nullptr;
};

}  // namespace varnik::testing
