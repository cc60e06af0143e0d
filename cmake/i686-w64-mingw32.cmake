# 32-bit Windows (the release build), MinGW-w64 with the win32 thread model.
# This kernel runs no 32-bit code: the programs run under 32-bit Wine in the
# emulated machine of scripts/run32.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORVEX_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
