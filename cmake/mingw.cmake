# What the two MinGW-w64 cross toolchains share; the including file sets
# CMAKE_SYSTEM_PROCESSOR (i686 or x86_64), which names the tools.
set(CMAKE_SYSTEM_NAME Windows)
set(_mingw_triplet ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${_mingw_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${_mingw_triplet}-g++)
set(CMAKE_RC_COMPILER ${_mingw_triplet}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
