# The Debian package of the Linux program (cpack -G DEB in the build folder):
# the program, the stand-in object with its D-Bus activation file, and the
# desktop integration from packaging/linux.
add_subdirectory(${PROJECT_SOURCE_DIR}/packaging/linux ${PROJECT_BINARY_DIR}/packaging/linux)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnik)
set(CPACK_PACKAGE_VENDOR "Varnik")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY varnik)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Varnik maintainers <maintainers@varnik.it>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "mette uno dei due nomi salvati su Name / puts a saved name into Name")
set(CPACK_PACKAGE_DESCRIPTION
    "Varnik tiene due nomi possibili per il Name dell'oggetto di configurazione
VeruVeve.SetupConfig, li lascia modificare e mette quello scelto sull'oggetto
attraverso D-Bus. Interfaccia in italiano.
.
Varnik keeps two candidate values for the Name of the VeruVeve.SetupConfig
configuration object on the D-Bus session bus, lets you edit them, and puts the
one you pick into the object. Italian user interface.
.
The package also holds varnik-setupconfig-standin, a stand-in for the object
that D-Bus starts on demand where the real object is absent.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# Library dependencies found by dpkg-shlibdeps (from dpkg-dev); the stand-in
# is started by the session bus, which dbus-session-bus provides.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-session-bus | default-dbus-session-bus")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# A program, not its debugging symbols.
set(CPACK_STRIP_FILES ON)

include(CPack)
