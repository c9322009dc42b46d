# Cross-build for 64-bit ARM Linux with Debian's cross compiler and Debian's arm64 libraries,
# installed beside the host's through multiarch (scripts/install-deps.sh).
#
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#
# The programs it builds run here under qemu-user (CMAKE_CROSSCOMPILING_EMULATOR), so ctest
# can run the arm64 checks.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(PELORVANE_ARM64_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER   ${PELORVANE_ARM64_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${PELORVANE_ARM64_TRIPLE}-g++)

# Multiarch: arm64 libraries in /usr/lib/aarch64-linux-gnu, headers in /usr/include (with the
# arch-specific ones in /usr/include/aarch64-linux-gnu), as the cross compiler expects.
set(CMAKE_LIBRARY_ARCHITECTURE ${PELORVANE_ARM64_TRIPLE})
set(CMAKE_FIND_ROOT_PATH /usr/${PELORVANE_ARM64_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(PKG_CONFIG_EXECUTABLE /usr/bin/${PELORVANE_ARM64_TRIPLE}-pkg-config CACHE FILEPATH "pkg-config for arm64")

# JUCE's CMake package is arch-independent apart from the native juceaide it runs at build
# time, so Debian's host copy serves the cross-build.
set(JUCE_DIR "/usr/lib/x86_64-linux-gnu/cmake/JUCE-7.0.5" CACHE PATH "Folder holding JUCEConfig.cmake")

# -L / gives qemu the multiarch loader and libraries.
find_program(PELORVANE_QEMU_AARCH64 qemu-aarch64-static)
if(PELORVANE_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${PELORVANE_QEMU_AARCH64};-L;/")
endif()

include("${CMAKE_CURRENT_LIST_DIR}/cross-compiler-launcher.cmake")
