#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <optional>
#include <string>

#include "names/name_list.h"

namespace varnik::testing {

// A name_start.txt in a fresh temporary folder, removed with it.
class ListFileInTempDir {
 public:
  ListFileInTempDir() : path_(dir_.filePath(QStringLiteral("name_start.txt"))) {}

  bool ok() const { return dir_.isValid(); }

  NameListFile file() const { return NameListFile{path_.toStdString()}; }

  void Write(const QByteArray& bytes) const {
    QFile out(path_);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) out.write(bytes);
  }

  // The file's bytes, or nothing when there is no file.
  std::optional<QByteArray> Read() const {
    QFile in(path_);
    if (!in.open(QIODevice::ReadOnly)) return std::nullopt;
    return in.readAll();
  }

 private:
  QTemporaryDir dir_;
  QString path_;
};

}  // namespace varnik::testing
