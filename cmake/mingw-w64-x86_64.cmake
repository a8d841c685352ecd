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
#
# And without address-space randomisation (setarch -R). Wine maps Windows'
# shared user data at the fixed address 0x7ffe0000, but the kernel starts
# the loader's heap anywhere in the gigabyte above the loader (0x7d000000);
# about once in 10^4 starts it lands there, and the program never runs:
# wine exits with status 1, saying why ("failed to map the shared user
# data") only on its err channel, which WINEDEBUG=-all silences. Without
# randomisation the heap always starts right after the loader.
find_program(MATERIAL_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine)
find_program(MATERIAL_SETARCH setarch)
if(MATERIAL_WINE AND MATERIAL_SETARCH)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY WINEDEBUG=-all
    WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix ${MATERIAL_SETARCH} -R ${MATERIAL_WINE})
endif()
