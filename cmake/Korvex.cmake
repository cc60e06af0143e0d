# Build settings shared by every target of the project.

set(KORVEX_WARNINGS -Wall -Wextra -Werror)

# Sources are UTF-8; the programs hold their texts as Shift-JIS. clang knows
# no Shift-JIS execution character set, and the fuzz build needs none.
if(KORVEX_FUZZ)
  set(KORVEX_CHARSET "")
else()
  set(KORVEX_CHARSET -finput-charset=UTF-8 -fexec-charset=CP932)
endif()

if(WIN32)
  # Static runtime: the programs need no MinGW DLLs on a clean Windows.
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -static")
  string(APPEND CMAKE_SHARED_LINKER_FLAGS " -static")
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # Built for size: a tray program should stay small. The code throws
  # nothing and asks no type at run time; the linker drops unused functions.
  # No -fdata-sections: with it MinGW's GCC gives every zero-initialised
  # variable a section among the initialised data, and the file carries
  # its zeros (13 KB of them in korvex.exe); without it they stay in .bss.
  set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
  set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")
  add_compile_options(-ffunction-sections
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions> $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>)
  # The 32-bit unwind tables (.eh_frame) serve only the exception unwinder,
  # which nothing here links; 64-bit Windows walks stacks with its own tables.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    add_compile_options(-fno-asynchronous-unwind-tables -fno-unwind-tables)
  endif()
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -Wl,--gc-sections")
  string(APPEND CMAKE_SHARED_LINKER_FLAGS " -Wl,--gc-sections")
  # The oldest Windows each build runs on, in the PE header: a loader refuses
  # a subsystem version above its own. 32-bit: Windows 2000 (5.0); 64-bit:
  # XP x64 and Server 2003 SP1 (5.2).
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(KORVEX_PE_VERSION 5 0)
  else()
    set(KORVEX_PE_VERSION 5 2)
  endif()
  list(GET KORVEX_PE_VERSION 0 major)
  list(GET KORVEX_PE_VERSION 1 minor)
  foreach(kind EXE SHARED)
    string(APPEND CMAKE_${kind}_LINKER_FLAGS
      " -Wl,--major-os-version,${major},--minor-os-version,${minor}"
      " -Wl,--major-subsystem-version,${major},--minor-subsystem-version,${minor}")
  endforeach()
  # One version number, the project's, in the version resource of every
  # binary: as text from a generated header, as the four numbers of the fixed
  # part on the resource compiler's command line (a changed line rebuilds).
  configure_file(${CMAKE_SOURCE_DIR}/cmake/korvex_version.h.in
    ${CMAKE_BINARY_DIR}/generated/korvex_version.h @ONLY)
  include_directories(${CMAKE_BINARY_DIR}/generated)
  add_compile_definitions($<$<COMPILE_LANGUAGE:RC>:KORVEX_VERSION_NUMBERS=${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0>)
elseif(KORVEX_FUZZ)
  # Everything is instrumented for libFuzzer; the targets add the fuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
else()
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# korvex_settings(target): warnings and character set for the project's own code.
function(korvex_settings target)
  target_compile_options(${target} PRIVATE ${KORVEX_WARNINGS}
    $<$<COMPILE_LANGUAGE:CXX>:${KORVEX_CHARSET}>)
endfunction()

# GoogleTest from Debian's source package, built with the project's compiler.
macro(korvex_add_googletest)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(WIN32)
    # The win32 thread model has no std::mutex: GoogleTest gets the one class
    # that needs it from cmake/gtest_notification.h, and so does every test.
    target_compile_options(gtest PUBLIC -include ${CMAKE_SOURCE_DIR}/cmake/gtest_notification.h)
  endif()
endmacro()

# korvex_test(NAME SOURCES... LIBS... [ENVIRONMENT VAR=value...] [TIMEOUT s]): one GoogleTest executable, one ctest
# test. Under cross-compilation ctest runs it through the Wine runner.
function(korvex_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  if(WIN32)
    # The texts of the user interface live in the program's string tables:
    # every test program has them, as the tray program does.
    list(APPEND T_SOURCES ${CMAKE_SOURCE_DIR}/resources/strings.rc)
  endif()
  add_executable(${name} ${T_SOURCES})
  korvex_settings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 32-bit programs run in the emulated 32-bit machine of scripts/run32,
    # which passes on only the variables it is told of: one boot each, for
    # runs by hand (make test runs them in one boot, tests/run32).
    set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/run32-test)
    set(names "")
    foreach(pair IN LISTS T_ENVIRONMENT)
      string(REGEX REPLACE "=.*" "" var "${pair}")
      string(APPEND names " ${var}")
    endforeach()
    string(STRIP "${names}" names)
    if(names)
      list(APPEND T_ENVIRONMENT "RUN32_ENV=${names}")
    endif()
  endif()
  if(T_ENVIRONMENT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
endfunction()
