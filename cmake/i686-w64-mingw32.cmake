# 32-bit Windows (the release build), MinGW-w64 with the win32 thread model.
# Nothing built here runs on this machine: its kernel cannot execute 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORVEX_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
