# CLI11 for a cross build: a copy of the build machine's CLI11 headers (they
# are header-only and the same for every target) in a folder of their own,
# and a CLI11::CLI11 target naming that folder alone, for find_package(CLI11).
find_path(ONDAVO_CLI11_HEADERS CLI/CLI.hpp PATHS /usr/include /usr/local/include
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT ONDAVO_CLI11_HEADERS)
  message(FATAL_ERROR "CLI11's headers (CLI/CLI.hpp) not found; install libcli11-dev")
endif()
set(ondavo_cli11_dir ${PROJECT_BINARY_DIR}/cli11)
file(COPY ${ONDAVO_CLI11_HEADERS}/CLI DESTINATION ${ondavo_cli11_dir}/include)
file(WRITE ${ondavo_cli11_dir}/CLI11Config.cmake [=[
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${CMAKE_CURRENT_LIST_DIR}/include")
endif()
]=])
set(CLI11_DIR ${ondavo_cli11_dir} CACHE PATH "CLI11's headers alone, for the cross build" FORCE)
