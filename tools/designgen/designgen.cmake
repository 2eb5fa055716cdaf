# designgen: the writer of our own sample designs, used by the native tests,
# the fuzz seeds and the benchmark (the Wine tests build the same source into their
# harness); mkdesigns writes the samples into a folder.
add_library(designgen STATIC ${CMAKE_SOURCE_DIR}/tools/designgen/design_writer.cpp)
target_include_directories(designgen PUBLIC ${CMAKE_SOURCE_DIR}/tools)

add_executable(mkdesigns ${CMAKE_SOURCE_DIR}/tools/designgen/mkdesigns.cpp)
target_link_libraries(mkdesigns PRIVATE designgen)

target_link_libraries(native_tests PRIVATE designgen)
if(TARGET native_tests_asan)
  target_link_libraries(native_tests_asan PRIVATE designgen)
endif()

# The preview walk and the design data scan under Google Benchmark; not a test.
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(design_bench ${CMAKE_SOURCE_DIR}/tools/bench/design_bench.cpp)
  target_link_libraries(design_bench PRIVATE vemb_pure designgen benchmark::benchmark)
endif()
