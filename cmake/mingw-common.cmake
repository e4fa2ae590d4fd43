# The -posix compilers: GoogleTest needs the posix thread model. Everything links statically,
# so the programs need no runtime DLL next to them.
set(CMAKE_C_COMPILER   ${KIVRUN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KIVRUN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${KIVRUN_MINGW_TRIPLE}-windres)
set(KIVRUN_WIDL        ${KIVRUN_MINGW_TRIPLE}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${KIVRUN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run the Windows programs under Wine.
find_program(KIVRUN_WINE wine)
if(KIVRUN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KIVRUN_WINE})
endif()
