# The Linux client's system services: paths, files, the program, the shell,
# downloads and the code page. Included from this folder's CMakeLists.txt.
find_package(PkgConfig REQUIRED)
find_package(CURL REQUIRED)
pkg_check_modules(TARNHOLD_GIO REQUIRED IMPORTED_TARGET gio-2.0 glib-2.0)

if(NOT DEFINED Tarnhold_VERSION_MAJOR)
  message(FATAL_ERROR "system.cmake needs the Tarnhold project's version")
endif()

add_library(tarnhold_linux_system STATIC
  ${CMAKE_CURRENT_LIST_DIR}/linux_paths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux_system.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux_shell.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux_special_folders.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux_desktop_entry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux_registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux_command_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux_runner.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux_download.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux_log.cpp
  ${PROJECT_SOURCE_DIR}/src/platform/ansi_iconv.cpp
)
target_link_libraries(tarnhold_linux_system
  PUBLIC tarnhold_core
  PRIVATE CURL::libcurl PkgConfig::TARNHOLD_GIO)
# The file version is the project's own.
target_compile_definitions(tarnhold_linux_system PRIVATE
  TARNHOLD_VERSION_MAJOR=${Tarnhold_VERSION_MAJOR}
  TARNHOLD_VERSION_MINOR=${Tarnhold_VERSION_MINOR}
  TARNHOLD_VERSION_PATCH=${Tarnhold_VERSION_PATCH})
