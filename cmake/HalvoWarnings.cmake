# Warnings are errors. STRICT adds -Wold-style-cast, which C headers (xcb, glib) cannot meet.
function(halvo_warnings target)
    set(flags -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wpedantic)
    if(ARGN STREQUAL "STRICT")
        list(APPEND flags -Wold-style-cast)
    endif()
    target_compile_options(${target} PRIVATE ${flags})
endfunction()
