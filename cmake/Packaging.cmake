# The Debian packages of the Linux program (cpack in the build folder; a
# packager's build is scripts/build-deb):
#   varnik          the program, its launcher and desktop integration from
#                   packaging/linux, its manual page, the object's D-Bus
#                   interface;
#   varnik-standin  the stand-in object with its D-Bus activation file, only
#                   when the build installs it (VARNIK_INSTALL_STANDIN=ON).
add_subdirectory(${PROJECT_SOURCE_DIR}/packaging/linux ${PROJECT_BINARY_DIR}/packaging/linux)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnik)
set(CPACK_PACKAGE_VENDOR "Varnik")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY varnik)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Varnik maintainers <maintainers@varnik.it>")
# Each package's description below starts with its own synopsis; a common
# summary would be put in front of both.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL varnik)
if(VARNIK_INSTALL_STANDIN)
  list(APPEND CPACK_COMPONENTS_ALL standin)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE varnik)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://varnik.it/")
# Library dependencies (Qt, and libacl1 and libattr1 for the list file) found
# by dpkg-shlibdeps (from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Programs, not their debugging symbols.
set(CPACK_STRIP_FILES ON)

# The program reaches the object on the session bus; without Qt's Italian
# texts the entry lines' context menu is in English, and without Qt's Wayland
# plugin it needs XWayland in a Wayland session.
set(CPACK_DEBIAN_VARNIK_PACKAGE_NAME varnik)
set(CPACK_DEBIAN_VARNIK_PACKAGE_DEPENDS "default-dbus-session-bus | dbus-session-bus")
set(CPACK_DEBIAN_VARNIK_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")
set(CPACK_DEBIAN_VARNIK_PACKAGE_SUGGESTS varnik-standin)
set(CPACK_COMPONENT_VARNIK_DESCRIPTION
    "puts one of two saved names into a configuration object's Name
Varnik keeps two candidate values for the Name of the VeruVeve.SetupConfig
configuration object on the D-Bus session bus, lets you edit them, and puts
the one you pick into the object. Italian user interface.
.
Varnik tiene due nomi possibili per il Name dell'oggetto di configurazione
VeruVeve.SetupConfig, li lascia modificare e mette quello scelto sull'oggetto
attraverso D-Bus.
.
Started from the menu, Varnik keeps its list in ~/.local/state/varnik.")

# The stand-in is started by the session bus and needs nothing of Varnik's.
set(CPACK_DEBIAN_STANDIN_PACKAGE_NAME varnik-standin)
set(CPACK_DEBIAN_STANDIN_PACKAGE_DEPENDS "default-dbus-session-bus | dbus-session-bus")
set(CPACK_DEBIAN_STANDIN_PACKAGE_ENHANCES varnik)
set(CPACK_COMPONENT_STANDIN_DESCRIPTION
    "stand-in for the VeruVeve.SetupConfig object, for trying Varnik
A stand-in for the VeruVeve.SetupConfig configuration object on the D-Bus
session bus, for trying and testing Varnik where the real object is absent. It
only stores the Name it is given, in ~/.local/state/varnik-setupconfig-standin,
and records the calls it receives.
.
Installed, it is started by the session bus of every user on the machine
whenever the real object is not running. It gives the name up to the real
object when that starts, and quits after five minutes without a call.")

# The packages carry the time of the last commit (SOURCE_DATE_EPOCH), and
# SHA256SUMS for both is written beside them.
set(CPACK_VARNIK_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackProjectConfig.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/CPackPostBuild.cmake)

include(CPack)
