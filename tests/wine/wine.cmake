# Wine tests: each tests/wine/*_test.cpp becomes one i686 program linked with the
# module's code (white-box access), its resources, GoogleTest and the dialog driver
# of tests/wine/harness. The programs load VembDlg.dll and the simulator from bin/.
# The native build registers their cases with ctest (tests/wine/register.cmake).
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(VEMB_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest's source tree, built here for the i686 test programs (Debian package googletest)")
if(NOT EXISTS ${VEMB_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in VEMB_GTEST_SOURCE_DIR (${VEMB_GTEST_SOURCE_DIR}): "
                      "run tools/setup, or configure with -DVEMB_GTEST_SOURCE_DIR=<folder>")
endif()
add_subdirectory(${VEMB_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The harness: the dialog driver, the fixture and the helpers every test program links, and
# the writer of sample designs (designgen/design_writer.h) for tests that need design files.
# harness/main.cpp is each program's main(), linked into the program itself.
set(VEMB_HARNESS ${CMAKE_SOURCE_DIR}/tests/wine/harness)
add_library(wine_harness STATIC ${VEMB_HARNESS}/ui_driver.cpp ${VEMB_HARNESS}/vemb_fixture.cpp
                                ${VEMB_HARNESS}/vemb_helpers.cpp ${CMAKE_SOURCE_DIR}/tools/designgen/design_writer.cpp)
target_include_directories(wine_harness PUBLIC ${VEMB_HARNESS} ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(wine_harness PUBLIC vemb_core linksim_model uidrive gtest ${VEMB_SYSTEM_LIBS})

file(GLOB VEMB_WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
set(VEMB_WINE_PROGRAMS "")
foreach(src ${VEMB_WINE_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${VEMB_RC} ${VEMB_HARNESS}/main.cpp)
  target_link_libraries(${name} PRIVATE wine_harness)
  target_link_options(${name} PRIVATE ${VEMB_STATIC_RUNTIME})
  add_dependencies(${name} VembDlg VembSio linksim_usb linksim_usb_noopening)
  list(APPEND VEMB_WINE_PROGRAMS ${name})
endforeach()
add_custom_target(wine_tests DEPENDS ${VEMB_WINE_PROGRAMS})
