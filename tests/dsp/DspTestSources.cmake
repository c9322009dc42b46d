# The engine's tests, against the reference network and the per-sample formulation: one program
# that runs once per kernel path (KernelPathSelection.cpp picks the path from the environment).
# Shared by the native tests and the 64-bit ARM cross-build's.
set(PELORVANE_DSP_TEST_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/KernelPathSelection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KernelPathTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReferenceNetwork.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MydspTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PerSampleReference.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MydspIdentityTest.cpp)
