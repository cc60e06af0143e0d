# What both MinGW-w64 toolchains share; the including file sets KORVEX_TRIPLE.
# The win32 thread model: the posix one links a threads runtime statically
# into every binary, and that runtime imports functions Windows 2000 and XP
# lack (GetTickCount64, the vectored exception handlers). Nothing here needs
# std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${KORVEX_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KORVEX_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER  ${KORVEX_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KORVEX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
