# The sway backend and its tests; the program links it. It builds on the Wayland pieces every
# layer-shell session shares (cmake/HalvoWayland.cmake).
file(GLOB HALVO_SWAY_SOURCES CONFIGURE_DEPENDS src/platform/sway/*.cpp)
add_library(halvo_sway STATIC ${HALVO_SWAY_SOURCES})
target_link_libraries(halvo_sway PUBLIC halvo_linux halvo_i3ipc halvo_wayland)
target_compile_definitions(halvo_sway PUBLIC QT_NO_KEYWORDS)
halvo_warnings(halvo_sway)

# Test clients of the Wayland protocols (tests/support/sway).
file(GLOB HALVO_SWAY_TEST_SUPPORT CONFIGURE_DEPENDS tests/support/sway/*.cpp)
add_library(halvo_sway_test_support STATIC ${HALVO_SWAY_TEST_SUPPORT})
target_link_libraries(halvo_sway_test_support PUBLIC halvo_test_support halvo_wayland_protocols)
halvo_warnings(halvo_sway_test_support)

# Tests on a private headless sway (tests/support/SwaySession).
file(GLOB HALVO_SWAY_TESTS CONFIGURE_DEPENDS tests/sway/*.cpp)
add_executable(halvo_sway_tests ${HALVO_SWAY_TESTS})
target_link_libraries(halvo_sway_tests PRIVATE halvo_sway halvo_sway_test_support halvo_ui
    halvo_sim GTest::gtest GTest::gmock)
halvo_warnings(halvo_sway_tests)
gtest_discover_tests(halvo_sway_tests PROPERTIES LABELS sway TIMEOUT 60 DISCOVERY_TIMEOUT 30)

# Exact key and pointer sequences for scripts (scripts/demo-sway).
add_executable(halvo_sway_input tests/tools/sway-input.cpp)
target_link_libraries(halvo_sway_input PRIVATE halvo_sway_test_support)
halvo_warnings(halvo_sway_input)

# End-to-end tests: the halvo program itself in a private headless sway; it is built before them.
file(GLOB HALVO_SWAY_E2E_TESTS CONFIGURE_DEPENDS tests/e2e-sway/*.cpp)
if(TARGET halvo)
    add_executable(halvo_sway_e2e_tests ${HALVO_SWAY_E2E_TESTS})
    target_link_libraries(halvo_sway_e2e_tests PRIVATE halvo_sway_test_support Qt6::Gui
        GTest::gtest GTest::gmock GTest::gtest_main)
    # The window crowd floods sway's window events in the fault tests.
    target_compile_definitions(halvo_sway_e2e_tests PRIVATE
        SWAY_WINDOW_CROWD="$<TARGET_FILE:sway_window_crowd>")
    add_dependencies(halvo_sway_e2e_tests halvo sway_window_crowd)
    halvo_warnings(halvo_sway_e2e_tests)
    gtest_discover_tests(halvo_sway_e2e_tests PROPERTIES LABELS sway TIMEOUT 120
        DISCOVERY_TIMEOUT 30)
endif()

# The sway probes and their window crowd (bench/sway): built, never run by ctest.
add_executable(sway_window_crowd bench/sway/sway_window_crowd.cpp)
target_link_libraries(sway_window_crowd PRIVATE halvo_wayland_protocols)
halvo_warnings(sway_window_crowd)
if(TARGET halvo)
    add_executable(sway_performance_probe bench/sway/sway_performance_probe.cpp)
    target_link_libraries(sway_performance_probe PRIVATE halvo_sway_test_support halvo_i3ipc)
    add_dependencies(sway_performance_probe halvo sway_window_crowd)
    halvo_warnings(sway_performance_probe)
    add_executable(sway_soak_probe bench/sway/sway_soak_probe.cpp)
    target_link_libraries(sway_soak_probe PRIVATE halvo_sway_test_support halvo_i3ipc)
    add_dependencies(sway_soak_probe halvo sway_window_crowd)
    halvo_warnings(sway_soak_probe)
endif()
