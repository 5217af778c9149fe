# Cross toolchain for the 32-bit Windows build (Plovex.exe).
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
