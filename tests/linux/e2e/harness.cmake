# The private X session the Linux end-to-end tests run in, its helpers and
# its own self-test. Included from the Linux tests' CMakeLists.txt; gives
#   tarnhold_x11_screen    static library: screen, pointer and keyboard (x11_screen.h)
#   tarnhold_compositor    static library: input and screenshots on GNOME Shell (compositor.h)
#   tray_host, cm_owned    the session's helpers, in TARNHOLD_E2E_BIN
#   TARNHOLD_E2E_SESSION   session.sh
#   tarnhold_e2e_test(NAME name COMMAND program args... [TIMEOUT seconds])
#                          a test run inside a fresh session of its own; with
#                          TARNHOLD_E2E_DESKTOP=gnome in its environment, on GNOME Shell
set(TARNHOLD_E2E_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TARNHOLD_E2E_SESSION ${TARNHOLD_E2E_DIR}/session.sh)
# One folder for the helpers, so that session.sh finds them by one name.
set(TARNHOLD_E2E_BIN ${CMAKE_CURRENT_BINARY_DIR}/e2e-bin)

find_package(PkgConfig REQUIRED)
pkg_check_modules(TARNHOLD_E2E_XLIBS REQUIRED IMPORTED_TARGET x11 xtst zlib)
pkg_check_modules(TARNHOLD_E2E_GIO REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0)
pkg_check_modules(TARNHOLD_E2E_PROBE REQUIRED IMPORTED_TARGET gtk+-3.0 ayatana-appindicator3-0.1)
if(NOT TARGET GTest::gtest_main)
  find_package(GTest REQUIRED)
endif()

add_library(tarnhold_x11_screen STATIC ${TARNHOLD_E2E_DIR}/x11_screen.cpp)
target_include_directories(tarnhold_x11_screen PUBLIC ${TARNHOLD_E2E_DIR})
target_link_libraries(tarnhold_x11_screen PUBLIC PkgConfig::TARNHOLD_E2E_XLIBS)
target_compile_features(tarnhold_x11_screen PUBLIC cxx_std_20)

# The hand of a player on a GNOME Shell session (compositor.h).
add_library(tarnhold_compositor STATIC ${TARNHOLD_E2E_DIR}/compositor.cpp)
target_include_directories(tarnhold_compositor PUBLIC ${TARNHOLD_E2E_DIR})
target_link_libraries(tarnhold_compositor PUBLIC PkgConfig::TARNHOLD_E2E_GIO)
target_compile_features(tarnhold_compositor PUBLIC cxx_std_20)

add_executable(tray_host ${TARNHOLD_E2E_DIR}/tray_host.c)
target_link_libraries(tray_host PRIVATE PkgConfig::TARNHOLD_E2E_GIO)

add_executable(cm_owned ${TARNHOLD_E2E_DIR}/cm_owned.c)
target_link_libraries(cm_owned PRIVATE PkgConfig::TARNHOLD_E2E_XLIBS)

add_executable(probe_window ${TARNHOLD_E2E_DIR}/probe_window.c)
target_link_libraries(probe_window PRIVATE PkgConfig::TARNHOLD_E2E_PROBE)

set_target_properties(tray_host cm_owned probe_window PROPERTIES
  C_STANDARD 11 C_STANDARD_REQUIRED ON RUNTIME_OUTPUT_DIRECTORY ${TARNHOLD_E2E_BIN})

function(tarnhold_e2e_test)
  cmake_parse_arguments(PARSE_ARGV 0 E2E "" "NAME;TIMEOUT" "COMMAND")
  if(NOT E2E_TIMEOUT)
    set(E2E_TIMEOUT 180)
  endif()
  # A state folder per test: tests may run in parallel, each on its own
  # display and bus.
  add_test(NAME ${E2E_NAME}
           COMMAND bash ${TARNHOLD_E2E_SESSION} run ${CMAKE_CURRENT_BINARY_DIR}/e2e-state/${E2E_NAME}
                   --bin ${TARNHOLD_E2E_BIN} -- ${E2E_COMMAND})
  set_tests_properties(${E2E_NAME} PROPERTIES LABELS linux TIMEOUT ${E2E_TIMEOUT})
endfunction()

add_executable(tarnhold_harness_tests ${TARNHOLD_E2E_DIR}/harness_test.cpp)
target_link_libraries(tarnhold_harness_tests PRIVATE tarnhold_x11_screen GTest::gtest_main)
target_compile_definitions(tarnhold_harness_tests PRIVATE
  TARNHOLD_PROBE_WINDOW="$<TARGET_FILE:probe_window>" TARNHOLD_CM_OWNED="$<TARGET_FILE:cm_owned>")
add_dependencies(tarnhold_harness_tests probe_window tray_host cm_owned)
tarnhold_e2e_test(NAME harness.Session COMMAND $<TARGET_FILE:tarnhold_harness_tests> TIMEOUT 120)
