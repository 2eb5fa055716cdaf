# Build-time tools, built natively.
include(${CMAKE_CURRENT_LIST_DIR}/avigen/avigen.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/designgen/designgen.cmake)
