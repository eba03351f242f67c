# Shared part of the two MinGW-w64 toolchains; MOSSGATE_MINGW_TRIPLE is set by the caller.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MOSSGATE_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MOSSGATE_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${MOSSGATE_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MOSSGATE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Wine runs the Windows-side test programs; CTest goes through it: the i686 builds
# under the WoW64 runtime (Wine 10 in a sid chroot, tools/wow64), the x86_64 builds
# under the host's Wine 8. Each test carries its runtime's name as a label.
if(MOSSGATE_MINGW_TRIPLE MATCHES "^i686")
    set(MOSSGATE_WINE_RUNTIME wow64)
else()
    set(MOSSGATE_WINE_RUNTIME wine8)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR env MOSSGATE_RUNTIME=${MOSSGATE_WINE_RUNTIME}
    ${CMAKE_CURRENT_LIST_DIR}/../tools/wine/run-in-prefix.sh)
