# Halvo's own Wayland client for the sessions whose compositor draws the overlay: the protocol
# bindings, and the connection, layer surfaces, shared-memory buffers and the off-screen view they
# show (src/platform/wayland). scripts/deps installs the Wayland development packages.
pkg_check_modules(HALVO_WAYLAND REQUIRED IMPORTED_TARGET wayland-client xkbcommon)
pkg_get_variable(HALVO_WAYLAND_PROTOCOLS wayland-protocols pkgdatadir)
find_program(HALVO_WAYLAND_SCANNER wayland-scanner REQUIRED)
if(NOT HALVO_WAYLAND_PROTOCOLS)
    message(FATAL_ERROR "wayland-protocols not found: install it (scripts/deps)")
endif()
enable_language(C)

# Client bindings of the Wayland protocols Halvo speaks beyond the core one: its own descriptions
# in protocols/ and those the wayland-protocols package ships (xdg-shell only for the popup type
# the layer shell names).
set(HALVO_PROTOCOL_DIR ${CMAKE_BINARY_DIR}/protocols)
file(MAKE_DIRECTORY ${HALVO_PROTOCOL_DIR})
add_library(halvo_wayland_protocols STATIC)
target_include_directories(halvo_wayland_protocols PUBLIC ${HALVO_PROTOCOL_DIR})
target_link_libraries(halvo_wayland_protocols PUBLIC PkgConfig::HALVO_WAYLAND)
foreach(xml
        ${CMAKE_SOURCE_DIR}/protocols/virtual-keyboard-unstable-v1.xml
        ${CMAKE_SOURCE_DIR}/protocols/wlr-layer-shell-unstable-v1.xml
        ${CMAKE_SOURCE_DIR}/protocols/wlr-virtual-pointer-unstable-v1.xml
        ${HALVO_WAYLAND_PROTOCOLS}/unstable/xdg-output/xdg-output-unstable-v1.xml
        ${HALVO_WAYLAND_PROTOCOLS}/stable/xdg-shell/xdg-shell.xml)
    get_filename_component(name ${xml} NAME_WE)
    set(header ${HALVO_PROTOCOL_DIR}/${name}-client-protocol.h)
    set(code ${HALVO_PROTOCOL_DIR}/${name}-protocol.c)
    add_custom_command(OUTPUT ${header} ${code}
        COMMAND ${HALVO_WAYLAND_SCANNER} client-header ${xml} ${header}
        COMMAND ${HALVO_WAYLAND_SCANNER} private-code ${xml} ${code}
        DEPENDS ${xml}
        COMMENT "Generating the ${name} protocol binding")
    target_sources(halvo_wayland_protocols PRIVATE ${header} ${code})
endforeach()

# What every Wayland session shares (src/platform/wayland).
file(GLOB HALVO_WAYLAND_SOURCES CONFIGURE_DEPENDS src/platform/wayland/*.cpp)
add_library(halvo_wayland STATIC ${HALVO_WAYLAND_SOURCES})
target_link_libraries(halvo_wayland PUBLIC halvo_linux halvo_wayland_protocols)
target_compile_definitions(halvo_wayland PUBLIC QT_NO_KEYWORDS)
halvo_warnings(halvo_wayland)
