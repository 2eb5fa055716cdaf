# Fuzz targets of every parser of outside bytes (tests/fuzz/*_fuzz.cpp). With a clang that has libFuzzer, each target is
# built by its own clang command (ASan and UBSan, whatever compiler this build uses);
# without one, the same target is linked with random_driver.cpp, a bounded random-input
# run. ctest runs each target for a short budget from seed designs of mkdesigns;
# docs/FUZZING.md has the long runs.
set(VEMB_FUZZ_RUNS 200000 CACHE STRING "executions of each fuzz target in the ctest run")
set(VEMB_FUZZ_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz)
# Every target is linked with all Win32-free code.
set(VEMB_FUZZ_CODE ${VEMB_PURE_SOURCES})
file(GLOB VEMB_FUZZ_TARGETS CONFIGURE_DEPENDS ${VEMB_FUZZ_DIR}/*_fuzz.cpp)
file(GLOB_RECURSE VEMB_PURE_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.h)

find_program(VEMB_CLANGXX NAMES clang++ clang++-14)
if(VEMB_CLANGXX AND NOT DEFINED VEMB_LIBFUZZER)
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz/probe.cpp
       "#include <stddef.h>\n#include <stdint.h>\nextern \"C\" int LLVMFuzzerTestOneInput(const uint8_t *, size_t) { return 0; }\n")
  execute_process(COMMAND ${VEMB_CLANGXX} -fsanitize=fuzzer,address,undefined ${CMAKE_BINARY_DIR}/fuzz/probe.cpp
                          -o ${CMAKE_BINARY_DIR}/fuzz/probe
                  RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
  if(probe_result EQUAL 0)
    set(VEMB_LIBFUZZER ON CACHE BOOL "fuzz targets built with clang's libFuzzer")
  else()
    set(VEMB_LIBFUZZER OFF CACHE BOOL "fuzz targets built with clang's libFuzzer")
  endif()
endif()

foreach(source ${VEMB_FUZZ_TARGETS})
  get_filename_component(target ${source} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" target ${target})
  set(fuzzer ${CMAKE_BINARY_DIR}/fuzz/fuzz_${target})
  if(VEMB_LIBFUZZER)
    add_custom_command(OUTPUT ${fuzzer}
      COMMAND ${VEMB_CLANGXX} -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined
              -fno-sanitize-recover=undefined -I${CMAKE_SOURCE_DIR}/src
              ${VEMB_FUZZ_DIR}/${target}_fuzz.cpp ${VEMB_FUZZ_CODE} -o ${fuzzer}
      DEPENDS ${VEMB_FUZZ_DIR}/${target}_fuzz.cpp ${VEMB_FUZZ_CODE} ${VEMB_PURE_HEADERS}
      COMMENT "Building fuzz target fuzz_${target} with clang and libFuzzer" VERBATIM)
    add_custom_target(fuzz_${target} ALL DEPENDS ${fuzzer})
    set(options -runs=${VEMB_FUZZ_RUNS} -seed=1 -max_len=4096)
  else()
    add_executable(fuzz_${target} ${VEMB_FUZZ_DIR}/${target}_fuzz.cpp ${VEMB_FUZZ_DIR}/random_driver.cpp)
    set_target_properties(fuzz_${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    target_link_libraries(fuzz_${target} PRIVATE vemb_pure)
    set(options -runs=${VEMB_FUZZ_RUNS})
  endif()
  add_test(NAME fuzz.${target}
           COMMAND ${VEMB_FUZZ_DIR}/run-fuzz ${fuzzer} $<TARGET_FILE:mkdesigns> ${CMAKE_BINARY_DIR}/fuzz/${target}
                   ${options})
  set_tests_properties(fuzz.${target} PROPERTIES TIMEOUT 300 LABELS "native;fuzz")
endforeach()
