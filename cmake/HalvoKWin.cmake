# The KWin (KDE Plasma on Wayland) backend and its tests; the program links it. It builds on the
# Wayland pieces every layer-shell session shares (cmake/HalvoWayland.cmake).
file(GLOB HALVO_KWIN_SOURCES CONFIGURE_DEPENDS src/platform/kwin/*.cpp)
add_library(halvo_kwin STATIC ${HALVO_KWIN_SOURCES})
target_link_libraries(halvo_kwin PUBLIC halvo_linux halvo_wayland Qt6::DBus)
target_compile_definitions(halvo_kwin PUBLIC QT_NO_KEYWORDS)
halvo_warnings(halvo_kwin)
if(TARGET halvo)
    target_link_libraries(halvo PRIVATE halvo_kwin)
endif()

# Keys and pointer for tests through KWin's fake input (plasma-wayland-protocols), and the
# private headless KWin (tests/support/KWinSession, in halvo_test_support with the other sessions).
find_file(HALVO_FAKE_INPUT_XML fake-input.xml PATHS /usr/share/plasma-wayland-protocols NO_DEFAULT_PATH)
if(NOT HALVO_FAKE_INPUT_XML)
    message(FATAL_ERROR "fake-input.xml not found: install plasma-wayland-protocols (scripts/deps)")
endif()
add_custom_command(OUTPUT ${HALVO_PROTOCOL_DIR}/fake-input-client-protocol.h
                          ${HALVO_PROTOCOL_DIR}/fake-input-protocol.c
    COMMAND ${HALVO_WAYLAND_SCANNER} client-header ${HALVO_FAKE_INPUT_XML}
            ${HALVO_PROTOCOL_DIR}/fake-input-client-protocol.h
    COMMAND ${HALVO_WAYLAND_SCANNER} private-code ${HALVO_FAKE_INPUT_XML}
            ${HALVO_PROTOCOL_DIR}/fake-input-protocol.c
    DEPENDS ${HALVO_FAKE_INPUT_XML}
    COMMENT "Generating the fake-input protocol binding")
add_library(halvo_kwin_test_support STATIC tests/support/kwin/KWinFakeInput.cpp ${HALVO_PROTOCOL_DIR}/fake-input-client-protocol.h
    ${HALVO_PROTOCOL_DIR}/fake-input-protocol.c)
target_link_libraries(halvo_kwin_test_support PUBLIC halvo_test_support halvo_wayland_protocols
    nlohmann_json::nlohmann_json)
halvo_warnings(halvo_kwin_test_support)

# Backend tests against Halvo's script in a private headless KWin.
file(GLOB HALVO_KWIN_TESTS CONFIGURE_DEPENDS tests/kwin/*.cpp)
add_executable(halvo_kwin_tests ${HALVO_KWIN_TESTS})
target_link_libraries(halvo_kwin_tests PRIVATE halvo_kwin halvo_kwin_test_support halvo_sim GTest::gtest
    GTest::gmock)
halvo_warnings(halvo_kwin_tests)
gtest_discover_tests(halvo_kwin_tests PROPERTIES LABELS kwin TIMEOUT 90 DISCOVERY_TIMEOUT 30)

# End-to-end tests: the halvo program itself in a private headless KWin.
file(GLOB HALVO_KWIN_E2E_TESTS CONFIGURE_DEPENDS tests/e2e-kwin/*.cpp)
if(TARGET halvo)
    # The tray's watcher stub is the X11 end-to-end tests' own.
    add_executable(halvo_kwin_e2e_tests ${HALVO_KWIN_E2E_TESTS}
        tests/e2e/StatusNotifierWatcherStub.h tests/e2e/StatusNotifierWatcherStub.cpp)
    target_link_libraries(halvo_kwin_e2e_tests PRIVATE halvo_kwin_test_support Qt6::DBus
        GTest::gtest
        GTest::gtest_main)
    add_dependencies(halvo_kwin_e2e_tests halvo)
    halvo_warnings(halvo_kwin_e2e_tests)
    gtest_discover_tests(halvo_kwin_e2e_tests PROPERTIES LABELS kwin TIMEOUT 120
        DISCOVERY_TIMEOUT 30)
endif()
