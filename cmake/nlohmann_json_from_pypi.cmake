# nlohmann/json comes from the PyPI package `nlohmann-json`, which ships the
# headers but no CMake package. Locate its include folder without importing
# the package (its __init__ needs a third-party module we do not install).
set(ORV_NLOHMANN_INCLUDE_DIR "" CACHE PATH "Folder holding nlohmann/json.hpp (found in the nlohmann-json Python package when empty)")

if(NOT ORV_NLOHMANN_INCLUDE_DIR)
    execute_process(
        COMMAND "${Python_EXECUTABLE}" -c
                "import importlib.util, pathlib; package = importlib.util.find_spec('nlohmann_json'); print(pathlib.Path(package.submodule_search_locations[0]) / 'include')"
        OUTPUT_VARIABLE _orv_nlohmann_dir
        OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE _orv_nlohmann_result)
    if(NOT _orv_nlohmann_result EQUAL 0)
        message(FATAL_ERROR "The Python package nlohmann-json==3.12.0 is not installed for ${Python_EXECUTABLE}")
    endif()
    set(ORV_NLOHMANN_INCLUDE_DIR "${_orv_nlohmann_dir}")
endif()

if(NOT EXISTS "${ORV_NLOHMANN_INCLUDE_DIR}/nlohmann/json.hpp")
    message(FATAL_ERROR "nlohmann/json.hpp not found under ${ORV_NLOHMANN_INCLUDE_DIR}")
endif()

file(STRINGS "${ORV_NLOHMANN_INCLUDE_DIR}/nlohmann/detail/abi_macros.hpp" _orv_nlohmann_version
     REGEX "#define NLOHMANN_JSON_VERSION_(MAJOR|MINOR|PATCH) [0-9]+")
string(REGEX REPLACE ".*MAJOR ([0-9]+).*MINOR ([0-9]+).*PATCH ([0-9]+).*" "\\1.\\2.\\3"
       _orv_nlohmann_version "${_orv_nlohmann_version}")
if(NOT _orv_nlohmann_version STREQUAL "3.12.0")
    message(FATAL_ERROR "nlohmann/json 3.12.0 is required, found ${_orv_nlohmann_version}")
endif()
message(STATUS "nlohmann/json ${_orv_nlohmann_version}: ${ORV_NLOHMANN_INCLUDE_DIR}")

add_library(orv_nlohmann_json INTERFACE)
target_include_directories(orv_nlohmann_json SYSTEM INTERFACE "${ORV_NLOHMANN_INCLUDE_DIR}")
