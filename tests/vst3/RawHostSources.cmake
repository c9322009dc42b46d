# The raw VST3 host's sources (without a window): shared by the native tests and the Windows and
# 64-bit ARM cross-builds' checks, which add what their platform needs. Needs PELORVANE_VST3_SDK.
set(PELORVANE_RAW_HOST_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/RawHostTool.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HostileHost.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RawAudioHost.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RawHostInterfaces.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModuleLoader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CheckReport.cpp
    "${PELORVANE_VST3_SDK}/pluginterfaces/base/funknown.cpp")
