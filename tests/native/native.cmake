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
