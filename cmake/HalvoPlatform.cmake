# The real X11 backend, the Qt views, the program, and everything tested on a real X server.
set(CMAKE_AUTOMOC ON)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Svg DBus Test LinguistTools)
find_package(PkgConfig REQUIRED)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET
    xcb xcb-ewmh xcb-icccm xcb-keysyms xcb-xkb xcb-xinput xcb-randr xcb-res xcb-shm xcb-xtest
    xcb-image xcb-util)
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0)
pkg_check_modules(CANBERRA REQUIRED IMPORTED_TARGET libcanberra)
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
find_package(nlohmann_json REQUIRED)
find_package(benchmark REQUIRED)

# i3's IPC (sway speaks it too): plain C++ and nlohmann-json, no X11 and no Qt.
file(GLOB HALVO_I3IPC_SOURCES CONFIGURE_DEPENDS src/platform/i3ipc/*.cpp)
add_library(halvo_i3ipc STATIC ${HALVO_I3IPC_SOURCES})
target_link_libraries(halvo_i3ipc PUBLIC halvo_logic nlohmann_json::nlohmann_json)
halvo_warnings(halvo_i3ipc STRICT)

# What every Linux session shares: the Qt main loop, the tray, the settings file, autostart,
# desktop entries and icon themes, the log.
file(GLOB HALVO_LINUX_SOURCES CONFIGURE_DEPENDS src/platform/linux/*.cpp)
add_library(halvo_linux STATIC ${HALVO_LINUX_SOURCES})
target_link_libraries(halvo_linux PUBLIC halvo_logic Qt6::Widgets Qt6::Svg Qt6::DBus
    PkgConfig::GIO PkgConfig::CANBERRA nlohmann_json::nlohmann_json)
target_compile_definitions(halvo_linux PUBLIC QT_NO_KEYWORDS)
halvo_warnings(halvo_linux)

file(GLOB HALVO_X11_SOURCES CONFIGURE_DEPENDS src/platform/x11/*.cpp)
add_library(halvo_x11 STATIC ${HALVO_X11_SOURCES})
target_link_libraries(halvo_x11 PUBLIC halvo_linux halvo_i3ipc PkgConfig::XCB)
target_compile_definitions(halvo_x11 PUBLIC QT_NO_KEYWORDS)
halvo_warnings(halvo_x11)

file(GLOB HALVO_UI_SOURCES CONFIGURE_DEPENDS src/*/view/*.cpp)
add_library(halvo_ui STATIC ${HALVO_UI_SOURCES} resources/halvo.qrc)
set_target_properties(halvo_ui PROPERTIES AUTORCC ON)
target_link_libraries(halvo_ui PUBLIC halvo_x11 PkgConfig::PIXMAN)
halvo_warnings(halvo_ui)

# The program: main and the composition roots of its sessions (src/app/session).
file(GLOB HALVO_SESSION_SOURCES CONFIGURE_DEPENDS src/app/session/*.cpp)
if(HALVO_SESSION_SOURCES)
    add_executable(halvo ${HALVO_SESSION_SOURCES})
    target_link_libraries(halvo PRIVATE halvo_ui halvo_sway)
    target_compile_definitions(halvo PRIVATE
        HALVO_VERSION="${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}"
        HALVO_BUILD="${HALVO_BUILD_NUMBER}"
        HALVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    halvo_warnings(halvo)
    include(GNUInstallDirs)
    install(TARGETS halvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

    # Translations: lrelease compiles the .ts of the source tree into the build tree; the build
    # never writes the source tree. scripts/extract-localized lists the localized("text",
    # "comment") calls for lupdate; `cmake --build build --target update_translations` merges
    # them into the .ts, and the test translations_up_to_date fails until that is done.
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    file(GLOB_RECURSE HALVO_TEXT_SOURCES CONFIGURE_DEPENDS
        ${CMAKE_SOURCE_DIR}/src/*.cpp ${CMAKE_SOURCE_DIR}/src/*.h)
    list(FILTER HALVO_TEXT_SOURCES EXCLUDE REGEX "/platform/sim/")
    set(HALVO_TS ${CMAKE_SOURCE_DIR}/resources/translations/halvo_de.ts)
    set(HALVO_TEXTS ${CMAKE_BINARY_DIR}/localized_texts.cpp)
    set(HALVO_QM ${CMAKE_BINARY_DIR}/translations/halvo_de.qm)
    add_custom_command(OUTPUT ${HALVO_TEXTS}.stamp
        COMMAND Python3::Interpreter scripts/extract-localized ${HALVO_TEXTS} ${HALVO_TEXT_SOURCES}
        COMMAND ${CMAKE_COMMAND} -E touch ${HALVO_TEXTS}.stamp
        DEPENDS ${HALVO_TEXT_SOURCES} ${CMAKE_SOURCE_DIR}/scripts/extract-localized
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} VERBATIM)
    add_custom_command(OUTPUT ${HALVO_QM}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/translations
        COMMAND Qt6::lrelease -silent ${HALVO_TS} -qm ${HALVO_QM}
        DEPENDS ${HALVO_TS} VERBATIM)
    add_custom_target(halvo_translations ALL DEPENDS ${HALVO_QM} ${HALVO_TEXTS}.stamp)
    set(HALVO_TRANSLATIONS_SCRIPT ${CMAKE_COMMAND} -DLUPDATE=$<TARGET_FILE:Qt6::lupdate>
        -DTEXTS=${HALVO_TEXTS} -DTS=${HALVO_TS})
    add_custom_target(update_translations
        COMMAND ${HALVO_TRANSLATIONS_SCRIPT} -P ${CMAKE_SOURCE_DIR}/cmake/HalvoTranslations.cmake
        DEPENDS ${HALVO_TEXTS}.stamp
        COMMENT "Updating resources/translations/halvo_de.ts" VERBATIM)
    add_test(NAME translations_up_to_date
        COMMAND ${HALVO_TRANSLATIONS_SCRIPT} -DCHECK_COPY=${CMAKE_BINARY_DIR}/halvo_de.check.ts
            -P ${CMAKE_SOURCE_DIR}/cmake/HalvoTranslations.cmake)
    set_tests_properties(translations_up_to_date PROPERTIES LABELS unit)

    install(FILES ${HALVO_QM} DESTINATION ${CMAKE_INSTALL_DATADIR}/halvo/translations)
    install(FILES resources/permissions.html DESTINATION ${CMAKE_INSTALL_DATADIR}/halvo)
    install(FILES resources/halvo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES resources/halvo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# Support for tests and benchmarks that run on a private X server.
file(GLOB HALVO_TEST_SUPPORT CONFIGURE_DEPENDS tests/support/*.cpp)
add_library(halvo_test_support STATIC ${HALVO_TEST_SUPPORT})
target_include_directories(halvo_test_support PUBLIC tests)
target_link_libraries(halvo_test_support PUBLIC halvo_x11)
if(TARGET halvo)
    # Tests that run the program itself (support/HalvoProgram) find it here.
    target_compile_definitions(halvo_test_support PRIVATE HALVO_BINARY="$<TARGET_FILE:halvo>")
endif()
halvo_warnings(halvo_test_support)

file(GLOB HALVO_X11_TESTS CONFIGURE_DEPENDS tests/x11/*.cpp)
if(HALVO_X11_TESTS)
    add_executable(halvo_x11_tests ${HALVO_X11_TESTS})
    target_link_libraries(halvo_x11_tests PRIVATE halvo_test_support halvo_sim
        GTest::gtest GTest::gmock GTest::gtest_main)
    halvo_warnings(halvo_x11_tests)
    if(TARGET halvo)
        # Tests that run the program itself: it is built before them.
        add_dependencies(halvo_x11_tests halvo)
    endif()
    gtest_discover_tests(halvo_x11_tests PROPERTIES LABELS x11 TIMEOUT 120 DISCOVERY_TIMEOUT 30)
endif()

file(GLOB HALVO_UI_TESTS CONFIGURE_DEPENDS tests/ui/*.cpp)
if(HALVO_UI_TESTS)
    add_executable(halvo_ui_tests ${HALVO_UI_TESTS})
    target_link_libraries(halvo_ui_tests PRIVATE halvo_ui halvo_test_support halvo_sim
        Qt6::Test GTest::gtest GTest::gmock)
    halvo_warnings(halvo_ui_tests)
    gtest_discover_tests(halvo_ui_tests PROPERTIES LABELS ui TIMEOUT 120 DISCOVERY_TIMEOUT 30)
endif()

# Benchmarks and probes: built, never run by ctest.
file(GLOB HALVO_BENCHES CONFIGURE_DEPENDS bench/*.cpp)
foreach(source ${HALVO_BENCHES})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE halvo_ui halvo_test_support halvo_sim benchmark::benchmark)
    halvo_warnings(${name})
endforeach()

# End-to-end tests: the halvo program itself on a private desktop; it is built before them.
file(GLOB HALVO_E2E_TESTS CONFIGURE_DEPENDS tests/e2e/*.cpp)
if(HALVO_E2E_TESTS AND TARGET halvo)
    add_executable(halvo_e2e_tests ${HALVO_E2E_TESTS})
    target_link_libraries(halvo_e2e_tests PRIVATE halvo_test_support Qt6::DBus
        GTest::gtest GTest::gmock GTest::gtest_main)
    add_dependencies(halvo_e2e_tests halvo)
    halvo_warnings(halvo_e2e_tests)
    gtest_discover_tests(halvo_e2e_tests PROPERTIES LABELS e2e TIMEOUT 120 DISCOVERY_TIMEOUT 30)
endif()
