# Cross-build for 64-bit Windows with Debian's MinGW-w64 toolchain.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The static libpng/libjpeg-turbo that Debian's JUCE needs come from
# scripts/prepare-mingw-libs.sh; point PELORVANE_MINGW_DEPS (cache or
# environment) at its prefix if it is not build-win/deps.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PELORVANE_MINGW_TRIPLE x86_64-w64-mingw32)

# The posix thread model gives std::thread/std::mutex, which JUCE relies on;
# the win32 flavour of Debian's compilers lacks them.
set(CMAKE_C_COMPILER   ${PELORVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELORVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${PELORVANE_MINGW_TRIPLE}-windres)

set(PELORVANE_MINGW_SYSROOT /usr/${PELORVANE_MINGW_TRIPLE})

# Keyed to this file's location rather than the build tree so that
# try_compile projects, which re-read this file, see the same prefix.
if(DEFINED ENV{PELORVANE_MINGW_DEPS})
  set(_pelorvane_deps_default "$ENV{PELORVANE_MINGW_DEPS}")
else()
  get_filename_component(_pelorvane_deps_default
    "${CMAKE_CURRENT_LIST_DIR}/../build-win/deps" ABSOLUTE)
endif()
set(PELORVANE_MINGW_DEPS "${_pelorvane_deps_default}" CACHE PATH
  "Prefix holding the static MinGW libpng/libjpeg-turbo (scripts/prepare-mingw-libs.sh)")
unset(_pelorvane_deps_default)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PELORVANE_MINGW_DEPS)

set(CMAKE_FIND_ROOT_PATH "${PELORVANE_MINGW_SYSROOT}" "${PELORVANE_MINGW_DEPS}")
# Build tools (juceaide, ccache, awk ...) are host programs; headers,
# libraries and packages must be Windows ones.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# JUCE's CMake package is arch-independent apart from the native juceaide it
# runs at build time, so Debian's host copy serves the cross-build. It lives
# outside the find root, hence the explicit path.
set(JUCE_DIR "/usr/lib/x86_64-linux-gnu/cmake/JUCE-7.0.5" CACHE PATH
  "Folder holding JUCEConfig.cmake")

# The plug-in must load without DLLs beside it; FindZLIB would otherwise pick
# the import library libz.dll.a (zlib1.dll).
set(ZLIB_LIBRARY "${PELORVANE_MINGW_SYSROOT}/lib/libz.a" CACHE FILEPATH
  "Static MinGW zlib")

include("${CMAKE_CURRENT_LIST_DIR}/cross-compiler-launcher.cmake")
