# 32-bit Windows (the release build), MinGW-w64 with the posix thread model.
# Nothing built here runs on this machine: its kernel cannot execute 32-bit code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORVEX_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${KORVEX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVEX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${KORVEX_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KORVEX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
