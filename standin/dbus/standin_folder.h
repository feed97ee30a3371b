#pragma once

#include <QString>
#include <QVariant>
#include <optional>
#include <stdexcept>
#include <utility>

namespace varnik::standin {

// A file of the folder that cannot be read or written; the text says which and why.
class FolderError : public std::runtime_error {
 public:
  explicit FolderError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

// What a test asked the stand-in to do with one kind of call, instead of
// serving it.
struct CallControl {
  bool hang = false;      // never answer
  bool exit = false;      // end the stand-in at once, as a crash would
  int delay_ms = 0;       // answer (or fail) this long after the call came
  QString error_name;     // fail with this D-Bus error name, when not empty
  QString error_message;  // ... and this message
};

// The stand-in's one folder, under the user's XDG state directory:
//   name      the Name value, UTF-8, the whole file (absent: "")
//   name-type the D-Bus type Name is served as, e.g. "i" (absent: "s")
//   calls     one line per call received, UTF-8, e.g. "Set Name Rossi"
//   <call>.fail, <call>.hang, <call>.delay, <call>.exit   switches a test sets, read at
//             every call, where <call> is get-name, set-name or apply. A .fail
//             file holds the error name on its first line and the error
//             message after it; a .delay file a number of seconds, e.g. 12.5.
// Files are read afresh at each call, so a test can change them while the
// stand-in runs, and they work under D-Bus activation, where the stand-in
// inherits the bus daemon's environment rather than the test's.
class StandinFolder {
 public:
  // $XDG_STATE_HOME/varnik-setupconfig-standin, with ~/.local/state when
  // XDG_STATE_HOME is unset, empty or not absolute.
  static QString DefaultPath();

  explicit StandinFolder(QString path) : path_(std::move(path)) {}

  const QString& Path() const { return path_; }

  // Creates the folder if needed; throws FolderError.
  void Create() const;

  // The stored Name, as the D-Bus type the name-type file gives (a string
  // where there is none); throws FolderError, also when the text is not a
  // value of that type.
  QVariant ReadName() const;

  // Replaces the stored Name all at once (temporary file, then rename);
  // throws FolderError.
  void WriteName(const QString& name) const;

  // Appends one line to the record. Backslashes and line breaks in the line
  // are written as \\, \n and \r so one call stays one line. Throws FolderError.
  void Record(const QString& line) const;

  // What the switches for call ("get-name", "set-name", "apply") ask for.
  // Throws FolderError when a switch exists but cannot be read.
  CallControl ControlFor(const QString& call) const;

 private:
  QString FilePath(const QString& name) const;

  QString path_;
};

}  // namespace varnik::standin
