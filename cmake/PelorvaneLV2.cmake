# The LV2 plug-in: Pelorvane.lv2 with a binary of plain C++ (the engine, the block handling and
# source/lv2, against the system's LV2 headers) and the data pelorvane-write-lv2-bundle writes from
# the plug-in's tables. Nothing of the framework, so that it builds, and cross-builds, with a
# compiler and the LV2 headers alone. Included from CMakeLists.txt; Linux only.
find_path(PELORVANE_LV2_INCLUDE_DIR lv2/core/lv2.h)
if(NOT PELORVANE_LV2_INCLUDE_DIR)
    message(FATAL_ERROR "The LV2 headers are missing (Debian's lv2-dev; scripts/install-deps.sh installs it)")
endif()

set(PELORVANE_LV2_BUNDLE_DIR "${CMAKE_CURRENT_BINARY_DIR}/Pelorvane_artefacts/$<CONFIG>/LV2/Pelorvane.lv2")

add_library(Pelorvane_LV2 MODULE
    source/lv2/LV2Entry.cpp
    source/lv2/PelorvaneLV2.cpp
    source/dsp/mydsp.cpp
    source/dsp/CornerTangent.cpp
    source/processor/BlockJob.cpp)
# On arm64 the binary carries its own few C-library symbols that the static C++ runtime would
# otherwise ask of a newer C library than pedalboards have.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "aarch64|arm64")
    target_sources(Pelorvane_LV2 PRIVATE source/lv2/GlibcBaseline.cpp)
endif()
target_include_directories(Pelorvane_LV2 PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}/source" "${PELORVANE_LV2_INCLUDE_DIR}")
# As in every other build of the engine: no fused multiply-adds, so every build sounds the same.
target_compile_options(Pelorvane_LV2 PRIVATE -ffp-contract=off -Wall -Wextra)
if(PELORVANE_WERROR)
    target_compile_options(Pelorvane_LV2 PRIVATE -Werror)
endif()
# lv2_descriptor is all a host may see, and the binary needs nothing but the C library and libm
# on the machine it is put on: the C++ runtime goes in statically.
set(pelorvane_lv2_exports "${CMAKE_CURRENT_SOURCE_DIR}/source/lv2/lv2-exports.map")
target_link_options(Pelorvane_LV2 PRIVATE
    "-Wl,--version-script=${pelorvane_lv2_exports}" -Wl,--no-undefined -Wl,--as-needed
    -static-libstdc++ -static-libgcc -Wl,--gc-sections)
target_compile_options(Pelorvane_LV2 PRIVATE -ffunction-sections -fdata-sections)
# It writes no crash log, so it ships without symbols; sanitized builds keep them for their reports.
if(NOT PELORVANE_SANITIZE AND NOT PELORVANE_TSAN)
    target_link_options(Pelorvane_LV2 PRIVATE -s)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # Unique symbols would keep the binary loaded after the host unloads it.
    target_compile_options(Pelorvane_LV2 PRIVATE -fno-gnu-unique)
endif()
set_target_properties(Pelorvane_LV2 PROPERTIES
    PREFIX ""
    OUTPUT_NAME Pelorvane
    LIBRARY_OUTPUT_DIRECTORY "${PELORVANE_LV2_BUNDLE_DIR}"
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS "${pelorvane_lv2_exports}")

# The bundle's Turtle files, from the tables they describe. The writer is built and run here; a
# cross-build, whose programs this machine cannot run, names one built for this machine in
# PELORVANE_LV2_DATA_WRITER (the data is the same for every target).
set(PELORVANE_LV2_DATA_WRITER "" CACHE FILEPATH "pelorvane-write-lv2-bundle built for the build machine (cross-builds)")
if(PELORVANE_LV2_DATA_WRITER)
    set(pelorvane_lv2_writer "${PELORVANE_LV2_DATA_WRITER}")
else()
    add_executable(pelorvane-write-lv2-bundle tools/lv2/WriteLV2Bundle.cpp)
    target_include_directories(pelorvane-write-lv2-bundle PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}/source")
    target_compile_options(pelorvane-write-lv2-bundle PRIVATE -Wall -Wextra)
    set(pelorvane_lv2_writer pelorvane-write-lv2-bundle)
endif()

set(PELORVANE_LV2_DATA_STAMP "${CMAKE_CURRENT_BINARY_DIR}/lv2-data.stamp")
add_custom_command(OUTPUT "${PELORVANE_LV2_DATA_STAMP}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${PELORVANE_LV2_BUNDLE_DIR}"
    COMMAND ${pelorvane_lv2_writer} "${PELORVANE_LV2_BUNDLE_DIR}"
    COMMAND "${CMAKE_COMMAND}" -E touch "${PELORVANE_LV2_DATA_STAMP}"
    DEPENDS ${pelorvane_lv2_writer}
    COMMENT "Writing the LV2 bundle's data"
    VERBATIM)
add_custom_target(PelorvaneLV2Data ALL DEPENDS "${PELORVANE_LV2_DATA_STAMP}")
add_dependencies(Pelorvane_LV2 PelorvaneLV2Data)
