# The sway (Wayland) backend and its tests. Built only where the Wayland development packages are
# installed; nothing here is linked into the X11 program.
pkg_check_modules(HALVO_WAYLAND IMPORTED_TARGET wayland-client xkbcommon)
find_program(HALVO_WAYLAND_SCANNER wayland-scanner)
if(NOT HALVO_WAYLAND_FOUND OR NOT HALVO_WAYLAND_SCANNER)
    message(STATUS "Wayland development packages not found: the sway backend is not built")
    return()
endif()

# Tests on a private headless sway (tests/support/SwaySession).
file(GLOB HALVO_SWAY_TESTS CONFIGURE_DEPENDS tests/sway/*.cpp)
add_executable(halvo_sway_tests ${HALVO_SWAY_TESTS})
target_link_libraries(halvo_sway_tests PRIVATE halvo_test_support Qt6::Widgets GTest::gtest GTest::gmock)
halvo_warnings(halvo_sway_tests)
gtest_discover_tests(halvo_sway_tests PROPERTIES LABELS sway TIMEOUT 60 DISCOVERY_TIMEOUT 30)
