# One archive per platform beside the bundle: the Windows bundle zipped for
# C:\Program Files\Common Files\VST3, the Linux one as a tarball for ~/.vst3 (and the LV2
# bundle as one for ~/.lv2). The VST3 one comes with an archive of the module's symbols in the
# same format. Windows also gets an installer, Linux the Debian package.
if(NOT TARGET Pelorvane_VST3)
    return()
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    set(PELORVANE_PLATFORM win64)
    set(PELORVANE_ARCHIVE "Pelorvane-${PROJECT_VERSION}-${PELORVANE_PLATFORM}.zip")
    set(PELORVANE_ARCHIVE_MODE cf)
    set(PELORVANE_ARCHIVE_FORMAT --format=zip)
else()
    set(PELORVANE_PLATFORM "linux-${CMAKE_SYSTEM_PROCESSOR}")
    set(PELORVANE_ARCHIVE "Pelorvane-${PROJECT_VERSION}-${PELORVANE_PLATFORM}.tar.gz")
    set(PELORVANE_ARCHIVE_MODE cfz)
    set(PELORVANE_ARCHIVE_FORMAT --format=gnutar)
endif()

set(PELORVANE_BUNDLE_PARENT "${CMAKE_CURRENT_BINARY_DIR}/Pelorvane_artefacts/$<CONFIG>/VST3")

# Strips the modules as part of their own builds, so every archive and package gets the
# stripped ones; sets PELORVANE_SYMBOLS_ARCHIVE.
include("${CMAKE_CURRENT_LIST_DIR}/PelorvaneSymbols.cmake")

# The factory presets as VST3 preset files, beside the bundle in the layout of a VST3 folder:
# presets/<vendor>/<product>/<name>.vstpreset. The files are the same on every platform: the
# Linux build writes them (tools/presets), the cross-builds take the Linux build's.
set(PELORVANE_VST3_PRESETS_ROOT "${PELORVANE_BUNDLE_PARENT}/presets")
set(PELORVANE_VST3_PRESETS "${PELORVANE_VST3_PRESETS_ROOT}/${PELORVANE_VENDOR}/${PELORVANE_PRODUCT}")
set(PELORVANE_VST3_PRESETS_STAMP "${CMAKE_CURRENT_BINARY_DIR}/vst3-presets.stamp")
if(TARGET pelorvane-write-presets AND NOT CMAKE_CROSSCOMPILING)
    add_custom_command(OUTPUT "${PELORVANE_VST3_PRESETS_STAMP}"
        COMMAND pelorvane-write-presets vst3 "${PELORVANE_VST3_PRESETS}"
        COMMAND "${CMAKE_COMMAND}" -E touch "${PELORVANE_VST3_PRESETS_STAMP}"
        DEPENDS pelorvane-write-presets "${PROJECT_SOURCE_DIR}/source/processor/FactoryPresets.h"
        COMMENT "Writing the factory presets as VST3 preset files"
        VERBATIM)
else()
    set(PELORVANE_LINUX_BUILD_DIR "${PROJECT_SOURCE_DIR}/build" CACHE PATH
        "Linux build tree whose module the cross-built module is compared with, and whose preset files it ships")
    set(linux_presets_root "${PELORVANE_LINUX_BUILD_DIR}/Pelorvane_artefacts/Release/VST3/presets")
    # A missing Linux build shows as "No rule to make target .../vst3-presets.stamp": build the
    # Linux side first (scripts/build.sh).
    add_custom_command(OUTPUT "${PELORVANE_VST3_PRESETS_STAMP}"
        COMMAND "${CMAKE_COMMAND}" -E rm -rf "${PELORVANE_VST3_PRESETS_ROOT}"
        COMMAND "${CMAKE_COMMAND}" -E copy_directory "${linux_presets_root}" "${PELORVANE_VST3_PRESETS_ROOT}"
        COMMAND "${CMAKE_COMMAND}" -E touch "${PELORVANE_VST3_PRESETS_STAMP}"
        DEPENDS "${PELORVANE_LINUX_BUILD_DIR}/vst3-presets.stamp"
        COMMENT "Taking the factory presets' VST3 preset files from the Linux build"
        VERBATIM)
endif()
add_custom_target(PelorvanePresets ALL DEPENDS "${PELORVANE_VST3_PRESETS_STAMP}")

# Linux: the tarball unpacks into ~/.vst3 with the presets in ~/.vst3/presets, where hosts look
# for a user's presets. The Windows zip holds the bundle alone: the installer puts the presets in
# place.
set(PELORVANE_ARCHIVE_CONTENTS Pelorvane.vst3)
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows")
    list(APPEND PELORVANE_ARCHIVE_CONTENTS presets)
endif()

add_custom_command(OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/${PELORVANE_ARCHIVE}"
    COMMAND "${CMAKE_COMMAND}" -E tar ${PELORVANE_ARCHIVE_MODE}
            "${CMAKE_CURRENT_BINARY_DIR}/${PELORVANE_ARCHIVE}" ${PELORVANE_ARCHIVE_FORMAT} ${PELORVANE_ARCHIVE_CONTENTS}
    WORKING_DIRECTORY "${PELORVANE_BUNDLE_PARENT}"
    DEPENDS Pelorvane_VST3 "$<TARGET_FILE:Pelorvane_VST3>" "${PELORVANE_VST3_PRESETS_STAMP}"
    COMMENT "Packing ${PELORVANE_ARCHIVE}"
    VERBATIM)
# Linux: the LV2 bundle as a tarball of its own, for ~/.lv2.
if(TARGET Pelorvane_LV2)
    set(PELORVANE_LV2_ARCHIVE "${CMAKE_CURRENT_BINARY_DIR}/Pelorvane-${PROJECT_VERSION}-${PELORVANE_PLATFORM}-lv2.tar.gz")
    add_custom_command(OUTPUT "${PELORVANE_LV2_ARCHIVE}"
        COMMAND "${CMAKE_COMMAND}" -E tar cfz "${PELORVANE_LV2_ARCHIVE}" --format=gnutar Pelorvane.lv2
        WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/Pelorvane_artefacts/$<CONFIG>/LV2"
        DEPENDS Pelorvane_LV2 Pelorvane_LV2UI "$<TARGET_FILE:Pelorvane_LV2>" "$<TARGET_FILE:Pelorvane_LV2UI>"
                "${PELORVANE_LV2_DATA_STAMP}"
        COMMENT "Packing Pelorvane-${PROJECT_VERSION}-${PELORVANE_PLATFORM}-lv2.tar.gz"
        VERBATIM)
endif()

add_custom_target(PelorvanePackage ALL DEPENDS
    "${CMAKE_CURRENT_BINARY_DIR}/${PELORVANE_ARCHIVE}" "${PELORVANE_SYMBOLS_ARCHIVE}"
    ${PELORVANE_LV2_ARCHIVE})
# The presets' rules run in PelorvanePresets alone: the packages only wait for them.
add_dependencies(PelorvanePackage PelorvanePresets)

# Linux: the Debian package, beside the tarball (packaging/linux/build-deb.sh says what goes
# where). Made from the stripped modules, so it comes after their symbols are split off. A
# sanitized build ships nothing.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND TARGET Pelorvane_LV2 AND TARGET pelorvane-render
   AND NOT PELORVANE_SANITIZE)
    find_program(PELORVANE_DPKG dpkg)
    foreach(tool dpkg-deb dpkg-shlibdeps help2man)
        find_program(PELORVANE_TOOL_${tool} ${tool})
        if(NOT PELORVANE_TOOL_${tool} OR NOT PELORVANE_DPKG)
            message(FATAL_ERROR "${tool} not found: the Debian package cannot be built (scripts/install-deps.sh installs it)")
        endif()
    endforeach()
    execute_process(COMMAND "${PELORVANE_DPKG}" --print-architecture
        OUTPUT_VARIABLE PELORVANE_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    # A cross-build packs with its own strip and reads the renderer's --help through qemu.
    set(deb_environment)
    if(CMAKE_CROSSCOMPILING)
        set(PELORVANE_DEB_ARCH arm64)
        string(REPLACE ";" " " deb_runner "${CMAKE_CROSSCOMPILING_EMULATOR}")
        set(deb_environment "${CMAKE_COMMAND}" -E env "PELORVANE_STRIP=${CMAKE_STRIP}" "PELORVANE_RUNNER=${deb_runner}")
    endif()

    set(PELORVANE_DEB "${CMAKE_CURRENT_BINARY_DIR}/pelorvane_${PROJECT_VERSION}_${PELORVANE_DEB_ARCH}.deb")
    set(PELORVANE_ARTEFACTS "${CMAKE_CURRENT_BINARY_DIR}/Pelorvane_artefacts/$<CONFIG>")
    add_custom_command(OUTPUT "${PELORVANE_DEB}"
        COMMAND ${deb_environment} bash "${PROJECT_SOURCE_DIR}/packaging/linux/build-deb.sh"
                "${PELORVANE_DEB}" "${PROJECT_VERSION}" "${PELORVANE_DEB_ARCH}"
                "${PELORVANE_VENDOR} <${PELORVANE_EMAIL}>" "${PELORVANE_WEB_ADDRESS}"
                "${PELORVANE_ARTEFACTS}/VST3/Pelorvane.vst3" "${PELORVANE_ARTEFACTS}/LV2/Pelorvane.lv2"
                "$<TARGET_FILE:pelorvane-render>" "${PELORVANE_ARTEFACTS}/VST3/presets"
                "${CMAKE_CURRENT_BINARY_DIR}/deb-staging"
        DEPENDS Pelorvane_VST3 Pelorvane_LV2 Pelorvane_LV2UI pelorvane-render "${PELORVANE_VST3_PRESETS_STAMP}" "${PELORVANE_LV2_DATA_STAMP}"
                "$<TARGET_FILE:Pelorvane_VST3>" "$<TARGET_FILE:Pelorvane_LV2>" "$<TARGET_FILE:Pelorvane_LV2UI>" "$<TARGET_FILE:pelorvane-render>"
                "${PROJECT_SOURCE_DIR}/packaging/linux/build-deb.sh"
                "${PROJECT_SOURCE_DIR}/packaging/linux/copyright.in"
        COMMENT "Packing pelorvane_${PROJECT_VERSION}_${PELORVANE_DEB_ARCH}.deb"
        VERBATIM)
    add_custom_target(PelorvaneDebPackage ALL DEPENDS "${PELORVANE_DEB}")
    add_dependencies(PelorvaneDebPackage PelorvanePresets)
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    include("${CMAKE_CURRENT_LIST_DIR}/PelorvaneInstaller.cmake")
endif()
