# The timed loops under Wine (the native Google Benchmark program, design_bench, is built
# with designgen). Not tests: `make bench` runs both.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  add_executable(wine_bench ${CMAKE_SOURCE_DIR}/tools/bench/wine_bench.cpp
                 ${CMAKE_SOURCE_DIR}/tools/designgen/design_writer.cpp ${VEMB_RC})
  target_include_directories(wine_bench PRIVATE ${CMAKE_SOURCE_DIR}/tools)
  target_link_libraries(wine_bench PRIVATE vemb_core uidrive)
  target_link_options(wine_bench PRIVATE ${VEMB_STATIC_RUNTIME})
  add_dependencies(wine_bench VembSio)
endif()
