# One archive per platform beside the bundle: the Windows bundle zipped for
# C:\Program Files\Common Files\VST3, the Linux one as a tarball for ~/.vst3. Each comes
# with an archive of the module's symbols in the same format. Windows also gets an installer.
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

# Strips the module as part of its own build, so both archives get the stripped one; sets
# PELORVANE_SYMBOLS_ARCHIVE.
include("${CMAKE_CURRENT_LIST_DIR}/PelorvaneSymbols.cmake")

add_custom_command(OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/${PELORVANE_ARCHIVE}"
    COMMAND "${CMAKE_COMMAND}" -E tar ${PELORVANE_ARCHIVE_MODE}
            "${CMAKE_CURRENT_BINARY_DIR}/${PELORVANE_ARCHIVE}" ${PELORVANE_ARCHIVE_FORMAT} Pelorvane.vst3
    WORKING_DIRECTORY "${PELORVANE_BUNDLE_PARENT}"
    DEPENDS Pelorvane_VST3 "$<TARGET_FILE:Pelorvane_VST3>"
    COMMENT "Packing ${PELORVANE_ARCHIVE}"
    VERBATIM)
add_custom_target(PelorvanePackage ALL DEPENDS
    "${CMAKE_CURRENT_BINARY_DIR}/${PELORVANE_ARCHIVE}" "${PELORVANE_SYMBOLS_ARCHIVE}")

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    include("${CMAKE_CURRENT_LIST_DIR}/PelorvaneInstaller.cmake")
endif()
