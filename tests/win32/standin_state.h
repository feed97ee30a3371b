#pragma once

#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/win32/windows_text.h"
#include "tests/support/temp_dir.h"

namespace varnik::testing {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

inline std::string Utf8(std::u16string_view text) { return Utf8FromWide(ToWide(text)); }

// A fresh state folder for the stand-in object (its Name, its record of calls,
// the call it is told to fail), in force for this process and the programs it
// starts until the end of the scope.
class StandInState {
 public:
  StandInState() { SetEnvironmentVariableW(kVariable, dir_.path().wstring().c_str()); }
  ~StandInState() { SetEnvironmentVariableW(kVariable, nullptr); }
  StandInState(const StandInState&) = delete;
  StandInState& operator=(const StandInState&) = delete;

  void SetName(std::u16string_view name) const { WriteBytes(dir_.path() / "name.txt", Utf8(name)); }
  // Makes the call ("create", "get Name", "put Name", "call Apply") fail with
  // code and, when description is not empty, with that description.
  void Fail(std::string_view call, HRESULT code, std::u16string_view description) const {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(code));
    WriteBytes(dir_.path() / "fail.txt", std::string(call) + "\t" + hex + "\t" + Utf8(description));
  }
  // The record, one entry a call, UTF-8.
  std::vector<std::string> Calls() const {
    std::istringstream record(ReadBytes(dir_.path() / "calls.txt"));
    std::vector<std::string> calls;
    for (std::string line; std::getline(record, line);) calls.push_back(line);
    return calls;
  }

 private:
  static constexpr const wchar_t* kVariable = L"VARNIK_STANDIN_DIR";
  TempDir dir_;
};

// Lines of the record, as the stand-in writes them.
inline std::string PutNameLine(std::u16string_view value) {
  return "put Name\tString\t" + Utf8(value);
}
inline std::string ApplyLine(bool value) {
  return std::string("call Apply\tBoolean\t") + (value ? "True" : "False");
}

}  // namespace varnik::testing
