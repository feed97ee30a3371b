#pragma once

#include <QString>
#include <optional>
#include <string_view>

namespace varnik {

// Where an object registered under a program id lives on the session bus.
struct DBusObjectAddress {
  QString service;    // well-known bus name, activatable
  QString path;       // object path
  QString interface;  // interface of Name and Apply
};

// The address of the object registered under prog_id, or nothing for a
// program id this build does not know.
std::optional<DBusObjectAddress> DBusObjectAddressFor(std::u16string_view prog_id);

}  // namespace varnik
