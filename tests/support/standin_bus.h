#pragma once

#include <QProcess>
#include <string>
#include <string_view>

#include "tests/support/temp_dir.h"

namespace varnik::test {

// A session bus of the test's own (dbus-daemon --session) on which the
// stand-in for "VeruVeve.SetupConfig" is started on demand, from the build
// tree, with a state folder of the test's own, and access to that folder.
// Strings are UTF-8. Without the stand-in, the bus starts only what this
// machine has installed. The daemon is killed, and waited for, when the object
// goes; the stand-in quits with its bus.
class StandinBus {
 public:
  explicit StandinBus(bool with_standin = true);
  ~StandinBus();

  // The address clients connect to, e.g. "unix:path=/tmp/...,guid=...".
  const std::string& Address() const { return address_; }

  // The environment of a program that is to use this bus and state folder.
  QProcessEnvironment Environment() const;

  // A file of the stand-in's folder (its README says what they hold): "name",
  // "name-type", "calls", or a switch such as "apply.fail" or "get-name.hang".
  // A file that is not there reads as empty.
  std::string Read(const std::string& file) const { return ReadBytes(Folder() / file); }
  void Write(const std::string& file, std::string_view text) const {
    WriteBytes(Folder() / file, text);
  }
  void Remove(const std::string& file) const { std::filesystem::remove(Folder() / file); }

 private:
  std::filesystem::path Folder() const {
    return dir_.path() / "state" / "varnik-setupconfig-standin";
  }

  TempDir dir_;
  QProcess daemon_;
  std::string address_;
};

}  // namespace varnik::test
