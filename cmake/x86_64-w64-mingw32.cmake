# 64-bit Windows, MinGW-w64 with the win32 thread model.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVEX_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Tests run under Wine through the project's runner.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
