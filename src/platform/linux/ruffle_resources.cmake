# The Flash Player emulator's files as a GResource bundle compiled into the
# program, each file compressed.
#
#   tarnhold_ruffle_resources(TARGET <library> FROM <dir> [FILES <file>...])
#
# Makes the static <library> of one bundle of the given files from <dir> (by
# default ruffle.js, its chunks and every WebAssembly build it may choose
# between: which one it loads depends on the features of the engine on the
# player's machine) under the resource path /tarnhold/ruffle/. It defines
#   GResource* ruffle_resources_get_resource(void);
# which the player serves from; a program links exactly one such library.
find_package(PkgConfig REQUIRED)
# Global: the test folder bundles an emulator of its own.
pkg_check_modules(TARNHOLD_RESOURCE_GIO REQUIRED IMPORTED_TARGET GLOBAL gio-2.0)
pkg_get_variable(TARNHOLD_GLIB_COMPILE_RESOURCES gio-2.0 glib_compile_resources)
find_program(TARNHOLD_GLIB_COMPILE_RESOURCES_EXE NAMES ${TARNHOLD_GLIB_COMPILE_RESOURCES}
             glib-compile-resources REQUIRED)

function(tarnhold_ruffle_resources)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGET;FROM" "FILES")
  if(NOT arg_FILES)
    file(GLOB arg_FILES RELATIVE ${arg_FROM} ${arg_FROM}/ruffle.js ${arg_FROM}/core.ruffle.*.js
         ${arg_FROM}/*.wasm)
    list(SORT arg_FILES)
    if(NOT arg_FILES MATCHES "\\.wasm")
      set(arg_FILES "")
    endif()
  endif()
  if(NOT EXISTS ${arg_FROM}/ruffle.js OR NOT arg_FILES)
    message(FATAL_ERROR "The Flash Player emulator is not in ${arg_FROM}: run scripts/setup.sh first")
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${arg_TARGET})
  set(entries "")
  set(inputs "")
  foreach(file IN LISTS arg_FILES)
    string(APPEND entries "    <file compressed=\"true\">${file}</file>\n")
    list(APPEND inputs ${arg_FROM}/${file})
  endforeach()
  file(CONFIGURE OUTPUT ${out}/ruffle_resources.gresource.xml CONTENT
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gresources>\n  <gresource prefix=\"/tarnhold/ruffle\">\n${entries}  </gresource>\n</gresources>\n")
  add_custom_command(OUTPUT ${out}/ruffle_resources.c
                     COMMAND ${TARNHOLD_GLIB_COMPILE_RESOURCES_EXE} --generate-source --target=${out}/ruffle_resources.c
                             --sourcedir=${arg_FROM} --c-name ruffle_resources --internal
                             ${out}/ruffle_resources.gresource.xml
                     DEPENDS ${inputs} ${out}/ruffle_resources.gresource.xml
                     COMMENT "Bundling the Flash Player emulator for ${arg_TARGET}" VERBATIM)
  add_library(${arg_TARGET} STATIC ${out}/ruffle_resources.c)
  target_link_libraries(${arg_TARGET} PRIVATE PkgConfig::TARNHOLD_RESOURCE_GIO)
  # Generated data: one string literal of megabytes, beyond what pedantic C
  # allows, and nothing of ours to warn about.
  set_source_files_properties(${out}/ruffle_resources.c PROPERTIES COMPILE_OPTIONS "-w")
endfunction()
