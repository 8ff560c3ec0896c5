# The browser engine: the engine library compiled to WebAssembly by Emscripten, one JavaScript
# file (src/bindings/wasm), built beside the Python module whenever em++ is found and installed
# into the package as orv/web/orv_engine.js. Emscripten needs its own toolchain, so this same
# tree is configured again with it, as one step of this build. No network is used: the
# system libraries come with Emscripten.
option(ORV_BROWSER_ENGINE "Build the browser engine with Emscripten when em++ is found" ON)
find_program(ORV_EMXX em++)

set(_orv_web_dir orv/web)
if(NOT ORV_BROWSER_ENGINE OR ORV_SANITIZE)
    # The sanitizers check the native code; the browser engine is built from the same sources
    # by the release build.
    return()
endif()
if(NOT ORV_EMXX)
    message(NOTICE "orv: Emscripten (em++) was not found, so the browser engine "
                   "(orv/web/orv_engine.js) is not built; install it (Debian: apt-get install "
                   "emscripten) and build again to have it")
    return()
endif()

# em++ is a link to the Emscripten folder's wrapper; the toolchain file lies in that folder.
get_filename_component(_orv_emscripten_dir "${ORV_EMXX}" REALPATH)
get_filename_component(_orv_emscripten_dir "${_orv_emscripten_dir}" DIRECTORY)
set(_orv_toolchain "${_orv_emscripten_dir}/cmake/Modules/Platform/Emscripten.cmake")
if(NOT EXISTS "${_orv_toolchain}")
    message(FATAL_ERROR "orv: em++ found at ${ORV_EMXX}, but not its CMake toolchain file "
                        "${_orv_toolchain}; set ORV_BROWSER_ENGINE=OFF to build without the "
                        "browser engine")
endif()
message(STATUS "orv: building the browser engine with ${ORV_EMXX}")

include(ExternalProject)
# One folder for every build of this tree (release, wheel, scripts/build_browser_engine.sh):
# the browser engine does not depend on how the Python module is built, and its first build
# takes minutes.
set(_orv_browser_dir "${PROJECT_SOURCE_DIR}/build/browser")
set(_orv_browser_file "${_orv_browser_dir}/src/bindings/wasm/orv_engine.js")
ExternalProject_Add(orv_browser_engine
    SOURCE_DIR "${PROJECT_SOURCE_DIR}"
    BINARY_DIR "${_orv_browser_dir}"
    CMAKE_ARGS
        "-DCMAKE_TOOLCHAIN_FILE=${_orv_toolchain}"
        "-DCMAKE_BUILD_TYPE=Release"
        "-DCMAKE_MAKE_PROGRAM=${CMAKE_MAKE_PROGRAM}"
        "-DORV_NLOHMANN_INCLUDE_DIR=${ORV_NLOHMANN_INCLUDE_DIR}"
        "-DORV_WARNINGS_AS_ERRORS=${ORV_WARNINGS_AS_ERRORS}"
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS "${_orv_browser_file}")
install(FILES "${_orv_browser_file}" DESTINATION "${_orv_web_dir}")
