# `cmake --build build --target package` writes build/marlow-vgt-tuner_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marlow-vgt-tuner)
set(CPACK_PACKAGE_VENDOR "Marlow VGT Tuner developers")
set(CPACK_PACKAGE_CONTACT "Marlow VGT Tuner developers <tuner@marlow-vgt.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tuner for Marlow variable-geometry turbo controllers")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop tool that edits the turbo position map, the brake row and the
parameters of a Marlow VGT module over USB HID, keeps calibrations in files,
draws the map as a 3D surface, sends, receives and verifies calibrations and
reflashes the module's firmware. The command-line tool marlow-vgt does the
same in scripts, with no display. A udev rule lets the person at the desk
open the module without root.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are read off the built programs by dpkg-shlibdeps, so they
# follow whatever the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The udev daemon reads the rule; the desktop's menu reads the entry.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udev)
include(CPack)
