# The project's warnings. HALVO_WERROR makes them errors: the project's own checks (scripts/test)
# turn it on; users' and distributions' builds, with compilers the project has not met, do not
# fail on a new warning. STRICT adds -Wold-style-cast, which C headers (xcb, glib) cannot meet.
option(HALVO_WERROR "Treat warnings as errors (the project's own checks)" OFF)

function(halvo_warnings target)
    set(flags -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wpedantic)
    if(HALVO_WERROR)
        list(APPEND flags -Werror)
    endif()
    if(ARGN STREQUAL "STRICT")
        list(APPEND flags -Wold-style-cast)
    endif()
    target_compile_options(${target} PRIVATE ${flags})
endfunction()
