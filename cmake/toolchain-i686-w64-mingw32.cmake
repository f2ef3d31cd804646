# Cross-build for 32-bit Windows: the provisioned Flash library is a 32-bit
# in-process server, so the client that loads it must be 32-bit too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TARNHOLD_MINGW_PREFIX i686-w64-mingw32)
find_program(TARNHOLD_MINGW_CC ${TARNHOLD_MINGW_PREFIX}-gcc)
find_program(TARNHOLD_MINGW_CXX ${TARNHOLD_MINGW_PREFIX}-g++)
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
