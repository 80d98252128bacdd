# What a desktop installs beside the program: its software-centre entry and its manual page, and
# the checks of the installed files and of the Debian package.
include(GNUInstallDirs)
set(HALVO_APPSTREAM_ID example.c_seed_0d7007af.halvo)
install(FILES resources/halvo.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
    RENAME ${HALVO_APPSTREAM_ID}.metainfo.xml)
install(FILES resources/halvo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The installed tree (desktop entry, metainfo, icon, manual page) is validated every run; the
# checks skip (77) where a validator is not installed.
add_test(NAME package_sources COMMAND scripts/check-package sources
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
add_test(NAME package_installed_files COMMAND scripts/check-package install ${CMAKE_BINARY_DIR}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(package_sources package_installed_files PROPERTIES
    LABELS package SKIP_RETURN_CODE 77 TIMEOUT 120)
