# The libraries a Windows cross build takes from Debian's packages: the
# header-only CLI11, nlohmann/json and toml++ (their headers alone, never the host's
# whole include folder, whose C library headers would shadow mingw's), and
# GoogleTest built from Debian's sources.
set(tessil_host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${tessil_host_headers})
foreach(folder CLI nlohmann toml++)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/install-deps.sh")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${tessil_host_headers}/${folder} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${tessil_host_headers})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${tessil_host_headers})
# toml++ in its header-only form: Debian's own target links the host's
# shared library, which a Windows program cannot use.
add_library(tomlplusplus::tomlplusplus INTERFACE IMPORTED)
target_include_directories(tomlplusplus::tomlplusplus SYSTEM INTERFACE ${tessil_host_headers})
target_compile_definitions(tomlplusplus::tomlplusplus INTERFACE TOML_HEADER_ONLY=1)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# Its build file names its targets GTest::gtest, GTest::gtest_main, ... itself.
