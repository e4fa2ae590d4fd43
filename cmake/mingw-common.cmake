# The compilers' thread model. The tests use std::thread, which needs the -posix compilers;
# their thread runtime (winpthreads) imports GetTickCount64, which Windows has only from
# Vista on, so the shipped programs are built by the -win32 compilers, which add no thread
# runtime (see the mingw-*-win32threads.cmake files). Everything links statically, so the
# programs need no runtime DLL next to them.
if(NOT KIVRUN_MINGW_THREADS)
  set(KIVRUN_MINGW_THREADS posix)
endif()
set(CMAKE_C_COMPILER   ${KIVRUN_MINGW_TRIPLE}-gcc-${KIVRUN_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${KIVRUN_MINGW_TRIPLE}-g++-${KIVRUN_MINGW_THREADS})
set(CMAKE_RC_COMPILER  ${KIVRUN_MINGW_TRIPLE}-windres)
set(KIVRUN_WIDL        ${KIVRUN_MINGW_TRIPLE}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${KIVRUN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run the Windows programs under Wine. The 64-bit ones go straight to the 64-bit loader:
# once the 32-bit Wine is installed (scripts/test-i686.sh), plain `wine` starts every program
# through the 32-bit loader, which these machines only emulate.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  find_program(KIVRUN_WINE64 wine64 PATHS /usr/lib/wine)
  set(kivrun_wine ${KIVRUN_WINE64})
else()
  find_program(KIVRUN_WINE wine)
  set(kivrun_wine ${KIVRUN_WINE})
endif()
if(kivrun_wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${kivrun_wine})
endif()
