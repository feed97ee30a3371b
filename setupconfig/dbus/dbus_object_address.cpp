#include "setupconfig/dbus/dbus_object_address.h"

#include <array>

namespace varnik {
namespace {

struct KnownObject {
  std::u16string_view prog_id;
  const char* service;
  const char* path;
  const char* interface;
};

// One row per program id the program may ask for. Any service that owns the
// name and serves the path and interface can play the object.
constexpr std::array kKnownObjects{
    KnownObject{u"VeruVeve.SetupConfig", "VeruVeve.SetupConfig", "/VeruVeve/SetupConfig",
                "VeruVeve.SetupConfig"},
};

}  // namespace

std::optional<DBusObjectAddress> DBusObjectAddressFor(std::u16string_view prog_id) {
  for (const KnownObject& known : kKnownObjects) {
    if (known.prog_id == prog_id) {
      return DBusObjectAddress{QString::fromLatin1(known.service), QString::fromLatin1(known.path),
                               QString::fromLatin1(known.interface)};
    }
  }
  return std::nullopt;
}

}  // namespace varnik
