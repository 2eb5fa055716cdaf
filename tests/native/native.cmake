# Native GoogleTest tests of the Win32-free code: every tests/native/*_test.cpp joins one
# program; each test case becomes one ctest test.
find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB VEMB_NATIVE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*_test.cpp)
add_executable(native_tests ${VEMB_NATIVE_TESTS})
target_include_directories(native_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/native)
target_link_libraries(native_tests PRIVATE vemb_pure GTest::gtest GTest::gtest_main)
gtest_discover_tests(native_tests TEST_PREFIX "native." DISCOVERY_TIMEOUT 60
                     PROPERTIES TIMEOUT 120 LABELS native)

# The same tests once more, with the Win32-free code built under AddressSanitizer and
# UndefinedBehaviorSanitizer: one ctest test that runs them all.
if(NOT VEMB_SANITIZE)
  add_library(vemb_pure_asan STATIC ${VEMB_PURE_SOURCES})
  add_executable(native_tests_asan ${VEMB_NATIVE_TESTS})
  foreach(t vemb_pure_asan native_tests_asan)
    target_compile_options(${t} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                        -fno-sanitize-recover=undefined -O1)
    target_link_options(${t} PRIVATE -fsanitize=address,undefined)
  endforeach()
  target_include_directories(vemb_pure_asan PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_include_directories(native_tests_asan PRIVATE ${CMAKE_SOURCE_DIR}/tests/native)
  target_link_libraries(native_tests_asan PRIVATE vemb_pure_asan GTest::gtest GTest::gtest_main)
  add_test(NAME native.sanitizers COMMAND native_tests_asan --gtest_brief=1)
  set_tests_properties(native.sanitizers PROPERTIES TIMEOUT 300 LABELS native
                       ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
endif()
