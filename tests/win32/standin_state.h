#pragma once

#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/win32/windows_text.h"
#include "standin/com/registration.h"
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
  ~StandInState() {
    SetEnvironmentVariableW(kVariable, nullptr);
    Release();  // a call left hanging in this process ends
    EndServer();
  }
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
  // Makes the call answer late: "hang" (until Release), "exit" (the
  // stand-in's program ends inside it) or a number of milliseconds.
  void Pace(std::string_view call, std::string_view pace) const {
    WriteBytes(dir_.path() / "pace.txt", std::string(call) + "\t" + std::string(pace));
  }
  // Lets a hanging call answer.
  void Release() const { WriteBytes(dir_.path() / "release.txt", ""); }
  // Ends the stand-in's own program, the last one started for this state,
  // wherever it is.
  void EndServer() const {
    const std::filesystem::path record = dir_.path() / "server.txt";
    if (!std::filesystem::exists(record)) return;
    const auto id = static_cast<DWORD>(std::stoul("0" + ReadBytes(record)));
    if (const HANDLE server = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
      TerminateProcess(server, 99);
      WaitForSingleObject(server, 10000);
      CloseHandle(server);
    }
  }
  // Whether the stand-in's own program ends by itself within the time limit.
  bool ServerEnds() const {
    const auto id = static_cast<DWORD>(std::stoul("0" + ReadBytes(dir_.path() / "server.txt")));
    const HANDLE server = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (server == nullptr) return true;
    const bool ended = WaitForSingleObject(server, 10000) == WAIT_OBJECT_0;
    CloseHandle(server);
    return ended;
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

// The ProgID names the stand-in's own program (registered by the tests'
// fixture) instead of the DLL while this lives. The tests that create the
// object hold a lock for it (varnik_window, tests/win32/CMakeLists.txt).
class ObjectInItsOwnProgram {
 public:
  ObjectInItsOwnProgram() : previous_(ProgIdClass()) {
    wchar_t local[40] = {};
    StringFromGUID2(standin::kLocalStandInClassId, local, 40);
    SetProgIdClass(local);
  }
  ~ObjectInItsOwnProgram() { SetProgIdClass(previous_); }
  ObjectInItsOwnProgram(const ObjectInItsOwnProgram&) = delete;
  ObjectInItsOwnProgram& operator=(const ObjectInItsOwnProgram&) = delete;

 private:
  static constexpr const wchar_t* kKey = L"VeruVeve.SetupConfig\\CLSID";
  static std::wstring ProgIdClass() {
    wchar_t value[64] = {};
    DWORD size = sizeof value;
    RegGetValueW(HKEY_CLASSES_ROOT, kKey, nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
  }
  static void SetProgIdClass(const std::wstring& id) {
    RegSetKeyValueW(HKEY_CLASSES_ROOT, kKey, nullptr, REG_SZ, id.c_str(),
                    static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t)));
  }
  std::wstring previous_;
};

// Lines of the record, as the stand-in writes them.
inline std::string PutNameLine(std::u16string_view value) {
  return "put Name\tString\t" + Utf8(value);
}
inline std::string ApplyLine(bool value) {
  return std::string("call Apply\tBoolean\t") + (value ? "True" : "False");
}

}  // namespace varnik::testing
