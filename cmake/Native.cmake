# The native build: the Win32-free logic with its GoogleTest tests, and the registration
# of the Wine tests of the cross-build (VEMB_WIN32_BIN) so that one ctest run covers all.
enable_testing()
add_compile_options(-Wall -Wextra)

option(VEMB_SANITIZE "Build the native code with ASan and UBSan" OFF)
if(VEMB_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(vemb_pure STATIC ${VEMB_PURE_SOURCES})
target_include_directories(vemb_pure PUBLIC ${CMAKE_SOURCE_DIR}/src)

include(${CMAKE_SOURCE_DIR}/tests/native/native.cmake)
include(${CMAKE_SOURCE_DIR}/tools/tools.cmake OPTIONAL)
include(${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz.cmake OPTIONAL)

set(VEMB_WIN32_BIN "" CACHE PATH "bin folder of the i686 cross-build whose Wine tests to register")
if(VEMB_WIN32_BIN)
  include(${CMAKE_SOURCE_DIR}/tests/wine/register.cmake)
endif()

# The host SDK of the cross-build: the release package, and hosts of every toolchain
# built against it alone, run under Wine.
set(VEMB_WIN32_BUILD "" CACHE PATH "the i686 cross-build folder (for the SDK check)")
if(VEMB_WIN32_BUILD)
  include(${CMAKE_SOURCE_DIR}/tests/sdk/sdk.cmake)
endif()
if(VEMB_WIN32_BUILD)
  # The main job: the demo host's tour over every dialog, its pictures and its summary.
  add_test(NAME demo.TourShowsEveryDialogAndTellsWhatMoved
           COMMAND ${CMAKE_SOURCE_DIR}/tests/sdk/check-demo ${CMAKE_SOURCE_DIR} ${VEMB_WIN32_BUILD}
                   ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/demo-check)
  set_tests_properties(demo.TourShowsEveryDialogAndTellsWhatMoved PROPERTIES RESOURCE_LOCK wineprefix
                       TIMEOUT 400 LABELS wine)
endif()
