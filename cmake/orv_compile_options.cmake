# Compile options shared by the engine library, the module and the C++ tests.
add_library(orv_compile_options INTERFACE)
target_compile_options(orv_compile_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
    # Every a * b + c rounded twice, as written: a compiler that fused it into one
    # multiply-add (gcc does by default where the target has one) would change the last
    # digit of results from one platform to the next, and the error bounds of src/math.
    -ffp-contract=off)
if(ORV_WARNINGS_AS_ERRORS)
    target_compile_options(orv_compile_options INTERFACE -Werror)
endif()

if(ORV_SANITIZE)
    set(_orv_sanitize_flags -fsanitize=address,undefined -fno-omit-frame-pointer
                            -fno-sanitize-recover=all)
    target_compile_options(orv_compile_options INTERFACE ${_orv_sanitize_flags} -g)
    target_link_options(orv_compile_options INTERFACE ${_orv_sanitize_flags})
endif()
