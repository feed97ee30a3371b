#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace varnik::standin {

// A call the stand-in can be told to fail, with the text it then reports.
struct Failure {
  HRESULT code = E_FAIL;
  std::wstring description;  // empty: the bare code, with no exception information
};

// Where the stand-in keeps its state, all in UTF-8 text files in one folder:
//   name.txt   the Name property; no file means Name is Empty
//   calls.txt  one line for every call made on the stand-in, in order
//   fail.txt   calls to fail, one a line: <call> TAB <HRESULT in hex> TAB <description>
//   pace.txt   calls that do not answer at once, one a line: <call> TAB <pace>,
//              the pace being a number of milliseconds to take, "hang" (no
//              answer until a file release.txt appears in the folder, then
//              the usual one) or "exit" (the process ends inside the call;
//              only for the stand-in's own program, varnik_standin_server)
//   server.txt the process id of the last varnik_standin_server started
// The calls are "create", "get Name", "put Name" and "call Apply"; in
// calls.txt an argument follows its call as TAB <type> TAB <value as text>.
// The folder is named by the environment variable VARNIK_STANDIN_DIR, read
// at every call, else it is "%LOCALAPPDATA%\Varnik\standin".
class Store {
 public:
  static Store FromEnvironment();
  explicit Store(std::filesystem::path folder) : folder_(std::move(folder)) {}

  std::optional<std::wstring> ReadName() const;
  void WriteName(std::wstring_view name) const;
  void Record(std::wstring_view line) const;
  std::optional<Failure> FailureFor(std::wstring_view call) const;
  // Takes as long as pace.txt says for the call, or ends the process.
  void Pace(std::wstring_view call) const;
  void RecordServer(DWORD process_id) const;

 private:
  std::optional<std::wstring> LineFor(const wchar_t* file, std::wstring_view call) const;

  std::filesystem::path folder_;
};

}  // namespace varnik::standin
