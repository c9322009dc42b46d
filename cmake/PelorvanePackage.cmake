# One archive per platform beside the bundle: the Windows bundle zipped for
# C:\Program Files\Common Files\VST3, the Linux one as a tarball for ~/.vst3.
if(NOT TARGET Pelorvane_VST3)
    return()
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    set(PELORVANE_ARCHIVE "Pelorvane-${PROJECT_VERSION}-win64.zip")
    set(PELORVANE_ARCHIVE_MODE cf)
    set(PELORVANE_ARCHIVE_FORMAT --format=zip)
else()
    set(PELORVANE_ARCHIVE "Pelorvane-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}.tar.gz")
    set(PELORVANE_ARCHIVE_MODE cfz)
    set(PELORVANE_ARCHIVE_FORMAT --format=gnutar)
endif()

set(PELORVANE_BUNDLE_PARENT "${CMAKE_CURRENT_BINARY_DIR}/Pelorvane_artefacts/$<CONFIG>/VST3")

add_custom_command(OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/${PELORVANE_ARCHIVE}"
    COMMAND "${CMAKE_COMMAND}" -E tar ${PELORVANE_ARCHIVE_MODE}
            "${CMAKE_CURRENT_BINARY_DIR}/${PELORVANE_ARCHIVE}" ${PELORVANE_ARCHIVE_FORMAT} Pelorvane.vst3
    WORKING_DIRECTORY "${PELORVANE_BUNDLE_PARENT}"
    DEPENDS Pelorvane_VST3 "$<TARGET_FILE:Pelorvane_VST3>"
    COMMENT "Packing ${PELORVANE_ARCHIVE}"
    VERBATIM)
add_custom_target(PelorvanePackage ALL DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/${PELORVANE_ARCHIVE}")
