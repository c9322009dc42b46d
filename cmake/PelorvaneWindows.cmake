# The Windows side of the project, included by CMakeLists.txt when cross-building with
# cmake/mingw-w64-x86_64.cmake: the module's codecs, version record, manifest and exports.

# Debian's JUCE leaves out its bundled image codecs; scripts/prepare-mingw-libs.sh builds
# static ones. Full file names, so that no import library (and no DLL beside the module)
# is ever picked.
find_library(PELORVANE_PNG_LIBRARY NAMES libpng16.a REQUIRED)
find_library(PELORVANE_JPEG_LIBRARY NAMES libjpeg.a REQUIRED)
find_path(PELORVANE_CODEC_INCLUDE_DIR NAMES png.h jpeglib.h jpegint.h REQUIRED)

target_include_directories(Pelorvane PUBLIC "${PELORVANE_CODEC_INCLUDE_DIR}")
target_link_libraries(Pelorvane PUBLIC
    "${PELORVANE_PNG_LIBRARY}" "${PELORVANE_JPEG_LIBRARY}" "${ZLIB_LIBRARY}")

# The Faust architecture headers are plain headers in the host's /usr/include, which as a
# whole must stay out of a Windows build: only their folder is linked into the build tree.
find_path(PELORVANE_FAUST_INCLUDE_DIR NAMES faust/gui/MapUI.h PATHS /usr/include
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(MAKE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/faust-headers")
file(CREATE_LINK "${PELORVANE_FAUST_INCLUDE_DIR}/faust" "${CMAKE_CURRENT_BINARY_DIR}/faust-headers/faust" SYMBOLIC)
target_include_directories(Pelorvane SYSTEM PUBLIC "${CMAKE_CURRENT_BINARY_DIR}/faust-headers")

# The engine's AVX2 path keeps 32-byte vectors on the stack, and GCC spills them with aligned
# moves; Windows only keeps the stack 16-byte aligned and this GCC does not realign it, so the
# assembler turns aligned vector moves into unaligned ones there (just as fast when aligned).
set_property(SOURCE source/dsp/mydsp.cpp APPEND PROPERTY COMPILE_OPTIONS -Wa,-muse-unaligned-vector-move)

# Hosts load the module on its own: everything but the system DLLs is linked in.
target_link_options(Pelorvane_VST3 PRIVATE -static -static-libgcc -static-libstdc++)

# Sections start on page boundaries in the file, so that a loader can map the module's pages as
# they are needed (the embedded pictures mostly never are). With the linker's default 512-byte
# alignment Wine reads the whole module into memory: some 15 MiB for every process that loads it.
target_link_options(Pelorvane_VST3 PRIVATE -Wl,--file-alignment,4096)

# The framework's file dialogs, which the plug-in never shows, are the module's only use of
# comdlg32; loading it with the module costs a process that has not loaded it yet some 12 MiB
# under Wine. It is loaded when first called instead, through a delay-import library.
set(PELORVANE_COMDLG32_DELAY_DEF "${CMAKE_CURRENT_BINARY_DIR}/comdlg32-delay.def")
set(PELORVANE_COMDLG32_DELAY_LIB "${CMAKE_CURRENT_BINARY_DIR}/libcomdlg32-delay.a")
file(WRITE "${PELORVANE_COMDLG32_DELAY_DEF}" "LIBRARY comdlg32.dll\nEXPORTS\nGetOpenFileNameW\nGetSaveFileNameW\n")
add_custom_command(
    OUTPUT "${PELORVANE_COMDLG32_DELAY_LIB}"
    COMMAND "${CMAKE_DLLTOOL}" --input-def comdlg32-delay.def --dllname comdlg32.dll
            --output-delaylib libcomdlg32-delay.a
    DEPENDS "${PELORVANE_COMDLG32_DELAY_DEF}"
    WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
    VERBATIM)
add_custom_target(PelorvaneComdlg32Delay DEPENDS "${PELORVANE_COMDLG32_DELAY_LIB}")
add_dependencies(PelorvaneFramework PelorvaneComdlg32Delay)
# Right after the framework's own library, ahead of the system's comdlg32 it names.
get_target_property(framework_links PelorvaneFramework INTERFACE_LINK_LIBRARIES)
set_property(TARGET PelorvaneFramework PROPERTY INTERFACE_LINK_LIBRARIES
    "${PELORVANE_COMDLG32_DELAY_LIB};delayimp;${framework_links}")

# The framework adds no resource script to a VST3 module. Its strings are PELORVANE_PRODUCT,
# PELORVANE_VENDOR and PELORVANE_COPYRIGHT from CMakeLists.txt.
set(PELORVANE_RC_MANIFEST "${PROJECT_SOURCE_DIR}/source/windows/Pelorvane.manifest")
configure_file(source/windows/Pelorvane.rc.in "${CMAKE_CURRENT_BINARY_DIR}/Pelorvane.rc" @ONLY)
set_source_files_properties("${CMAKE_CURRENT_BINARY_DIR}/Pelorvane.rc"
    PROPERTIES OBJECT_DEPENDS "${PELORVANE_RC_MANIFEST}")

target_sources(Pelorvane_VST3 PRIVATE
    "${CMAKE_CURRENT_BINARY_DIR}/Pelorvane.rc"
    source/windows/Pelorvane.def)

# The unit tests need Linux-built libraries; the Windows build carries the programs that check
# the module under Wine instead. Of the benchmarks it builds the one that times the module
# through its factory (bench/CMakeLists.txt).
set(PELORVANE_BUILD_TESTS OFF)

if(PELORVANE_BUILD_WINE_TESTS)
    enable_testing()
    add_subdirectory(tests/windows)
endif()
