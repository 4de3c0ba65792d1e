# Cross build for 64-bit Windows with MinGW-w64 (GCC, posix thread model),
# as Debian packages it. Used by scripts/build-windows and
# scripts/windows-libs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARVEX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVEX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVEX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVEX_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${TARVEX_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TARVEX_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

# Headers and libraries come from the MinGW sysroot and the cross-built
# libraries' prefix (TARVEX_WINDOWS_LIBS, when given); programs (code
# generators, test tools) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TARVEX_MINGW_TRIPLE})
if(DEFINED ENV{TARVEX_WINDOWS_LIBS})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{TARVEX_WINDOWS_LIBS})
endif()
if(TARVEX_WINDOWS_LIBS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TARVEX_WINDOWS_LIBS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs run here through Wine (tests, code generators).
find_program(TARVEX_WINE wine)
if(TARVEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVEX_WINE})
endif()
