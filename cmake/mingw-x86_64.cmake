# Cross toolchain for the 64-bit Windows build (the Windows tests on a machine that runs no 32-bit code).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
