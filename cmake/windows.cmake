# What the Windows cross-build needs that Debian packages only for the host: GoogleTest built
# from its sources, nlohmann_json's headers, and Wine to run the tests.

# Debian ships GoogleTest's sources (googletest, with libgtest-dev) but no MinGW build of it.
set(KORVANE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KORVANE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
                 SYSTEM)

# nlohmann_json is headers only, and the same on every platform; its folder is linked into the
# build tree so that MinGW never sees the rest of the host's /usr/include.
set(KORVANE_NLOHMANN_HEADERS /usr/include/nlohmann CACHE PATH "nlohmann_json's header folder")
if(NOT EXISTS ${KORVANE_NLOHMANN_HEADERS}/json.hpp)
  message(FATAL_ERROR "no nlohmann/json.hpp in ${KORVANE_NLOHMANN_HEADERS} (nlohmann-json3-dev)")
endif()
set(korvane_host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${korvane_host_headers})
file(CREATE_LINK ${KORVANE_NLOHMANN_HEADERS} ${korvane_host_headers}/nlohmann SYMBOLIC)
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${korvane_host_headers})
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)

# The tests run under Wine, in a prefix of the build's own so that they neither need nor touch
# the user's ~/.wine; gtest_discover_tests lists them through it too.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(KORVANE_WINE NAMES wine64 wine REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all
                                    ${KORVANE_WINE})
endif()
