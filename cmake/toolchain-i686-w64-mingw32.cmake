# Cross-build for 32-bit Windows: the provisioned Flash library is a 32-bit
# in-process server, so the client that loads it must be 32-bit too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TARNHOLD_MINGW_PREFIX i686-w64-mingw32)
# The product uses the win32 thread model: nothing of it needs C++ threads,
# and it carries no pthread emulation. GoogleTest needs std::mutex, which
# GCC 12 offers only with the posix model, so the Wine test build picks that.
set(TARNHOLD_MINGW_THREADS win32 CACHE STRING "mingw-w64 thread model: win32 or posix")
find_program(TARNHOLD_MINGW_CC NAMES ${TARNHOLD_MINGW_PREFIX}-gcc-${TARNHOLD_MINGW_THREADS} ${TARNHOLD_MINGW_PREFIX}-gcc)
find_program(TARNHOLD_MINGW_CXX NAMES ${TARNHOLD_MINGW_PREFIX}-g++-${TARNHOLD_MINGW_THREADS} ${TARNHOLD_MINGW_PREFIX}-g++)
find_program(TARNHOLD_MINGW_RC ${TARNHOLD_MINGW_PREFIX}-windres)
if(NOT TARNHOLD_MINGW_CC OR NOT TARNHOLD_MINGW_CXX OR NOT TARNHOLD_MINGW_RC)
  message(FATAL_ERROR
    "The ${TARNHOLD_MINGW_PREFIX} cross compilers and windres are required "
    "(Debian: apt-get install g++-mingw-w64-i686).")
endif()
set(CMAKE_C_COMPILER ${TARNHOLD_MINGW_CC})
set(CMAKE_CXX_COMPILER ${TARNHOLD_MINGW_CXX})
set(CMAKE_RC_COMPILER ${TARNHOLD_MINGW_RC})

set(CMAKE_FIND_ROOT_PATH /usr/${TARNHOLD_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
