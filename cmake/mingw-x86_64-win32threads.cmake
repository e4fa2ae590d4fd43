# Cross toolchain for the shipped 64-bit Windows program: the -win32 compilers, which link no
# thread runtime, so the program imports nothing newer than the oldest Windows it runs on.
set(KIVRUN_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake)
