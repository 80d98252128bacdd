# The GNOME Shell backend, Halvo's shell extension and their tests. The extension's service
# (service.js) is shared by two entry points: the legacy one GNOME Shell 43 and 44 load, and the
# ES-module one of 45 and later; the build assembles the one for the shell it is made for.
set(HALVO_GNOME_EXTENSION_UUID "halvo@c_seed_0d7007af.example")
set(HALVO_GNOME_SHELL_MAJOR "" CACHE STRING
    "The GNOME Shell major version the extension is made for (empty: the installed one, else 48)")
set(HALVO_GNOME_SHELL ${HALVO_GNOME_SHELL_MAJOR})
if(NOT HALVO_GNOME_SHELL)
    execute_process(COMMAND gnome-shell --version OUTPUT_VARIABLE HALVO_SHELL_VERSION_TEXT
        ERROR_QUIET RESULT_VARIABLE HALVO_SHELL_VERSION_STATUS)
    if(HALVO_SHELL_VERSION_STATUS EQUAL 0 AND HALVO_SHELL_VERSION_TEXT MATCHES "([0-9]+)\\.")
        set(HALVO_GNOME_SHELL ${CMAKE_MATCH_1})
    else()
        set(HALVO_GNOME_SHELL 48)
    endif()
endif()

set(HALVO_EXTENSION_SOURCE ${CMAKE_SOURCE_DIR}/src/platform/gnome/extension)
set(HALVO_EXTENSION_DIR ${CMAKE_BINARY_DIR}/gnome-shell/extensions/${HALVO_GNOME_EXTENSION_UUID})
set(HALVO_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
file(READ ${HALVO_EXTENSION_SOURCE}/service.js HALVO_SERVICE_JS)
string(CONFIGURE "${HALVO_SERVICE_JS}" HALVO_SERVICE_JS @ONLY)
if(HALVO_GNOME_SHELL LESS 45)
    set(HALVO_GNOME_SHELL_VERSIONS "\"43\", \"44\"")
    set(HALVO_EXTENSION_ENTRY extension-legacy.js)
else()
    set(HALVO_GNOME_SHELL_VERSIONS "\"45\", \"46\", \"47\", \"48\", \"49\"")
    set(HALVO_EXTENSION_ENTRY extension-module.js)
    string(APPEND HALVO_SERVICE_JS "\nexport {createService};\n")
endif()
file(WRITE ${HALVO_EXTENSION_DIR}/service.js "${HALVO_SERVICE_JS}")
configure_file(${HALVO_EXTENSION_SOURCE}/${HALVO_EXTENSION_ENTRY}
    ${HALVO_EXTENSION_DIR}/extension.js COPYONLY)
configure_file(${HALVO_EXTENSION_SOURCE}/shell-service.xml
    ${HALVO_EXTENSION_DIR}/shell-service.xml COPYONLY)
configure_file(${HALVO_EXTENSION_SOURCE}/halvo-symbolic.svg
    ${HALVO_EXTENSION_DIR}/halvo-symbolic.svg COPYONLY)
configure_file(${HALVO_EXTENSION_SOURCE}/metadata.json.in ${HALVO_EXTENSION_DIR}/metadata.json
    @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${HALVO_EXTENSION_SOURCE}/service.js)
include(GNUInstallDirs)
install(DIRECTORY ${HALVO_EXTENSION_DIR}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions)

# Halvo's side: the proxy is generated from the same interface description.
file(GLOB HALVO_GNOME_SOURCES CONFIGURE_DEPENDS src/platform/gnome/*.cpp)
set_source_files_properties(${HALVO_EXTENSION_SOURCE}/shell-service.xml PROPERTIES
    CLASSNAME GnomeShellProxy NO_NAMESPACE ON)
qt_add_dbus_interface(HALVO_GNOME_SOURCES ${HALVO_EXTENSION_SOURCE}/shell-service.xml
    GnomeShellProxy)
add_library(halvo_gnome STATIC ${HALVO_GNOME_SOURCES})
target_link_libraries(halvo_gnome PUBLIC halvo_linux halvo_wayland)
target_include_directories(halvo_gnome PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
target_compile_definitions(halvo_gnome PUBLIC QT_NO_KEYWORDS)
halvo_warnings(halvo_gnome)
if(TARGET halvo)
    target_link_libraries(halvo PRIVATE halvo_gnome)
endif()

# Tests on private headless GNOME Shells (tests/support/GnomeShellSession): the backends through
# the real extension, and the program itself.
target_compile_definitions(halvo_test_support PRIVATE
    HALVO_GNOME_EXTENSION_DIR="${HALVO_EXTENSION_DIR}")
file(GLOB HALVO_GNOME_TESTS CONFIGURE_DEPENDS tests/gnome/*.cpp)
add_executable(halvo_gnome_tests ${HALVO_GNOME_TESTS})
target_link_libraries(halvo_gnome_tests PRIVATE halvo_gnome halvo_test_support GTest::gtest)
halvo_warnings(halvo_gnome_tests)
gtest_discover_tests(halvo_gnome_tests PROPERTIES LABELS gnome TIMEOUT 90 DISCOVERY_TIMEOUT 30)
if(TARGET halvo)
    file(GLOB HALVO_GNOME_E2E_TESTS CONFIGURE_DEPENDS tests/e2e-gnome/*.cpp)
    add_executable(halvo_gnome_e2e_tests ${HALVO_GNOME_E2E_TESTS})
    target_link_libraries(halvo_gnome_e2e_tests PRIVATE halvo_test_support GTest::gtest)
    add_dependencies(halvo_gnome_e2e_tests halvo)
    halvo_warnings(halvo_gnome_e2e_tests)
    gtest_discover_tests(halvo_gnome_e2e_tests PROPERTIES LABELS gnome TIMEOUT 120
        DISCOVERY_TIMEOUT 30)
endif()
