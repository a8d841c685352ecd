# Cross-builds the Windows DLLs and the test programs on Linux with MinGW-w64
# (Debian's g++-mingw-w64-x86-64-posix). Test programs run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

# Headers and libraries come from the MinGW sysroot only, never from the
# Linux system; programs (code generators, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under wine: headless (no display, no debug channels) and
# with a prefix of their own inside the build folder, so no ~/.wine is
# created or touched. Its first start takes about 10 s.
find_program(MATERIAL_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine)
if(MATERIAL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY WINEDEBUG=-all
    WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix ${MATERIAL_WINE})
endif()
