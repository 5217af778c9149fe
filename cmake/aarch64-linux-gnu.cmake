# Cross toolchain for the arm64 (aarch64) Linux build, on Debian's
# multiarch packages (tools/deps.sh arm64). The build runs none of its
# programs; the tests run them as on a board, so they need qemu-user
# registered with binfmt_misc (tools/trixie.sh does that): an emulator set
# here would also wrap the host's python3 that runs the script tests.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "")
# Multiarch: the arm64 headers and libraries live beside the host's in /usr.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
