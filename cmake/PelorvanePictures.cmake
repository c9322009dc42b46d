# The pictures the pedal window draws at 100 % and 200 %, derived from the embedded full-size
# ones when the plug-in is built (tools/pictures/DerivePictures.cpp says which and how) and
# compiled in as DerivedPictures::Background_630_png and so on, beside the full-size ones.
#
# The program that derives them runs on the build machine, so it is a project of its own, built
# natively even when the plug-in is cross-built.

include(ExternalProject)

set(PELORVANE_PICTURE_TOOL_DIR "${CMAKE_BINARY_DIR}/picture-tool")
set(PELORVANE_PICTURE_TOOL
    "${PELORVANE_PICTURE_TOOL_DIR}/PelorvanePictureTool_artefacts/Release/PelorvanePictureTool")

set(picture_tool_args -DCMAKE_BUILD_TYPE=Release)
if(CCACHE_PROGRAM)
    list(APPEND picture_tool_args
        -DCMAKE_C_COMPILER_LAUNCHER=${CCACHE_PROGRAM}
        -DCMAKE_CXX_COMPILER_LAUNCHER=${CCACHE_PROGRAM})
endif()

ExternalProject_Add(PelorvanePictureTool
    SOURCE_DIR "${PROJECT_SOURCE_DIR}/tools/pictures"
    BINARY_DIR "${PELORVANE_PICTURE_TOOL_DIR}"
    CMAKE_ARGS ${picture_tool_args}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS "${PELORVANE_PICTURE_TOOL}")

set(derived_dir "${CMAKE_BINARY_DIR}/derived-pictures")
set(derived_code_dir "${CMAKE_BINARY_DIR}/juce_binarydata_PelorvaneDerivedPictures/JuceLibraryCode")
set(PELORVANE_DERIVED_PICTURES
    "${derived_dir}/Background_630.png"
    "${derived_dir}/Background_1260.png"
    "${derived_dir}/knob_strip_105.pngs"
    "${derived_dir}/knob_strip_210.pngs")

# The footswitch, the lamp and the link buttons: full-size name, width drawn at 100 % and 200 %.
set(derived_controls stompSwitchUp 180 stompSwitchDown 180 LED_on 50 LED_off 50 button1 206 button2 206)
set(control_originals)
while(derived_controls)
    list(POP_FRONT derived_controls name width)
    math(EXPR width2x "${width} * 2")
    list(APPEND PELORVANE_DERIVED_PICTURES "${derived_dir}/${name}_${width}.png" "${derived_dir}/${name}_${width2x}.png")
    list(APPEND control_originals "${PROJECT_SOURCE_DIR}/resources/${name}.png")
endwhile()

file(MAKE_DIRECTORY "${derived_code_dir}")
list(JOIN PELORVANE_DERIVED_PICTURES "\n" derived_list)
file(WRITE "${derived_code_dir}/input_file_list" "${derived_list}\n")

set(derived_code "${derived_code_dir}/DerivedPictures.h")
# The framework's tool writes one source file per picture.
list(LENGTH PELORVANE_DERIVED_PICTURES derived_count)
foreach(index RANGE 1 ${derived_count})
    list(APPEND derived_code "${derived_code_dir}/BinaryData${index}.cpp")
endforeach()

add_custom_command(
    OUTPUT ${PELORVANE_DERIVED_PICTURES} ${derived_code}
    COMMAND "${PELORVANE_PICTURE_TOOL}" "${PROJECT_SOURCE_DIR}/resources" "${derived_dir}"
    COMMAND juce::juceaide binarydata DerivedPictures DerivedPictures.h
            "${derived_code_dir}" "${derived_code_dir}/input_file_list"
    DEPENDS PelorvanePictureTool "${PELORVANE_PICTURE_TOOL}"
            "${PROJECT_SOURCE_DIR}/resources/Background.png"
            "${PROJECT_SOURCE_DIR}/resources/knob_strip.png"
            ${control_originals}
    COMMENT "Deriving the window's pictures at 100 % and 200 %"
    VERBATIM)

add_library(PelorvaneDerivedPictures STATIC ${derived_code})
target_include_directories(PelorvaneDerivedPictures INTERFACE "${derived_code_dir}")
# The arrays end up in the VST3 shared object.
set_target_properties(PelorvaneDerivedPictures PROPERTIES POSITION_INDEPENDENT_CODE ON)
